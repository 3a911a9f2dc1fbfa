#include "engine/SetReader.h"

#include "engine/Building.h"
#include "engine/Transfers.h"
#include "engine/Trenning.h"
#include "support/ForwardingRunTime.h"
#include "support/SystemUnderTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tren::engine {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// Answers the folder question with one folder and keeps what the run listed.
struct RecordingSink final : OperationSink {
    std::string folder;
    std::vector<std::string> lines;
    int sizeCode = 0;
    void ListWritten(const std::string& line) override { lines.push_back(line); }
    void ProgressMax(int) override {}
    void Progress(int) override {}
    std::string ChooseFolder(const std::string&) override { return folder; }
    void SizeChosen(int code) override { sizeCode = code; }
};

// A set of "name" in set, cut at 500K; the engine over this system's calls.
struct EngineRun {
    TempFolder set, out;
    test::FaultyCalls calls;
    test::SystemRunTime system{calls};
    test::ForwardingRunTime runTime{system};
    TransferBuffers buffers;
    RecordingSink sink;
    OperationContext context{runTime, buffers, sink};
    RunState state;

    Outcome Cut(const std::string& name, const std::vector<std::uint8_t>& bytes, Checksums sums) {
        test::WriteFile(set / name, bytes);
        state.SrcTitle = name;
        state.PieceSize = 500000;
        sink.folder = set.Path();
        return Tren({set / name, sums}, context, state);
    }
    Outcome BuildInto(const std::string& header, Replacing existing = Replacing::Overwrite) {
        sink.folder = out.Path();
        sink.lines.clear();
        return Build({header, existing}, context, state);
    }
};

// A file rewritten while it is read: every read finds other bytes.
class ChangingFile final : public platform::InputFile {
  public:
    explicit ChangingFile(std::unique_ptr<platform::InputFile> inner) : inner_(std::move(inner)) {}
    const std::string& Path() const override { return inner_->Path(); }
    platform::FileId Id() const override { return inner_->Id(); }
    std::int64_t Length() override { return inner_->Length(); }
    platform::FileStamp Stamp() override { return inner_->Stamp(); }
    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) override {
        const std::size_t got = inner_->ReadAt(offset, into);
        ++reads_;
        for (std::size_t i = 0; i < got; ++i)
            into[i] = static_cast<std::uint8_t>(into[i] + reads_);
        return got;
    }

  private:
    std::unique_ptr<platform::InputFile> inner_;
    int reads_ = 0;
};

struct Damage {
    const char* name;
    Checksums sums;
    std::function<void(const std::string& piece2)> damage;
    Outcome::Kind outcome;
    std::string refusal;        // PIECE stands for piece 2's path
    bool sourceChanges = false; // every read of the source finds other bytes
};

void PrintTo(const Damage& row, std::ostream* out) {
    *out << row.name;
}

class SetReaderTest : public testing::TestWithParam<Damage> {};

// Three pieces of 500K with a last piece of 1000 bytes, damaged one way per row.
// What the reader says of each piece, info and verify show (sets_test.sh); a missing
// piece's refusal is the console's (tren_cli_test.sh, terminal_test.sh).
TEST_P(SetReaderTest, BuildingRefusesWhatTheReaderFinds) {
    const Damage& row = GetParam();
    EngineRun run;
    const auto source = test::RandomBytes(2 * 500000 + 1000, 3);
    if (row.sourceChanges)
        run.runTime.WrapInput = [](auto file) {
            return std::make_unique<ChangingFile>(std::move(file));
        };
    ASSERT_TRUE(run.Cut("set.bin", source, row.sums).IsFinished());
    run.runTime.WrapInput = nullptr;
    row.damage(run.set / "set.bin.tr2");

    const Outcome outcome = run.BuildInto(run.set / "set.bin.tr0");
    ASSERT_EQ(outcome.What(), row.outcome);
    if (outcome.IsFinished()) {
        EXPECT_TRUE(row.sourceChanges || test::ReadFile(run.out / "set.bin") == source);
        EXPECT_EQ(run.sink.sizeCode, 5);
        return;
    }
    EXPECT_TRUE(fs::is_empty(run.out.Path()));
    EXPECT_TRUE(run.sink.lines.empty());
    std::string refusal = row.refusal;
    if (const auto at = refusal.find("PIECE"); at != std::string::npos)
        refusal.replace(at, 5, run.set / "set.bin.tr2");
    if (outcome.What() == Outcome::Kind::Refused)
        EXPECT_EQ(outcome.Refusal().Text, refusal);
}

const Damage damages[] = {
    {"whole", Checksums::Write, [](auto) {}, Outcome::Kind::Finished, ""},
    // The checksums describe the bytes in the pieces, whatever the source did meanwhile.
    {"source_changing_under_the_run", Checksums::Write, [](auto) {}, Outcome::Kind::Finished, "",
     true},
    {"longer_piece", Checksums::Write, [](auto piece) { fs::resize_file(piece, 600000); },
     Outcome::Kind::Finished, ""},
    {"short_piece", Checksums::Skip, [](auto piece) { fs::resize_file(piece, 499999); },
     Outcome::Kind::Refused,
     "Piece file is too short: PIECE holds 499999 bytes, the set needs 500000"},
    {"damaged_piece", Checksums::Write,
     [](auto piece) {
         auto bytes = test::ReadFile(piece);
         bytes[0] ^= 1;
         test::WriteFile(piece, bytes);
     },
     Outcome::Kind::Refused, "Piece file is damaged: PIECE"},
    // Not a file: the system's own failure, whatever its words.
    {"piece_is_a_folder", Checksums::Skip,
     [](auto piece) { fs::remove(piece), fs::create_directory(piece); }, Outcome::Kind::Failed, ""},
};

INSTANTIATE_TEST_SUITE_P(Sets, SetReaderTest, testing::ValuesIn(damages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::engine
