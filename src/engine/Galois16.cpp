#include "engine/Galois16.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tren::gf16 {

namespace {

constexpr std::uint32_t fieldPolynomial = 0x1100B;
constexpr std::uint32_t order = 65535;

// 2 generates the field's multiplicative group, so every nonzero symbol is a power
// of it: products and powers become sums and multiples of logarithms.
struct LogTables {
    std::array<Symbol, order> Exp{};
    std::array<Symbol, 65536> Log{};

    LogTables() {
        std::uint32_t value = 1;
        for (std::uint32_t n = 0; n < order; ++n) {
            Exp[n] = static_cast<Symbol>(value);
            Log[value] = static_cast<Symbol>(n);
            value <<= 1;
            if (value & 0x10000)
                value ^= fieldPolynomial;
        }
    }
};

const LogTables& Logs() {
    static const LogTables tables;
    return tables;
}

// factor * x^k for k = 0..15: every product with factor is an XOR of some of them,
// which makes the lookup tables cheap enough to build for each call.
std::array<Symbol, 16> BitProducts(Symbol factor) {
    std::array<Symbol, 16> products{};
    std::uint32_t value = factor;
    for (auto& product : products) {
        product = static_cast<Symbol>(value);
        value <<= 1;
        if (value & 0x10000)
            value ^= fieldPolynomial;
    }
    return products;
}

// The products of factor with every value the bits firstBit.. of a symbol can take,
// the others zero.
template <std::size_t Size>
void FillTable(const std::array<Symbol, 16>& bitProducts, int firstBit,
               std::array<Symbol, Size>& table) {
    table[0] = 0;
    for (std::size_t n = 1; n < Size; ++n)
        table[n] = table[n & (n - 1)] ^ bitProducts[firstBit + std::countr_zero(n)];
}

// The portable method: a symbol's product is the XOR of its low byte's and its high
// byte's, from two tables of 256.
struct ByteTables {
    std::array<Symbol, 256> Low;
    std::array<Symbol, 256> High;
};

ByteTables ByteTablesFor(Symbol factor) {
    const auto bits = BitProducts(factor);
    ByteTables tables;
    FillTable(bits, 0, tables.Low);
    FillTable(bits, 8, tables.High);
    return tables;
}

// The products of the symbols in a word, each in its place: the lanes spelt out
// rather than looped over, which the compiler would do with shifts by a variable.
template <class Word, std::size_t... Lanes>
Word WordProducts(const ByteTables& t, Word source, std::index_sequence<Lanes...>) {
    return ((static_cast<Word>(t.Low[(source >> (16 * Lanes)) & 0xFF] ^
                               t.High[(source >> (16 * Lanes + 8)) & 0xFF])
             << (16 * Lanes)) |
            ...);
}

void RunPortable(const ByteTables& t, const std::uint8_t* from, std::uint8_t* into,
                 std::size_t size) {
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // A machine word of symbols at a time: fewer loads and stores than symbol by
        // symbol, and a 32-bit processor keeps its own word size.
        using Word = std::conditional_t<sizeof(void*) >= 8, std::uint64_t, std::uint32_t>;
        for (; i + sizeof(Word) <= size; i += sizeof(Word)) {
            Word source;
            Word target;
            std::memcpy(&source, from + i, sizeof source);
            std::memcpy(&target, into + i, sizeof target);
            target ^= WordProducts(t, source, std::make_index_sequence<sizeof(Word) / 2>());
            std::memcpy(into + i, &target, sizeof target);
        }
    }
    for (; i + 2 <= size; i += 2) {
        const Symbol product = t.Low[from[i]] ^ t.High[from[i + 1]];
        into[i] ^= static_cast<std::uint8_t>(product);
        into[i + 1] ^= static_cast<std::uint8_t>(product >> 8);
    }
    if (i < size)
        into[i] ^= static_cast<std::uint8_t>(t.Low[from[i]]);
}

#if defined(__x86_64__)

