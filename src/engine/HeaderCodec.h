#pragma once

#include <cstdint>
#include <span>

namespace tren {

// The header's one multi-byte number: eight bytes, units digit first, each byte
// holding a digit's value 0 to 9 rather than its character.
//
// byteOut[0] is the units digit, byteOut[7] the ten-millions digit. Only the
// eight lowest digits of lngIn survive, and its sign is not recorded.
void LongToByte(std::int32_t lngIn, std::span<std::uint8_t, 8> byteOut);

// The number written by the decimal forms of byteIn[7] .. byteIn[0] placed one
// after the other, so a byte above 9 shifts the digits above it rather than
// failing. A result above 2147483647 throws the overflow failure.
std::int32_t ByteToLong(std::span<const std::uint8_t, 8> byteIn);

} // namespace tren
