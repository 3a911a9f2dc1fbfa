#include "engine/PieceSet.h"

#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace tren::pieces {
namespace {

TEST(PieceName, WriterAndReaderAgree) {
    // A reader knows only the header's name; index 10 catches one that appends to
    // it instead of replacing its final "0".
    const std::tuple<const char*, int, const char*> table[] = {
        {"a", 1, "a.tr1"}, {"a.b.c", 0, "a.b.c.tr0"}, {"x.zip", 10, "x.zip.tr10"}};
    for (const auto& [source, index, piece] : table) {
        EXPECT_EQ(PieceName(source, index), piece);
        EXPECT_EQ(PieceNameFromHeader(PieceName(source, 0), index), piece);
        EXPECT_EQ(RebuiltName(PieceName(source, 0)), source);
    }
    for (const char* header : {".tr0", "a.t", ""}) {
        try {
            RebuiltName(header);
            ADD_FAILURE() << header;
        } catch (const RunTimeError& failure) {
            EXPECT_EQ(failure.Code(), ErrorCode::InvalidArgument);
        }
    }
}

// Rejections of size code 0 and 6, a digit above 9 inside the number, a piece
// count or last piece size of 0 are checked through the window's build.
TEST(DecodeHeader, ReadsTheDocumentedExampleAndRefusesTheEdges) {
    using Bytes = std::array<std::uint8_t, HeaderLength>;
    const Bytes example{3, 0, 0, 0, 0, 2, 6, 0, 0, 3};
    const auto header = DecodeHeader(example);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->PieceCount, 3);
    EXPECT_EQ(header->LastPieceSize, 620000);
    EXPECT_EQ(header->SizeCode, 3);
    EXPECT_EQ(EncodeHeader(*header), example);
    EXPECT_EQ(RebuiltLength(*header), 3500000);
    EXPECT_TRUE(DecodeHeader(Bytes{255, 0, 0, 0, 0, 0, 0, 5, 0, 1}));
    EXPECT_FALSE(DecodeHeader(Bytes{3, 0, 0, 0, 0, 2, 6, 0, 0, 255}));
    EXPECT_FALSE(DecodeHeader(Bytes{3, 0, 0, 0, 0, 0, 0, 0, 200, 3})); // the top digit
}

// The documented example: pieces of 1440000 bytes, the third of 620000.
const Header Example{3, 620000, 3};

struct FaultCase {
    const char* name;
    std::vector<std::int64_t> lengths; // -1: the piece does not exist
    const char* fault;                 // "PIECE HELD NEEDED", or "" when the set is whole
    // Printed as its name, so test names stay the same from run to run.
    friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
};

class FirstFaultTest : public testing::TestWithParam<FaultCase> {};

TEST_P(FirstFaultTest, NamesTheFirstPieceThatCannotGiveItsShare) {
    const auto fault = FirstFault(Example, GetParam().lengths);
    if (!fault) {
        EXPECT_STREQ(GetParam().fault, "");
        return;
    }
    EXPECT_EQ(std::to_string(fault->Piece) + " " + std::to_string(fault->Held) + " " +
                  std::to_string(fault->Needed),
              GetParam().fault);
    EXPECT_EQ(ShareOf(Example, fault->Piece), fault->Needed);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, FirstFaultTest,
    testing::Values(FaultCase{"last_piece_needs_only_its_own_size", {1440000, 1440000, 620000}, ""},
                    FaultCase{"missing_piece", {1440000, -1, -1}, "2 -1 1440000"},
                    FaultCase{"short_piece", {1439999, 1440000, 620000}, "1 1439999 1440000"},
                    FaultCase{"longer_pieces_are_fine", {2000000, 1440001, 5000000}, ""},
                    FaultCase{"short_last_piece", {1440000, 1440000, 619999}, "3 619999 620000"},
                    FaultCase{"beyond_the_list_is_missing", {1440000, 1440000}, "3 -1 620000"},
                    FaultCase{"empty_list", {}, "1 -1 1440000"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::pieces
