#include "engine/HeaderCodec.h"

#include "engine/RunTimeError.h"

#include <gtest/gtest.h>

#include <array>

namespace tren {
namespace {

using Digits = std::array<std::uint8_t, 8>;

struct EncodeCase {
    const char* name;
    std::int32_t value;
    Digits digits; // units digit first
};

class LongToByteTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(LongToByteTest, WritesDecimalDigitsUnitsFirst) {
    Digits out{};
    out.fill(0xAA);
    LongToByte(GetParam().value, out);
    EXPECT_EQ(out, GetParam().digits);
}

INSTANTIATE_TEST_SUITE_P(
    Values, LongToByteTest,
    testing::Values(EncodeCase{"zero", 0, {0, 0, 0, 0, 0, 0, 0, 0}},
                    EncodeCase{"largest_piece", 5000000, {0, 0, 0, 0, 0, 0, 5, 0}},
                    EncodeCase{"floppy", 1440000, {0, 0, 0, 0, 4, 4, 1, 0}},
                    EncodeCase{"last_piece_of_example", 620000, {0, 0, 0, 0, 2, 6, 0, 0}},
                    EncodeCase{"eight_nines", 99999999, {9, 9, 9, 9, 9, 9, 9, 9}},
                    EncodeCase{"ninth_digit_lost", 123456789, {9, 8, 7, 6, 5, 4, 3, 2}},
                    EncodeCase{"sign_not_recorded", -620000, {0, 0, 0, 0, 2, 6, 0, 0}},
                    EncodeCase{"most_negative", -2147483647 - 1, {8, 4, 6, 3, 8, 4, 7, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

struct DecodeCase {
    const char* name;
    Digits bytes;
    std::int32_t value;
};

class ByteToLongTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(ByteToLongTest, ReadsTheDecimalFormsMostSignificantFirst) {
    EXPECT_EQ(ByteToLong(GetParam().bytes), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ByteToLongTest,
    testing::Values(DecodeCase{"zero", {0, 0, 0, 0, 0, 0, 0, 0}, 0},
                    DecodeCase{"floppy", {0, 0, 0, 0, 4, 4, 1, 0}, 1440000},
                    DecodeCase{"eight_nines", {9, 9, 9, 9, 9, 9, 9, 9}, 99999999},
                    // A byte above 9 shifts the digits above it instead of failing.
                    DecodeCase{"two_digit_byte_shifts", {12, 3, 0, 0, 0, 0, 0, 0}, 312},
                    DecodeCase{"three_digit_byte", {255, 0, 0, 0, 0, 0, 0, 1}, 1000000255},
                    DecodeCase{"largest_that_fits", {7, 4, 6, 3, 8, 4, 7, 214}, 2147483647}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteToLong, OverflowIsTheOverflowFailure) {
    for (const Digits bytes : {Digits{255, 255, 255, 255, 255, 255, 255, 255},
                               Digits{8, 4, 6, 3, 8, 4, 7, 214}}) {
        try {
            ByteToLong(bytes);
            ADD_FAILURE() << "no failure";
        } catch (const RunTimeError& failure) {
            EXPECT_EQ(failure.Code(), ErrorCode::Overflow);
        }
    }
}

TEST(HeaderCodec, RoundTripsEveryEightDigitValue) {
    // Every value is too slow for a unit test; a stride coprime to every digit
    // position still puts every digit in every place.
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
