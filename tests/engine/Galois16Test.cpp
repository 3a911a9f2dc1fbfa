#include "engine/Galois16.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace tren::gf16 {
namespace {

// Schoolbook: carry-less multiplication, then the remainder by the field polynomial.
Symbol ReferenceMultiply(Symbol a, Symbol b) {
    std::uint32_t product = 0;
    for (int bit = 0; bit < 16; ++bit)
        if (b >> bit & 1)
            product ^= static_cast<std::uint32_t>(a) << bit;
    for (int bit = 31; bit >= 16; --bit)
        if (product >> bit & 1)
            product ^= 0x1100Bu << (bit - 16);
    return static_cast<Symbol>(product);
}

std::mt19937 random(20030511);

Symbol RandomSymbol() {
    return static_cast<Symbol>(random());
}

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return bytes;
}

TEST(Galois16, ArithmeticAgreesWithTheSchoolbookAndTheFieldsIdentities) {
    const Symbol edges[] = {0, 1, 2, 0x8000, 0xFFFF};
    for (Symbol a : edges)
        for (Symbol b : edges)
            EXPECT_EQ(Multiply(a, b), ReferenceMultiply(a, b)) << a << " * " << b;
    for (int i = 0; i < 100000; ++i) {
        const Symbol a = RandomSymbol(), b = RandomSymbol();
        ASSERT_EQ(Multiply(a, b), ReferenceMultiply(a, b)) << a << " * " << b;
        if (a == 0)
            continue;
        ASSERT_EQ(Multiply(a, Inverse(a)), 1) << a;
        ASSERT_EQ(Power(a, 3), Multiply(a, Multiply(a, a))) << a;
        ASSERT_EQ(Power(a, 65535 + 7), Power(a, 7)) << a;
    }
    EXPECT_EQ(Power(2, 16), 0x100B);
    EXPECT_EQ(Power(0, 0), 1);
    EXPECT_EQ(Power(0, 5), 0);
}

// Every constant must have the full order 65535, or some recovery matrices could
// not be inverted; and no two inputs may share one.
TEST(Galois16, InputConstantsArePowersOfTwoOfFullOrder) {
    const Symbol first[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(InputConstant(i), first[i]) << i;
    std::set<Symbol> seen;
    for (int i = 0; i < 32768; ++i) {
        const Symbol constant = InputConstant(i);
        seen.insert(constant);
        for (std::uint32_t factor : {3u, 5u, 17u, 257u})
            ASSERT_NE(Power(constant, 65535 / factor), 1) << i;
    }
    EXPECT_EQ(seen.size(), 32768u);
    EXPECT_THROW(InputConstant(32768), std::out_of_range);
    EXPECT_EQ(Coefficient(3, 2), Multiply(128, 128));
}

class Galois16Methods : public testing::TestWithParam<Method> {};

// Lengths around each method's vector sizes, an odd byte at the end, a source and
// a destination off their alignment, and guard bytes that must stay as they are.
TEST_P(Galois16Methods, MultiplyAddAgreesWithTheSchoolbook) {
    for (std::size_t size : {0, 1, 2, 30, 31, 32, 63, 64, 66, 127, 1000, 1001, 65538})
        for (Symbol factor : {Symbol{0}, Symbol{1}, Symbol{0x8000}, RandomSymbol()}) {
            const auto source = RandomBytes(size + 1);
            auto target = RandomBytes(size + 3);
            auto expected = target;
            for (std::size_t i = 0; i < size; i += 2) {
                const Symbol symbol = source[1 + i] | (i + 1 < size ? source[2 + i] << 8 : 0);
                const Symbol product = ReferenceMultiply(factor, symbol);
                expected[1 + i] ^= static_cast<std::uint8_t>(product);
                if (i + 1 < size)
                    expected[2 + i] ^= static_cast<std::uint8_t>(product >> 8);
            }
            MultiplyAddWith(GetParam(), factor, std::span(source).subspan(1),
                            std::span(target).subspan(1, size));
            ASSERT_EQ(target, expected) << "size " << size << ", factor " << factor;
        }
}

// Across several of the source's cache blocks, a zero factor among the others.
TEST_P(Galois16Methods, MultiplyAddEachIsMultiplyAddForEveryDestination) {
    const auto source = RandomBytes(40002);
    const std::vector<Symbol> factors = {RandomSymbol(), 0, 1, RandomSymbol(), Coefficient(7, 9)};
    std::vector<std::vector<std::uint8_t>> targets, expected;
    std::vector<std::uint8_t*> pointers;
    for (Symbol factor : factors) {
        targets.push_back(RandomBytes(source.size()));
        expected.push_back(targets.back());
        MultiplyAddWith(Method::Portable, factor, source, expected.back());
        pointers.push_back(targets.back().data());
    }
    MultiplyAddEachWith(GetParam(), factors, source, pointers);
    EXPECT_EQ(targets, expected);
}

INSTANTIATE_TEST_SUITE_P(Available, Galois16Methods, testing::ValuesIn(AvailableMethods()),
                         [](const auto& info) { return std::string(MethodName(info.param)); });

// The matrices a repair inverts: the chosen recovery slices' exponents by rows, the
// missing inputs' constants by columns.
TEST(Galois16, InvertUndoesARecoveryMatrixAndRefusesASingularOne) {
    for (int n : {1, 2, 7, 40}) {
        std::vector<Symbol> matrix;
        for (int row = 0; row < n; ++row)
            for (int column = 0; column < n; ++column)
                matrix.push_back(Coefficient(column * 97 + 3, static_cast<std::uint32_t>(row * 5)));
        const auto inverse = Invert(matrix, n);
        ASSERT_TRUE(inverse) << n;
        for (int row = 0; row < n; ++row)
            for (int column = 0; column < n; ++column) {
                Symbol sum = 0;
                for (int k = 0; k < n; ++k)
                    sum ^= Multiply(matrix[row * n + k], (*inverse)[k * n + column]);
                ASSERT_EQ(sum, row == column ? 1 : 0) << n << ": " << row << ", " << column;
            }
    }
    EXPECT_EQ(Invert({0, 3, 5, 0}, 2), (std::vector<Symbol>{0, Inverse(5), Inverse(3), 0}));
    const Symbol twice = Multiply(2, 0x1234);
    EXPECT_EQ(Invert({0x1234, 7, twice, Multiply(2, 7)}, 2), std::nullopt);
    EXPECT_EQ(Invert({0, 0, 0, 9}, 2), std::nullopt);
}

} // namespace
} // namespace tren::gf16
