#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tren::platform {
class Hasher;
class InputFile;
} // namespace tren::platform

// The checksum file of a set, NAME.tr.sha256 beside its pieces, in the format of
// sha256sum: one line per data piece, hashing exactly the bytes the set uses, and
// one for the source under its own name. Any system can check it.
namespace tren::sums {

using Digest = std::array<std::uint8_t, 32>;

// "report.doc" gives "report.doc.tr.sha256".
std::string SumsName(std::string_view sourceTitle);
// The same from the header piece's name: "report.doc.tr0" gives "report.doc.tr.sha256".
std::string SumsNameFromHeader(std::string_view headerTitle);

std::string Hex(const Digest& digest);

// One line as sha256sum writes it; a name holding a backslash or a line break is
// escaped as sha256sum escapes it.
std::string Line(const Digest& digest, std::string_view name);

// The digests of a checksum file by name (lower-case hex). Lines that are not
// checksum lines are passed over, as sha256sum passes them over.
std::map<std::string, std::string> Parse(std::string_view text);

// The piece number a listed name ends in, ".tr12" or ".TR12" giving 12; 0 for a
// name that ends in none (the whole file's). A set renamed, or named in another
// case on a disk that ignores it, keeps its numbers.
int PieceNumberOf(std::string_view name);

// A checksum file's lines by what they describe.
struct Listing {
    // Data pieces by number.
    std::map<int, std::string> Pieces;
    // The whole file's line: the one name without a piece number (that one, of
    // several, which is rebuiltName).
    std::optional<std::string> Whole;
};
Listing ListingOf(const std::map<std::string, std::string>& digests, std::string_view rebuiltName);

// Feeds count bytes of the file, from offset, to every hasher, through a buffer of
// bounded size. The file must hold them all.
void HashRange(platform::InputFile& file, std::int64_t offset, std::int64_t count,
               const std::vector<platform::Hasher*>& hashers, std::vector<std::uint8_t>& buffer);

} // namespace tren::sums
