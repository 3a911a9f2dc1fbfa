#include "engine/Sums.h"

#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace tren::sums {

std::string SumsName(std::string_view sourceTitle) {
    return std::string(sourceTitle) + ".tr.sha256";
}

std::string SumsNameFromHeader(std::string_view headerTitle) {
    headerTitle.remove_suffix(std::min<std::size_t>(1, headerTitle.size()));
    return std::string(headerTitle) + ".sha256";
}

std::string Hex(const Digest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string Line(const Digest& digest, std::string_view name) {
    std::string escaped;
    bool escapes = false;
    for (char c : name) {
        if (c == '\\') {
            escaped += "\\\\";
            escapes = true;
        } else if (c == '\n') {
            escaped += "\\n";
            escapes = true;
        } else {
            escaped += c;
        }
    }
    return (escapes ? "\\" : "") + Hex(digest) + "  " + escaped + "\n";
}

namespace {

std::optional<std::string> Unescape(std::string_view name) {
    std::string plain;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            plain += name[i];
            continue;
        }
        if (++i == name.size())
            return std::nullopt;
        if (name[i] == '\\')
            plain += '\\';
        else if (name[i] == 'n')
            plain += '\n';
        else
            return std::nullopt;
    }
    return plain;
}

} // namespace

std::map<std::string, std::string> Parse(std::string_view text) {
    std::map<std::string, std::string> digests;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const bool escaped = !line.empty() && line.front() == '\\';
        if (escaped)
            line.remove_prefix(1);
        // 64 hex digits, a space, then ' ' (text) or '*' (binary), then the name.
        if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
            continue;
        std::string hex(line.substr(0, 64));
        if (!std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); }))
            continue;
        std::transform(hex.begin(), hex.end(), hex.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const auto name = escaped ? Unescape(line.substr(66)) : std::string(line.substr(66));
        if (name)
            digests[*name] = hex;
    }
    return digests;
}

int PieceNumberOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot < 4 || name.size() - dot > 6)
        return 0;
    const std::string_view tr = name.substr(dot + 1, 2), digits = name.substr(dot + 3);
    if ((tr != "tr" && tr != "TR" && tr != "Tr" && tr != "tR") || digits[0] == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    const int number = std::stoi(std::string(digits));
    return number <= 255 ? number : 0;
}

Listing ListingOf(const std::map<std::string, std::string>& digests, std::string_view rebuiltName) {
    Listing listing;
    for (const auto& [name, digest] : digests) {
        if (const int number = PieceNumberOf(name); number > 0)
            listing.Pieces[number] = digest;
        else if (!listing.Whole || name == rebuiltName)
            listing.Whole = digest;
    }
    return listing;
}

void HashRange(platform::InputFile& file, std::int64_t offset, std::int64_t count,
               const std::vector<platform::Hasher*>& hashers, std::vector<std::uint8_t>& buffer) {
    constexpr std::size_t Chunk = 1 << 20;
    buffer.resize(Chunk);
    for (std::int64_t done = 0; done < count;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(Chunk, count - done));
        const std::size_t got = file.ReadAt(offset + done, std::span(buffer.data(), want));
        if (got < want)
            throw RunTimeError(ErrorCode::InputPastEnd, "Cannot read", file.Path(),
                               "the file holds " +
                                   std::to_string(offset + done + static_cast<std::int64_t>(got)) +
                                   " bytes, " + std::to_string(offset + count) + " are needed");
        for (auto* hasher : hashers)
            hasher->Add(std::span<const std::uint8_t>(buffer.data(), got));
        done += static_cast<std::int64_t>(got);
    }
}

} // namespace tren::sums
