#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Arithmetic in GF(2^16) with the field polynomial x^16 + x^12 + x^3 + x + 1
// (0x1100B), and the Reed-Solomon pieces a PAR 2.0 recovery set is made of: the
// constants of the input slices, region multiply-add over slices, and the matrix
// inverse that turns recovery slices back into the missing input slices.
//
// In a slice the 16-bit symbols are stored little-endian, as PAR 2.0 stores them.
namespace tren::gf16 {

using Symbol = std::uint16_t;

Symbol Multiply(Symbol a, Symbol b);
// a must not be 0.
Symbol Inverse(Symbol a);
Symbol Power(Symbol base, std::uint32_t exponent);

// The constant of the index-th input slice (0-based, in the recovery set's order):
// 2^n for the index-th n that is divisible by none of 3, 5, 17 and 257, so that
// the constant has the full order 65535. There are 32768 of them: 0 <= index < 32768.
Symbol InputConstant(int index);

// A recovery slice with exponent e is the sum over the inputs i of
// InputConstant(i)^e * input_i.
inline Symbol Coefficient(int inputIndex, std::uint32_t exponent) {
    return Power(InputConstant(inputIndex), exponent);
}

// into ^= factor * from, symbol by symbol; from and into have the same size. An odd
// last byte is the low byte of a symbol whose high byte is zero: the set pads a
// short slice with zeros.
void MultiplyAdd(Symbol factor, std::span<const std::uint8_t> from, std::span<std::uint8_t> into);

// into[j] ^= factors[j] * from for every j, each into[j] as long as from, none of
// them overlapping another or from. The source is read once per block small enough
// to stay in the cache for every destination.
void MultiplyAddEach(std::span<const Symbol> factors, std::span<const std::uint8_t> from,
                     std::span<std::uint8_t* const> into);

// The inverse of the n-by-n matrix given row by row; nullopt when it is singular.
std::optional<std::vector<Symbol>> Invert(std::vector<Symbol> matrix, int n);

// The ways of multiplying a region: table lookups any processor runs, or nibble
// lookups with the byte shuffles of SSSE3 or AVX2 (x86-64 only).
enum class Method { Portable, Ssse3, Avx2 };
// Those this processor can run, Portable first.
std::vector<Method> AvailableMethods();
// The fastest of them: what MultiplyAdd and MultiplyAddEach use.
Method ChosenMethod();
const char* MethodName(Method method);
// MultiplyAdd and MultiplyAddEach by a given method, which must be available.
void MultiplyAddWith(Method method, Symbol factor, std::span<const std::uint8_t> from,
                     std::span<std::uint8_t> into);
void MultiplyAddEachWith(Method method, std::span<const Symbol> factors,
                         std::span<const std::uint8_t> from, std::span<std::uint8_t* const> into);

} // namespace tren::gf16
