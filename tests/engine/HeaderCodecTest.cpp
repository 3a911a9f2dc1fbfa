#include "engine/HeaderCodec.h"

#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <array>

namespace tren {
namespace {

using Digits = std::array<std::uint8_t, 8>;

// Positive values of up to eight digits are left to the round trip.
TEST(LongToByte, WritesTheLowEightDigitsUnitsFirstWithoutTheSign) {
    const std::pair<std::int32_t, Digits> table[] = {
        {1440000, {0, 0, 0, 0, 4, 4, 1, 0}},
        {123456789, {9, 8, 7, 6, 5, 4, 3, 2}},
        {-620000, {0, 0, 0, 0, 2, 6, 0, 0}},
        {-2147483647 - 1, {8, 4, 6, 3, 8, 4, 7, 4}},
    };
    for (const auto& [value, digits] : table) {
        Digits out;
        out.fill(0xAA);
        LongToByte(value, out);
        EXPECT_EQ(out, digits) << value;
    }
}

TEST(ByteToLong, PlacesTheBytesDecimalFormsSideBySide) {
    const auto decoded = [](const Digits& bytes) -> std::int64_t {
        try {
            return ByteToLong(bytes);
        } catch (const RunTimeError& failure) {
            return failure.Code() == ErrorCode::Overflow ? -1 : -2;
        }
    };
    const std::pair<Digits, std::int64_t> table[] = {
        {{12, 3, 0, 0, 0, 0, 0, 0}, 312}, // a byte above 9 shifts the digits above it
        {{255, 0, 0, 0, 0, 0, 0, 1}, 1000000255},
        {{7, 4, 6, 3, 8, 4, 7, 214}, 2147483647},
        {{8, 4, 6, 3, 8, 4, 7, 214}, -1}, // the overflow failure
        {{255, 255, 255, 255, 255, 255, 255, 255}, -1},
    };
    for (const auto& [bytes, value] : table)
        EXPECT_EQ(decoded(bytes), value) << value;
}

TEST(HeaderCodec, RoundTripsEightDigitValues) {
    // Every value is too slow; a stride coprime to ten puts every digit in every place.
    Digits bytes{};
    for (std::int32_t value = 0; value <= 99999999; value += 9973) {
        LongToByte(value, bytes);
        ASSERT_EQ(ByteToLong(bytes), value);
    }
    LongToByte(99999999, bytes);
    EXPECT_EQ(ByteToLong(bytes), 99999999);
}

} // namespace
} // namespace tren
