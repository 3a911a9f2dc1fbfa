// Feeds arbitrary header bytes and piece lengths to the code that decides
// whether a set can be built. Input: 10 header bytes (zero-padded when short),
// then one byte whose low bit picks 4- or 8-byte piece lengths, then the lengths,
// little-endian and signed; a negative length stands for a missing piece.
#include "engine/HeaderCodec.h"
#include "engine/PieceSet.h"
#include "platform/RunTimeError.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace tren;
using namespace tren::pieces;

void Check(bool holds) {
    if (!holds)
        __builtin_trap();
}

// Decimal forms of bytes [7] .. [0] side by side, worked out as text so that it
// does not share ByteToLong's arithmetic.
std::optional<std::int64_t> DigitsByText(std::span<const std::uint8_t, 8> digits) {
    std::string text;
    for (std::size_t k = digits.size(); k > 0; --k)
        text += std::to_string(digits[k - 1]);
    text.erase(0, std::min(text.find_first_not_of('0'), text.size()));
    const std::string max = std::to_string(std::numeric_limits<std::int32_t>::max());
    if (text.size() > max.size() || (text.size() == max.size() && text > max))
        return std::nullopt;
    return text.empty() ? 0 : std::stoll(text);
}

void CheckByteToLong(std::span<const std::uint8_t, 8> digits) {
    const std::optional<std::int64_t> expected = DigitsByText(digits);
    try {
        const std::int32_t value = ByteToLong(digits);
        Check(expected && *expected == value);
    } catch (const RunTimeError& failure) {
        Check(!expected && failure.Code() == ErrorCode::Overflow);
    }
}

std::vector<std::int64_t> Lengths(const std::uint8_t* data, std::size_t size) {
    std::vector<std::int64_t> lengths;
    if (size == 0)
        return lengths;
    const std::size_t width = (data[0] & 1) ? 8 : 4;
    for (std::size_t at = 1; at + width <= size; at += width) {
        std::uint64_t raw = 0;
        for (std::size_t k = 0; k < width; ++k)
            raw |= std::uint64_t{data[at + k]} << (8 * k);
        const std::int64_t length = width == 8 ? static_cast<std::int64_t>(raw)
                                               : std::int64_t{static_cast<std::int32_t>(raw)};
        lengths.push_back(length < 0 ? -1 : length);
    }
    return lengths;
}

void CheckSet(const Header& header, std::span<const std::int64_t> lengths) {
    const std::int64_t rebuilt = RebuiltLength(header);
    Check(rebuilt > 0 && rebuilt < (std::int64_t{1} << 40));

    std::int64_t sum = 0;
    for (int index = 1; index <= header.PieceCount; ++index) {
        const std::int64_t share = ShareOf(header, index);
        Check(share == (index < header.PieceCount ? PieceSizeOf(header) : header.LastPieceSize));
        sum += share;
    }
    Check(sum == rebuilt);

    const auto held = [&](int index) {
        return static_cast<std::size_t>(index) <= lengths.size() ? lengths[index - 1] : -1;
    };
    const std::optional<PieceFault> fault = FirstFault(header, lengths);
    const int fine = fault ? fault->Piece - 1 : header.PieceCount;
    if (fault) {
        Check(fault->Piece >= 1 && fault->Piece <= header.PieceCount);
        Check(fault->Needed == ShareOf(header, fault->Piece));
        Check(fault->Held == held(fault->Piece));
        Check(fault->Held < fault->Needed);
    }
    for (int index = 1; index <= fine; ++index)
        Check(held(index) >= ShareOf(header, index));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, HeaderLength> bytes{};
    const std::size_t headerSize = std::min(size, HeaderLength);
    std::copy_n(data, headerSize, bytes.begin());
    const std::span<const std::uint8_t, 8> digits(bytes.data() + 1, 8);

    CheckByteToLong(digits);

    const bool digitsValid =
        std::all_of(digits.begin(), digits.end(), [](auto d) { return d <= 9; });
    const bool expectValid = bytes[0] != 0 && bytes[9] >= 1 &&
                             std::size_t{bytes[9]} <= SizeTable.size() && digitsValid &&
                             DigitsByText(digits).value_or(0) != 0;

    const std::optional<Header> header = DecodeHeader(bytes);
    Check(header.has_value() == expectValid);
    if (!header)
        return 0;
    Check(header->PieceCount >= 1 && header->PieceCount == bytes[0]);
    Check(header->SizeCode >= 1 && header->SizeCode <= 5 && header->SizeCode == bytes[9]);
    Check(header->LastPieceSize >= 1 && header->LastPieceSize == DigitsByText(digits));
    Check(SizeCodeOf(PieceSizeOf(*header)) == header->SizeCode);
    Check(EncodeHeader(*header) == bytes);

    const std::vector<std::int64_t> lengths = Lengths(data + headerSize, size - headerSize);
    CheckSet(*header, lengths);
    return 0;
}