// The SIMD methods: a symbol's four nibbles each index a table of 16 products, one
// table for the products' low bytes and one for their high bytes, which is what a
// byte shuffle looks up 16 or 32 at a time. Each function carries its own target, so
// that the rest of the build needs no instruction-set flags and runs on any x86-64;
// they are called only where the processor has the instructions.
struct NibbleTables {
    alignas(16) std::uint8_t Low[4][16];
    alignas(16) std::uint8_t High[4][16];
    Symbol Factor;
};

NibbleTables NibbleTablesFor(Symbol factor) {
    const auto bits = BitProducts(factor);
    NibbleTables tables;
    tables.Factor = factor;
    for (int nibble = 0; nibble < 4; ++nibble) {
        std::array<Symbol, 16> products;
        FillTable(bits, 4 * nibble, products);
        for (int n = 0; n < 16; ++n) {
            tables.Low[nibble][n] = static_cast<std::uint8_t>(products[n]);
            tables.High[nibble][n] = static_cast<std::uint8_t>(products[n] >> 8);
        }
    }
    return tables;
}

// What is left after the last whole vector.
void RunTail(Symbol factor, const std::uint8_t* from, std::uint8_t* into, std::size_t size) {
    for (std::size_t i = 0; i < size; i += 2) {
        const Symbol source = static_cast<Symbol>(from[i] | (i + 1 < size ? from[i + 1] << 8 : 0));
        const Symbol product = Multiply(factor, source);
        into[i] ^= static_cast<std::uint8_t>(product);
        if (i + 1 < size)
            into[i + 1] ^= static_cast<std::uint8_t>(product >> 8);
    }
}

__attribute__((target("ssse3"))) void RunSsse3(const NibbleTables& t, const std::uint8_t* from,
                                               std::uint8_t* into, std::size_t size) {
    const auto table = [](const std::uint8_t* bytes) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
    };
    const __m128i low0 = table(t.Low[0]), low1 = table(t.Low[1]), low2 = table(t.Low[2]),
                  low3 = table(t.Low[3]);
    const __m128i high0 = table(t.High[0]), high1 = table(t.High[1]), high2 = table(t.High[2]),
                  high3 = table(t.High[3]);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    // Even bytes (the symbols' low bytes) to the first half, odd ones to the second.
    const __m128i split = _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const auto source = reinterpret_cast<const __m128i*>(from + i);
        const auto target = reinterpret_cast<__m128i*>(into + i);
        const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(source), split);
        const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(source + 1), split);
        const __m128i lows = _mm_unpacklo_epi64(a, b);
        const __m128i highs = _mm_unpackhi_epi64(a, b);
        const __m128i n0 = _mm_and_si128(lows, nibble);
        const __m128i n1 = _mm_and_si128(_mm_srli_epi16(lows, 4), nibble);
        const __m128i n2 = _mm_and_si128(highs, nibble);
        const __m128i n3 = _mm_and_si128(_mm_srli_epi16(highs, 4), nibble);
        const __m128i productLows =
            _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(low0, n0), _mm_shuffle_epi8(low1, n1)),
                          _mm_xor_si128(_mm_shuffle_epi8(low2, n2), _mm_shuffle_epi8(low3, n3)));
        const __m128i productHighs =
            _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(high0, n0), _mm_shuffle_epi8(high1, n1)),
                          _mm_xor_si128(_mm_shuffle_epi8(high2, n2), _mm_shuffle_epi8(high3, n3)));
        _mm_storeu_si128(target, _mm_xor_si128(_mm_loadu_si128(target),
                                               _mm_unpacklo_epi8(productLows, productHighs)));
        _mm_storeu_si128(target + 1, _mm_xor_si128(_mm_loadu_si128(target + 1),
                                                   _mm_unpackhi_epi8(productLows, productHighs)));
    }
    RunTail(t.Factor, from + i, into + i, size - i);
}

// The same in both 128-bit lanes at once: the packs, shuffles and unpacks of AVX2
// stay in their lane, and so do the tables, broadcast to both.
#define TREN_AVX2 __attribute__((target("avx2"), always_inline)) inline

struct Avx2Tables {
    __m256i Low[4];
    __m256i High[4];
};

