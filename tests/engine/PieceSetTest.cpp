#include "engine/PieceSet.h"

#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace tren::pieces {
namespace {

TEST(PieceSet, WriterAndReaderAgreeOnNamesAndHeaders) {
    // A reader knows only the header's name: index 10 catches one that appends to its "0".
    const std::tuple<const char*, int, const char*> table[] = {
        {"a", 1, "a.tr1"}, {"a.b.c", 0, "a.b.c.tr0"}, {"x.zip", 10, "x.zip.tr10"}};
    for (const auto& [source, index, piece] : table) {
        EXPECT_EQ(PieceName(source, index), piece);
        EXPECT_EQ(PieceNameFromHeader(PieceName(source, 0), index), piece);
        EXPECT_EQ(RebuiltName(PieceName(source, 0)), source);
    }
    for (const char* header : {".tr0", "a.t", ""}) {
        try {
            ADD_FAILURE() << RebuiltName(header);
        } catch (const RunTimeError& failure) {
            EXPECT_EQ(failure.Code(), ErrorCode::InvalidArgument);
        }
    }

    using Bytes = std::array<std::uint8_t, HeaderLength>;
    const Bytes example{3, 0, 0, 0, 0, 2, 6, 0, 0, 3};
    const auto header = DecodeHeader(example);
    ASSERT_TRUE(header);
    EXPECT_EQ(std::tuple(int{header->PieceCount}, header->LastPieceSize, int{header->SizeCode}),
              std::tuple(3, 620000, 3));
    EXPECT_EQ(EncodeHeader(*header), example);
    EXPECT_TRUE(DecodeHeader(Bytes{255, 0, 0, 0, 0, 0, 0, 5, 0, 1}));
    for (const std::uint8_t code : {0, 6, 255}) // no such size
        EXPECT_FALSE(DecodeHeader(Bytes{3, 0, 0, 0, 0, 2, 6, 0, 0, code})) << int{code};
    EXPECT_FALSE(DecodeHeader(Bytes{3, 0, 0, 0, 0, 0, 0, 0, 200, 3})); // the top digit
}

} // namespace
} // namespace tren::pieces
