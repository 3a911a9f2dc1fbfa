#pragma once

#include <string_view>

// The icons' files, compiled in from art/: the program's and the .tr0 document's,
// each at the theme's sizes and as its scalable drawing.
namespace tren::platform::artwork {

std::string_view ProgramIcon16();
std::string_view ProgramIcon32();
std::string_view ProgramIcon48();
std::string_view ProgramIcon64();
std::string_view ProgramIcon128();
std::string_view ProgramIcon256();
std::string_view ProgramIconSvg();
std::string_view DocumentIcon16();
std::string_view DocumentIcon32();
std::string_view DocumentIcon48();
std::string_view DocumentIcon64();
std::string_view DocumentIcon128();
std::string_view DocumentIcon256();
std::string_view DocumentIconSvg();

} // namespace tren::platform::artwork