TREN_AVX2 Avx2Tables LoadAvx2(const NibbleTables& t) {
    Avx2Tables tables;
    for (int k = 0; k < 4; ++k) {
        tables.Low[k] =
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.Low[k])));
        tables.High[k] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(t.High[k])));
    }
    return tables;
}

// 64 bytes of source, 32 symbols, as their four nibbles, each in a byte of its own:
// the low bytes packed apart from the high bytes, lane by lane.
TREN_AVX2 void SplitAvx2(const std::uint8_t* from, __m256i nibbles[4]) {
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from) + 1);
    const __m256i lows =
        _mm256_packus_epi16(_mm256_and_si256(a, lowBytes), _mm256_and_si256(b, lowBytes));
    const __m256i highs = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
    nibbles[0] = _mm256_and_si256(lows, nibble);
    nibbles[1] = _mm256_and_si256(_mm256_srli_epi16(lows, 4), nibble);
    nibbles[2] = _mm256_and_si256(highs, nibble);
    nibbles[3] = _mm256_and_si256(_mm256_srli_epi16(highs, 4), nibble);
}

TREN_AVX2 __m256i LookUpAvx2(const __m256i table[4], const __m256i nibbles[4]) {
    return _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(table[0], nibbles[0]),
                                             _mm256_shuffle_epi8(table[1], nibbles[1])),
                            _mm256_xor_si256(_mm256_shuffle_epi8(table[2], nibbles[2]),
                                             _mm256_shuffle_epi8(table[3], nibbles[3])));
}

// into's 64 bytes ^= the products of the split symbols, bytes interleaved again.
TREN_AVX2 void AddProductsAvx2(const Avx2Tables& t, const __m256i nibbles[4], std::uint8_t* into) {
    const __m256i lows = LookUpAvx2(t.Low, nibbles);
    const __m256i highs = LookUpAvx2(t.High, nibbles);
    const auto target = reinterpret_cast<__m256i*>(into);
    _mm256_storeu_si256(
        target, _mm256_xor_si256(_mm256_loadu_si256(target), _mm256_unpacklo_epi8(lows, highs)));
    _mm256_storeu_si256(target + 1, _mm256_xor_si256(_mm256_loadu_si256(target + 1),
                                                     _mm256_unpackhi_epi8(lows, highs)));
}

__attribute__((target("avx2"))) void RunAvx2(const NibbleTables& t, const std::uint8_t* from,
                                             std::uint8_t* into, std::size_t size) {
    const Avx2Tables tables = LoadAvx2(t);
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        __m256i nibbles[4];
        SplitAvx2(from + i, nibbles);
        AddProductsAvx2(tables, nibbles, into + i);
    }
    RunTail(t.Factor, from + i, into + i, size - i);
}

// For several destinations a block of the source is split into nibbles once, into a
// buffer that stays in the first-level cache with the block of a destination or two,
// and each destination only looks up. Destinations too many to stay in any cache
// come from memory in short runs, a block each, which the processor's own
// prefetching does not see coming: the next destination's block is asked for while
// this one's is worked on.
__attribute__((target("avx2"))) void EachAvx2(std::span<const NibbleTables> tables,
                                              std::span<const std::uint8_t> from,
                                              std::span<std::uint8_t* const> into) {
    constexpr std::size_t block = 4 * 1024;
    alignas(32) std::uint8_t buffer[2 * block];
    const auto split = reinterpret_cast<__m256i*>(buffer);
    for (std::size_t offset = 0; offset < from.size(); offset += block) {
        const std::size_t length = std::min(block, from.size() - offset);
        const std::size_t whole = length / 64 * 64;
        for (std::size_t i = 0; i < whole; i += 64)
            SplitAvx2(from.data() + offset + i, &split[i / 16]);
        for (std::size_t j = 0; j < tables.size(); ++j) {
            std::uint8_t* const target = into[j] + offset;
            const std::uint8_t* next = nullptr;
            if (j + 1 < tables.size())
                next = into[j + 1] + offset;
            else if (offset + block + whole <= from.size())
                next = into[0] + offset + block;
            if (tables[j].Factor == 0)
                continue;
            const Avx2Tables t = LoadAvx2(tables[j]);
            for (std::size_t i = 0; i < whole; i += 64) {
                if (next)
                    _mm_prefetch(reinterpret_cast<const char*>(next + i), _MM_HINT_T0);
                AddProductsAvx2(t, &split[i / 16], target + i);
            }
            RunTail(tables[j].Factor, from.data() + offset + whole, target + whole, length - whole);
        }
    }
}

