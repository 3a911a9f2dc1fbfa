#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The piece set on disk: header piece NAME.tr0 and data pieces NAME.tr1 ..
// NAME.trN side by side in one folder. Any program that follows this must be
// able to read a set, so none of it may change.
namespace tren::pieces {

inline constexpr std::size_t HeaderLength = 10;
// The piece count is one byte.
inline constexpr int MaxPieceCount = 255;

struct SizeEntry {
    // The size list's entry, as the window shows it.
    std::string_view Text;
    std::int32_t Bytes;
    // The size as a command line names it.
    std::string_view Name;
};

// The size list in the order it is filled: an entry's position plus 1 is the size
// code a header records, so this order is part of the format.
inline constexpr std::array<SizeEntry, 5> SizeTable{{
    {"5M Bytes", 5000000, "5M"},
    {"3M Bytes", 3000000, "3M"},
    {"1.44M Bytes", 1440000, "1.44M"},
    {"1M Bytes", 1000000, "1M"},
    {"500K Bytes", 500000, "500K"},
}};

// The size code of a piece size, 0 when the size is not in the table.
int SizeCodeOf(std::int32_t pieceSize);
// The piece size of a size code, nothing when the code names no entry.
std::optional<std::int32_t> PieceSizeOf(int sizeCode);

// "report.doc" and 12 give "report.doc.tr12"; index 0 is the header piece.
std::string PieceName(std::string_view sourceTitle, int index);
// A reader finds data piece i by dropping the header name's final "0" and
// appending i: "x.zip.tr0" and 10 give "x.zip.tr10".
std::string PieceNameFromHeader(std::string_view headerTitle, int index);
// The header name less its last four characters; throws the invalid-argument
// failure when that leaves no name.
std::string RebuiltName(std::string_view headerTitle);

struct Header {
    std::uint8_t PieceCount = 0;
    std::int32_t LastPieceSize = 0;
    std::uint8_t SizeCode = 0;
};

std::array<std::uint8_t, HeaderLength> EncodeHeader(const Header& header);

// The header's fields, or nothing when the header is damaged: a size code that
// names no entry of the size table, a digit byte above 9, a piece count or a last
// piece size of 0.
std::optional<Header> DecodeHeader(std::span<const std::uint8_t, HeaderLength> bytes);

// P, the piece size a valid header names.
std::int32_t PieceSizeOf(const Header& header);
// The bytes data piece index (1 to N) contributes: P before the last, L for the last.
std::int64_t ShareOf(const Header& header, int index);
// (N - 1) x P + L, in 64 bits.
std::int64_t RebuiltLength(const Header& header);

} // namespace tren::pieces
