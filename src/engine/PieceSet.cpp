#include "engine/PieceSet.h"

#include "engine/HeaderCodec.h"
#include "platform/RunTimeError.h"

#include <algorithm>

namespace tren::pieces {

int SizeCodeOf(std::int32_t pieceSize) {
    for (std::size_t i = 0; i < SizeTable.size(); ++i)
        if (SizeTable[i].Bytes == pieceSize)
            return static_cast<int>(i) + 1;
    return 0;
}

std::optional<std::int32_t> PieceSizeOf(int sizeCode) {
    if (sizeCode < 1 || sizeCode > static_cast<int>(SizeTable.size()))
        return std::nullopt;
    return SizeTable[static_cast<std::size_t>(sizeCode) - 1].Bytes;
}

std::string PieceName(std::string_view sourceTitle, int index) {
    return std::string(sourceTitle) + ".tr" + std::to_string(index);
}

std::string PieceNameFromHeader(std::string_view headerTitle, int index) {
    headerTitle.remove_suffix(std::min<std::size_t>(1, headerTitle.size()));
    return std::string(headerTitle) + std::to_string(index);
}

std::string RebuiltName(std::string_view headerTitle) {
    if (headerTitle.size() <= 4)
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot name the rebuilt file of",
                           std::string(headerTitle), "the header piece's name is too short");
    headerTitle.remove_suffix(4);
    return std::string(headerTitle);
}

std::array<std::uint8_t, HeaderLength> EncodeHeader(const Header& header) {
    std::array<std::uint8_t, HeaderLength> bytes{};
    bytes[0] = header.PieceCount;
    LongToByte(header.LastPieceSize, std::span<std::uint8_t, 8>(bytes.data() + 1, 8));
    bytes[9] = header.SizeCode;
    return bytes;
}

std::optional<Header> DecodeHeader(std::span<const std::uint8_t, HeaderLength> bytes) {
    const auto digits = bytes.subspan<1, 8>();
    if (!PieceSizeOf(bytes[9]) || bytes[0] == 0 ||
        std::any_of(digits.begin(), digits.end(), [](std::uint8_t d) { return d > 9; }))
        return std::nullopt;
    Header header{bytes[0], ByteToLong(digits), bytes[9]};
    if (header.LastPieceSize == 0)
        return std::nullopt;
    return header;
}

std::int32_t PieceSizeOf(const Header& header) {
    return *PieceSizeOf(header.SizeCode);
}

std::int64_t ShareOf(const Header& header, int index) {
    return index < header.PieceCount ? PieceSizeOf(header) : header.LastPieceSize;
}

std::int64_t RebuiltLength(const Header& header) {
    return std::int64_t{header.PieceCount - 1} * PieceSizeOf(header) + header.LastPieceSize;
}

} // namespace tren::pieces