#undef TREN_AVX2

#endif

bool Supports(Method method) {
    switch (method) {
    case Method::Portable:
        return true;
#if defined(__x86_64__)
    case Method::Ssse3:
        return __builtin_cpu_supports("ssse3");
    case Method::Avx2:
        return __builtin_cpu_supports("avx2");
#endif
    default:
        return false;
    }
}

template <class Tables, Tables (*Prepare)(Symbol)>
std::vector<Tables> Prepared(std::span<const Symbol> factors) {
    std::vector<Tables> tables;
    tables.reserve(factors.size());
    for (Symbol factor : factors)
        tables.push_back(Prepare(factor));
    return tables;
}

// The source is taken a block at a time, each block multiplied into every
// destination while it is still in the first-level cache.
template <class Tables, Tables (*Prepare)(Symbol),
          void (*Run)(const Tables&, const std::uint8_t*, std::uint8_t*, std::size_t)>
void EachBy(std::span<const Symbol> factors, std::span<const std::uint8_t> from,
            std::span<std::uint8_t* const> into) {
    constexpr std::size_t block = 16 * 1024;
    const std::vector<Tables> tables = Prepared<Tables, Prepare>(factors);
    for (std::size_t offset = 0; offset < from.size(); offset += block) {
        const std::size_t length = std::min(block, from.size() - offset);
        for (std::size_t j = 0; j < factors.size(); ++j)
            if (factors[j] != 0)
                Run(tables[j], from.data() + offset, into[j] + offset, length);
    }
}

} // namespace

Symbol Multiply(Symbol a, Symbol b) {
    if (a == 0 || b == 0)
        return 0;
    const LogTables& logs = Logs();
    std::uint32_t sum = std::uint32_t{logs.Log[a]} + logs.Log[b];
    if (sum >= order)
        sum -= order;
    return logs.Exp[sum];
}

Symbol Inverse(Symbol a) {
    if (a == 0)
        return 0;
    const LogTables& logs = Logs();
    return logs.Exp[(order - logs.Log[a]) % order];
}

Symbol Power(Symbol base, std::uint32_t exponent) {
    if (base == 0)
        return exponent == 0 ? 1 : 0;
    const LogTables& logs = Logs();
    return logs.Exp[static_cast<std::uint64_t>(logs.Log[base]) * (exponent % order) % order];
}

Symbol InputConstant(int index) {
    static const std::vector<Symbol> constants = [] {
        std::vector<Symbol> values;
        for (std::uint32_t n = 1; n < order; ++n)
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0)
                values.push_back(Logs().Exp[n]);
        return values;
    }();
    if (index < 0 || static_cast<std::size_t>(index) >= constants.size())
        throw std::out_of_range("a recovery set has at most 32768 input slices");
    return constants[static_cast<std::size_t>(index)];
}

void MultiplyAdd(Symbol factor, std::span<const std::uint8_t> from, std::span<std::uint8_t> into) {
    MultiplyAddWith(ChosenMethod(), factor, from, into);
}

void MultiplyAddEach(std::span<const Symbol> factors, std::span<const std::uint8_t> from,
                     std::span<std::uint8_t* const> into) {
    MultiplyAddEachWith(ChosenMethod(), factors, from, into);
}

void MultiplyAddWith(Method method, Symbol factor, std::span<const std::uint8_t> from,
                     std::span<std::uint8_t> into) {
    if (from.size() != into.size())
        throw std::invalid_argument("a source and a destination of the same size");
    std::uint8_t* const target[] = {into.data()};
    MultiplyAddEachWith(method, std::span(&factor, 1), from, target);
}

