#pragma once

#include <string_view>

// The window icon's files, compiled in from art/.
namespace tren::platform::artwork {

std::string_view Icon16();
std::string_view Icon32();
std::string_view Icon48();
std::string_view Icon64();
std::string_view Icon128();
std::string_view IconSvg();

} // namespace tren::platform::artwork
