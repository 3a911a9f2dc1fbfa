#include "engine/PieceSet.h"

#include "engine/HeaderCodec.h"
#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <array>

namespace tren {
namespace {

using Digits = std::array<std::uint8_t, 8>;

std::int64_t Decoded(const Digits& bytes) try {
    return ByteToLong(bytes);
} catch (const RunTimeError& failure) {
    return failure.Code() == ErrorCode::Overflow ? -1 : -2;
}

TEST(HeaderCodec, WritesTheLowEightDigitsUnitsFirstAndReadsTheDecimalFormsSideBySide) {
    const std::pair<std::int32_t, Digits> written[] = {{123456789, {9, 8, 7, 6, 5, 4, 3, 2}},
                                                       {-620000, {0, 0, 0, 0, 2, 6, 0, 0}},
                                                       {-2147483647 - 1, {8, 4, 6, 3, 8, 4, 7, 4}}};
    Digits out;
    for (const auto& [value, digits] : written) {
        out.fill(0xAA);
        LongToByte(value, out);
        EXPECT_EQ(out, digits) << value;
    }
    EXPECT_EQ(Decoded({12, 3, 0, 0, 0, 0, 0, 0}), 312); // a byte above 9 shifts those above it
    EXPECT_EQ(Decoded({255, 0, 0, 0, 0, 0, 0, 1}), 1000000255);
    EXPECT_EQ(Decoded({7, 4, 6, 3, 8, 4, 7, 214}), 2147483647);
    EXPECT_EQ(Decoded({8, 4, 6, 3, 8, 4, 7, 214}), -1); // the overflow failure
    EXPECT_EQ(Decoded({255, 255, 255, 255, 255, 255, 255, 255}), -1);
    // Every value is too slow; a stride coprime to ten puts every digit in every place.
    for (std::int32_t value = 99999999; value >= 0; value -= 9973) {
        LongToByte(value, out);
        ASSERT_EQ(ByteToLong(out), value);
    }
}

// What names a cut gives and a build reads, and what a header holds, every round trip
// shows (tren_cli_test.sh cuts 41 pieces); these they refuse.
TEST(PieceSet, RefusesANameWithoutASetAndAHeaderWithoutASize) {
    using namespace pieces;
    for (const char* header : {".tr0", "a.t", ""}) {
        try {
            ADD_FAILURE() << RebuiltName(header);
        } catch (const RunTimeError& failure) {
            EXPECT_EQ(failure.Code(), ErrorCode::InvalidArgument);
        }
    }
    using Bytes = std::array<std::uint8_t, HeaderLength>;
    for (const std::uint8_t code : {0, 6, 255}) // no such size
        EXPECT_FALSE(DecodeHeader(Bytes{3, 0, 0, 0, 0, 2, 6, 0, 0, code})) << int{code};
    EXPECT_FALSE(DecodeHeader(Bytes{3, 0, 0, 0, 0, 0, 0, 0, 200, 3})); // the top digit
}

} // namespace
} // namespace tren
