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

struct Damage {
    const char* name;
    Checksums sums;
    // What is done to the set of "set.bin" in the folder given.
    std::function<void(const TempFolder&)> damage;
    PieceState state; // of piece 2, or of every piece when the header is damaged
    Outcome::Kind outcome;
    std::string problem; // the first problem; PIECE stands for piece 2's path
};

void PrintTo(const Damage& row, std::ostream* out) {
    *out << row.name;
}

void Resize(const std::string& path, std::uintmax_t length) {
    fs::resize_file(path, length);
}

void FlipFirstByte(const std::string& path) {
    auto bytes = test::ReadFile(path);
    bytes[0] ^= 1;
    test::WriteFile(path, bytes);
}

class SetReaderTest : public testing::TestWithParam<Damage> {};

// Three pieces of 500K with a last piece of 1000 bytes, damaged one way per row:
// the reader, building and what building leaves must all agree.
TEST_P(SetReaderTest, BuildingRefusesWhatTheReaderFinds) {
    const Damage& row = GetParam();
    TempFolder set, out;
    test::FaultyCalls calls;
    test::SystemRunTime runTime{calls};
    TransferBuffers buffers;
    RecordingSink sink;
    OperationContext context{runTime, buffers, sink};
    const auto source = test::RandomBytes(2 * 500000 + 1000, 3);
    test::WriteFile(set / "set.bin", source);
    RunState state;
    state.SrcTitle = "set.bin";
    state.PieceSize = 500000;
    sink.folder = set.Path();
    ASSERT_TRUE(Tren({set / "set.bin", row.sums}, context, state).IsFinished());
    row.damage(set);

    std::string problem = row.problem;
    if (const auto at = problem.find("PIECE"); at != std::string::npos)
        problem.replace(at, 5, set / "set.bin.tr2");
    {
        // Closed before the build: on Windows a file being read is shared with no one.
        SetReader reader(runTime, set / "set.bin.tr0");
        const bool headerWhole = reader.ReadHeader().has_value();
        reader.OpenPieces();
        if (!reader.FirstProblem())
            reader.CheckSums();
        if (headerWhole)
            EXPECT_EQ(reader.Pieces().at(1).State, row.state);
        else
            EXPECT_TRUE(reader.Pieces().empty());
        const auto found = reader.FirstProblem();
        if (row.outcome == Outcome::Kind::Failed)
            EXPECT_TRUE(found && found->Failure && found->Text == found->Failure->Description());
        else
            EXPECT_EQ(found ? found->Text : "", problem);
    }

    sink.folder = out.Path();
    sink.lines.clear();
    const Outcome outcome = Build(set / "set.bin.tr0", context, state);
    EXPECT_EQ(outcome.What(), row.outcome);
    if (outcome.What() == Outcome::Kind::Finished) {
        EXPECT_EQ(test::ReadFile(out / "set.bin"), source);
        EXPECT_EQ(sink.sizeCode, 5);
    } else {
        EXPECT_TRUE(fs::is_empty(out.Path()));
        EXPECT_TRUE(sink.lines.empty());
    }
    if (outcome.What() == Outcome::Kind::Refused) {
        EXPECT_EQ(outcome.Refusal().Text, problem);
    }
}

const Damage damages[] = {
    {"whole", Checksums::Write, [](const TempFolder&) {}, PieceState::Ok, Outcome::Kind::Finished,
     ""},
    {"longer_piece", Checksums::Write,
     [](const TempFolder& f) { Resize(f / "set.bin.tr2", 600000); }, PieceState::Longer,
     Outcome::Kind::Finished, ""},
    {"short_piece", Checksums::Skip, [](const TempFolder& f) { Resize(f / "set.bin.tr2", 499999); },
     PieceState::Short, Outcome::Kind::Refused,
     "Piece file is too short: PIECE holds 499999 bytes, the set needs 500000"},
    {"missing_piece", Checksums::Skip, [](const TempFolder& f) { fs::remove(f / "set.bin.tr2"); },
     PieceState::Missing, Outcome::Kind::Refused, "Piece file is missing: PIECE"},
    {"damaged_piece", Checksums::Write,
     [](const TempFolder& f) { FlipFirstByte(f / "set.bin.tr2"); }, PieceState::Damaged,
     Outcome::Kind::Refused, "Piece file is damaged: PIECE"},
    // Not a file: the system's own failure, whatever its words.
    {"piece_is_a_folder", Checksums::Skip,
     [](const TempFolder& f) {
         fs::remove(f / "set.bin.tr2");
         fs::create_directory(f / "set.bin.tr2");
     },
     PieceState::Unreadable, Outcome::Kind::Failed, ""},
    {"header_damaged", Checksums::Skip,
     [](const TempFolder& f) {
         test::WriteFile(f / "set.bin.tr0", {3, 0, 0, 0, 1, 0, 0, 0, 0, 6});
     },
     PieceState::Ok, Outcome::Kind::Refused, "Wrong version or corrupted file"},
};

// A file rewritten while it is read: every read finds other bytes.
class ChangingFile final : public platform::InputFile {
  public:
    explicit ChangingFile(std::unique_ptr<platform::InputFile> inner) : inner_(std::move(inner)) {}
    const std::string& Path() const override { return inner_->Path(); }
    platform::FileId Id() const override { return inner_->Id(); }
    std::int64_t Length() override { return inner_->Length(); }
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

// The checksums describe the bytes in the pieces, whatever the source did meanwhile.
TEST(Sums, DescribeTheBytesWrittenThoughTheSourceChanges) {
    TempFolder set;
    test::FaultyCalls calls;
    test::SystemRunTime system{calls};
    test::ForwardingRunTime runTime{system};
    TransferBuffers buffers;
    RecordingSink sink;
    sink.folder = set.Path();
    OperationContext context{runTime, buffers, sink};
    test::WriteFile(set / "moving", test::RandomBytes(1200001, 4));
    RunState state;
    state.SrcTitle = "moving";
    state.PieceSize = 500000;
    runTime.WrapInput = [](auto file) { return std::make_unique<ChangingFile>(std::move(file)); };
    ASSERT_TRUE(Tren({set / "moving", Checksums::Write}, context, state).IsFinished());
    runTime.WrapInput = nullptr;
    SetReader reader(runTime, set / "moving.tr0");
    ASSERT_TRUE(reader.ReadHeader());
    reader.OpenPieces();
    reader.CheckSums();
    EXPECT_TRUE(reader.SumsChecked());
    EXPECT_FALSE(reader.FirstProblem()) << reader.FirstProblem()->Text;
}

INSTANTIATE_TEST_SUITE_P(Sets, SetReaderTest, testing::ValuesIn(damages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::engine