void MultiplyAddEachWith(Method method, std::span<const Symbol> factors,
                         std::span<const std::uint8_t> from, std::span<std::uint8_t* const> into) {
    if (!Supports(method))
        throw std::invalid_argument(std::string("this processor cannot multiply by ") +
                                    MethodName(method));
    if (factors.size() != into.size())
        throw std::invalid_argument("one factor for each destination");
    switch (method) {
    case Method::Portable:
        return EachBy<ByteTables, ByteTablesFor, RunPortable>(factors, from, into);
#if defined(__x86_64__)
    case Method::Ssse3:
        return EachBy<NibbleTables, NibbleTablesFor, RunSsse3>(factors, from, into);
    case Method::Avx2:
        if (factors.size() == 1)
            return EachBy<NibbleTables, NibbleTablesFor, RunAvx2>(factors, from, into);
        return EachAvx2(Prepared<NibbleTables, NibbleTablesFor>(factors), from, into);
#endif
    default:
        return;
    }
}

std::vector<Method> AvailableMethods() {
    std::vector<Method> methods;
    for (Method method : {Method::Portable, Method::Ssse3, Method::Avx2})
        if (Supports(method))
            methods.push_back(method);
    return methods;
}

Method ChosenMethod() {
    static const Method chosen = AvailableMethods().back();
    return chosen;
}

const char* MethodName(Method method) {
    switch (method) {
    case Method::Portable:
        return "portable";
    case Method::Ssse3:
        return "SSSE3";
    case Method::Avx2:
        return "AVX2";
    }
    return "unknown";
}

std::optional<std::vector<Symbol>> Invert(std::vector<Symbol> matrix, int n) {
    if (n < 0 || matrix.size() != static_cast<std::size_t>(n) * static_cast<std::size_t>(n))
        throw std::invalid_argument("a matrix of n rows of n symbols");
    // Gauss-Jordan on the matrix with the identity beside it: the rows that reduce
    // the left half to the identity turn the right half into the inverse.
    const std::size_t size = static_cast<std::size_t>(n);
    const std::size_t width = 2 * size;
    std::vector<Symbol> rows(size * width, 0);
    for (std::size_t r = 0; r < size; ++r) {
        std::copy_n(matrix.begin() + static_cast<std::ptrdiff_t>(r * size), size,
                    rows.begin() + static_cast<std::ptrdiff_t>(r * width));
        rows[r * width + size + r] = 1;
    }
    const auto row = [&](std::size_t r) { return rows.data() + r * width; };
    // row(into) ^= factor * row(from), the columns from column on: before it both
    // rows are already zero in the left half.
    const auto addScaled = [&](Symbol factor, std::size_t from, std::size_t into,
                               std::size_t column) {
        const std::size_t count = width - column;
        if constexpr (std::endian::native == std::endian::little) {
            MultiplyAdd(
                factor,
                std::span(reinterpret_cast<const std::uint8_t*>(row(from) + column), 2 * count),
                std::span(reinterpret_cast<std::uint8_t*>(row(into) + column), 2 * count));
        } else {
            for (std::size_t k = 0; k < count; ++k)
                row(into)[column + k] ^= Multiply(factor, row(from)[column + k]);
        }
    };
    for (std::size_t column = 0; column < size; ++column) {
        std::size_t pivot = column;
        while (pivot < size && row(pivot)[column] == 0)
            ++pivot;
        if (pivot == size)
            return std::nullopt;
        if (pivot != column)
            std::swap_ranges(row(pivot), row(pivot) + width, row(column));
        const Symbol scale = Inverse(row(column)[column]);
        for (std::size_t k = column; k < width; ++k)
            row(column)[k] = Multiply(row(column)[k], scale);
        for (std::size_t r = 0; r < size; ++r)
            if (r != column && row(r)[column] != 0)
                addScaled(row(r)[column], column, r, column);
    }
    for (std::size_t r = 0; r < size; ++r)
        std::copy_n(row(r) + size, size, matrix.begin() + static_cast<std::ptrdiff_t>(r * size));
    return matrix;
}

} // namespace tren::gf16
