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
class RunTime;
} // namespace tren::platform

namespace tren::pieces {
struct Header;
}

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

// Feeds count bytes of the file, from offset, to every hasher, through a buffer of
// bounded size. The file must hold them all.
void HashRange(platform::InputFile& file, std::int64_t offset, std::int64_t count,
               const std::vector<platform::Hasher*>& hashers, std::vector<std::uint8_t>& buffer);

// What the checksum file beside a set says of its pieces.
struct Check {
    // False when no checksum file stands beside the header, or it lists nothing.
    bool Listed = false;
    // The pieces (1 to N) whose share does not match their line, in order.
    std::vector<int> Damaged;
    // The pieces give a whole that does not match the source's line.
    bool WholeDiffers = false;
    // The checksum file's path.
    std::string Path;
};

// Checks the open pieces 1 to N of the set whose header piece is headerPath
// against NAME.tr.sha256 beside it: one read of every share, which also gives the
// whole file's digest.
Check CheckSet(platform::RunTime& runTime, const std::string& headerPath,
               const pieces::Header& header, const std::vector<platform::InputFile*>& pieceFiles);

} // namespace tren::sums
