#pragma once

#include <cstdint>
#include <string>

namespace tren::platform {
class Desktop;
}

namespace tren::MWebLink {

// What an address is. Any other value puts nothing in front of it.
enum class LinkKind : std::uint8_t {
    Web = 0,  // "http://"
    Mail = 1, // "mailto:"
};

// Hands the address, with its kind's prefix, to the desktop's default handler.
// Returns above 32 on success, an error code otherwise; it shows nothing.
std::int32_t OpenLink(platform::Desktop& shell, std::string address, LinkKind kind);

} // namespace tren::MWebLink
