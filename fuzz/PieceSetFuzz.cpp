// Feeds arbitrary header bytes to the code that decides whether a header is a
// set's, and checks the arithmetic of the set it describes. Input: 10 header
// bytes (zero-padded when short); what follows is passed over.
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

void CheckSet(const Header& header) {
    const std::int64_t rebuilt = RebuiltLength(header);
    Check(rebuilt > 0 && rebuilt < (std::int64_t{1} << 40));

    std::int64_t sum = 0;
    for (int index = 1; index <= header.PieceCount; ++index) {
        const std::int64_t share = ShareOf(header, index);
        Check(share == (index < header.PieceCount ? PieceSizeOf(header) : header.LastPieceSize));
        sum += share;
    }
    Check(sum == rebuilt);
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

    CheckSet(*header);
    return 0;
}
