#include "engine/SetReader.h"

#include "engine/Building.h"
#include "engine/Transfers.h"
#include "engine/Trenning.h"
#include "support/ForwardingRunTime.h"
#include "support/RecordingSink.h"
#include "support/SystemUnderTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tren::engine {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

using test::RecordingSink;

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
        return Tren({set / name, sums, {}}, context, state);
    }
    Outcome BuildInto(const std::string& header, Replacing existing = Replacing::Overwrite) {
        sink.folder = out.Path();
        sink.lines.clear();
        return Build({header, existing}, context, state);
    }
};

// A file written to while it is read: every read finds other bytes, or (as a
// download's) every look finds a later modification time.
enum class Changes { Bytes, Stamp };
class ChangingFile final : public platform::InputFile {
  public:
    ChangingFile(std::unique_ptr<platform::InputFile> inner, Changes changes)
        : inner_(std::move(inner)), changes_(changes) {}
    const std::string& Path() const override { return inner_->Path(); }
    platform::FileId Id() const override { return inner_->Id(); }
    std::int64_t Length() override { return inner_->Length(); }
    platform::FileStamp Stamp() override {
        auto stamp = inner_->Stamp();
        if (changes_ == Changes::Stamp)
            stamp.Modified += ++looks_;
        return stamp;
    }
    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) override {
        const std::size_t got = inner_->ReadAt(offset, into);
        if (changes_ == Changes::Bytes) {
            ++looks_;
            for (std::size_t i = 0; i < got; ++i)
                into[i] = static_cast<std::uint8_t>(into[i] + looks_);
        }
        return got;
    }

  private:
    std::unique_ptr<platform::InputFile> inner_;
    Changes changes_;
    int looks_ = 0;
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
            return std::make_unique<ChangingFile>(std::move(file), Changes::Bytes);
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

// A second run over a whole set of set.bin (3 pieces, with checksums) and a file
// of that name in the build's folder; each row is one way the run must stop
// before anything is lost.
struct Rerun {
    const char* name;
    std::function<void(EngineRun&)> arrange;
    bool build; // else a re-cut of a 7-piece source
    Replacing existing;
    Outcome::Kind outcome;
    std::string says; // a part of the refusal's or failure's text
    bool oldSetKept;
    const char* kept; // what the build's folder holds at set.bin afterwards
};

void PrintTo(const Rerun& row, std::ostream* out) {
    *out << row.name;
}

class RerunTest : public testing::TestWithParam<Rerun> {};

TEST_P(RerunTest, NothingIsLost) {
    const Rerun& row = GetParam();
    EngineRun run;
    const auto source = test::RandomBytes(2 * 500000 + 1000, 5);
    ASSERT_TRUE(run.Cut("set.bin", source, Checksums::Write).IsFinished());
    test::WriteFile(run.out / "set.bin", {'o', 'l', 'd'});
    const auto before = test::ReadFile(run.set / "set.bin.tr0");
    TempFolder trash;
    run.runTime.Trash = [&](const std::string& path) { fs::rename(path, trash / "set.bin"); };
    row.arrange(run);

    const Outcome outcome =
        row.build ? run.BuildInto(run.set / "set.bin.tr0", row.existing)
                  : run.Cut("set.bin", test::RandomBytes(7 * 500000, 6), Checksums::Write);
    ASSERT_EQ(outcome.What(), row.outcome);
    if (!row.says.empty()) {
        const std::string text = outcome.What() == Outcome::Kind::Refused
                                     ? outcome.Refusal().Text
                                     : outcome.Failure().Description();
        EXPECT_NE(text.find(row.says), std::string::npos) << text;
    }
    if (row.oldSetKept)
        EXPECT_EQ(test::ReadFile(run.set / "set.bin.tr0"), before);
    const std::string kept = row.kept;
    EXPECT_EQ(test::ReadFile(run.out / "set.bin"),
              kept == "rebuilt" ? source : std::vector<std::uint8_t>(kept.begin(), kept.end()));
    EXPECT_EQ(fs::exists(trash / "set.bin"),
              row.existing == Replacing::Trash && row.build && outcome.IsFinished());
}

const auto nothing = [](EngineRun&) {};
const Rerun reruns[] = {
    {"no_room_for_the_new_set",
     [](EngineRun& r) {
         r.runTime.Space = {{100000, 4096}};
     },
     false, Replacing::Overwrite, Outcome::Kind::Refused, "bytes, and 100000 bytes are free", true,
     "old"},
    // The old set's pieces give their room back as they are replaced, one at a time.
    {"room_the_old_set_gives_back",
     [](EngineRun& r) {
         r.runTime.Space = {{3000000, 1}};
     },
     false, Replacing::Overwrite, Outcome::Kind::Finished, "", false, "old"},
    {"source_written_during_the_cut",
     [](EngineRun& r) {
         r.runTime.WrapInput = [](auto file) {
             return std::make_unique<ChangingFile>(std::move(file), Changes::Stamp);
         };
     },
     false, Replacing::Overwrite, Outcome::Kind::Failed, "changed while it was read", false, "old"},
    {"name_the_disk_refuses",
     [](EngineRun& r) { r.runTime.NameRule = [](auto) { return std::string("no"); }; }, false,
     Replacing::Overwrite, Outcome::Kind::Refused, "is not allowed on that disk: no", true, "old"},
    {"no_clobber", nothing, true, Replacing::Refuse, Outcome::Kind::Refused, "already exists", true,
     "old"},
    {"replaced_file_to_the_trash", nothing, true, Replacing::Trash, Outcome::Kind::Finished, "",
     true, "rebuilt"},
    {"no_room_for_the_rebuilt_file",
     [](EngineRun& r) {
         r.runTime.Space = {{1000, 512}};
     },
     true, Replacing::Trash, Outcome::Kind::Refused, "1000 bytes are free", true, "old"},
    {"overwritten_as_before", nothing, true, Replacing::Overwrite, Outcome::Kind::Finished, "",
     true, "rebuilt"},
};

INSTANTIATE_TEST_SUITE_P(Sets, RerunTest, testing::ValuesIn(reruns),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::engine
