#include "engine/HeaderCodec.h"

#include "platform/RunTimeError.h"

#include <cstdlib>
#include <limits>

namespace tren {

void LongToByte(std::int32_t lngIn, std::span<std::uint8_t, 8> byteOut) {
    std::int64_t rest = std::llabs(static_cast<std::int64_t>(lngIn));
    for (auto& digit : byteOut) {
        digit = static_cast<std::uint8_t>(rest % 10);
        rest /= 10;
    }
}

std::int32_t ByteToLong(std::span<const std::uint8_t, 8> byteIn) {
    std::int64_t value = 0;
    for (std::size_t k = byteIn.size(); k > 0; --k) {
        const unsigned byte = byteIn[k - 1];
        const std::int64_t shift = byte >= 100 ? 1000 : byte >= 10 ? 100 : 10;
        value = value * shift + byte;
        if (value > std::numeric_limits<std::int32_t>::max())
            throw RunTimeError(ErrorCode::Overflow, "Cannot decode the last piece size", {});
    }
    return static_cast<std::int32_t>(value);
}

} // namespace tren
