#include "engine/Recovery.h"

#include "engine/Building.h"
#include "engine/PieceSet.h"
#include "engine/Repairing.h"
#include "engine/Transfers.h"
#include "engine/Trenning.h"
#include "support/RecordingSink.h"
#include "support/SystemUnderTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tren::engine {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

std::vector<std::uint8_t> Read(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What happens to a file of the set: 0 is the header piece, -1 the first
// recovery volume, -2 every recovery file of the set.
enum class Harm { Delete, Flip, Cut };
struct Damage {
    int Number;
    Harm How;
};

struct Row {
    const char* Name;
    int Recovery;
    std::vector<Damage> Damages;
    // Empty when the set builds; otherwise what the refusal says.
    std::string Refusal;
};

class RecoveryTest : public testing::TestWithParam<Row> {
  protected:
    TempFolder set, out;
    test::FaultyCalls calls;
    test::SystemRunTime runTime{calls};
    TransferBuffers buffers;
    test::RecordingSink sink;
    OperationContext context{runTime, buffers, sink};
    // 2,300,001 bytes at 500K: four whole pieces and a short fifth.
    std::vector<std::uint8_t> source = test::RandomBytes(2300001, 7);

    Outcome Cut(const std::string& name, int recovery) {
        test::WriteFile(set / name, source);
        RunState state;
        state.SrcTitle = name;
        state.PieceSize = 500000;
        sink.folder = set.Path();
        return Tren({set / name, Checksums::Skip, {recovery, false}}, context, state);
    }
    std::string PathOf(int number) const {
        if (number == -1)
            return set / "data.bin.tr.vol0+1.par2";
        return set / pieces::PieceName("data.bin", number);
    }
    void Harm(const Damage& damage) {
        const std::string path = PathOf(damage.Number);
        auto bytes = Read(path);
        if (damage.How == Harm::Delete)
            fs::remove(fs::u8path(path));
        if (damage.How == Harm::Cut)
            bytes.resize(bytes.size() / 2);
        if (damage.How == Harm::Flip)
            bytes[bytes.size() / 2 + 1] ^= 0x40;
        if (damage.How != Harm::Delete)
            test::WriteFile(path, bytes);
    }
};

TEST_P(RecoveryTest, BuildAndRepairGiveBackTheSet) {
    const Row& row = GetParam();
    ASSERT_TRUE(Cut("data.bin", row.Recovery).IsFinished());
    std::vector<std::vector<std::uint8_t>> pieces;
    for (int number = 0; number <= 5; ++number)
        pieces.push_back(Read(PathOf(number)));
    for (const auto& damage : row.Damages)
        Harm(damage);

    sink.folder = out.Path();
    RunState state;
    const Outcome built = Build({PathOf(0), Replacing::Overwrite}, context, state);
    const RepairOutcome repaired = RepairSet(runTime, PathOf(0));
    if (!row.Refusal.empty()) {
        ASSERT_FALSE(built.IsFinished());
        EXPECT_NE(built.Refusal().Text.find(row.Refusal), std::string::npos)
            << built.Refusal().Text;
        ASSERT_TRUE(repaired.Refusal);
        EXPECT_NE(repaired.Refusal->find(row.Refusal), std::string::npos) << *repaired.Refusal;
        EXPECT_FALSE(fs::exists(fs::u8path(out / "data.bin")));
        return;
    }
    ASSERT_TRUE(built.IsFinished()) << built.Refusal().Text;
    EXPECT_EQ(Read(out / "data.bin"), source);
    for (const auto& damage : row.Damages) {
        const std::string line = "Repaired " + PathOf(damage.Number) + " from recovery data";
        EXPECT_EQ(std::find(sink.lines.begin(), sink.lines.end(), line) != sink.lines.end(),
                  damage.Number >= 0);
    }
    // The build left the set as it was; repair writes it back whole.
    ASSERT_FALSE(repaired.Refusal) << *repaired.Refusal;
    for (int number = 0; number <= 5; ++number)
        EXPECT_EQ(Read(PathOf(number)), pieces[static_cast<std::size_t>(number)]) << number;
    EXPECT_TRUE(RepairSet(runTime, PathOf(0)).Repaired.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sets, RecoveryTest,
    testing::Values(Row{"FirstPieceLost", 1, {{1, Harm::Delete}}, ""},
                    Row{"LastShortPieceCut", 1, {{5, Harm::Cut}}, ""},
                    Row{"HeaderDamaged", 1, {{0, Harm::Flip}}, ""},
                    Row{"HeaderAndPieceDamaged", 2, {{0, Harm::Flip}, {3, Harm::Flip}}, ""},
                    Row{"TwoPiecesLost", 3, {{2, Harm::Delete}, {4, Harm::Cut}}, ""},
                    Row{"DamagedVolumeSpared", 2, {{-1, Harm::Flip}, {2, Harm::Delete}}, ""},
                    Row{"TooFewSlices",
                        1,
                        {{1, Harm::Delete}, {2, Harm::Flip}},
                        "2 pieces are not whole: 2 slices are missing, the recovery files hold 1"},
                    Row{"DamagedVolumeLeavesTooFew",
                        1,
                        {{-1, Harm::Flip}, {2, Harm::Delete}},
                        "1 piece is not whole: 1 slice is missing, the recovery files hold 0"}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.Name; });

} // namespace
} // namespace tren::engine
