#pragma once

#include <string>

namespace quorvel {

// The program's icons by resource number, as named in the hicolor theme: 205 is the dark grey
// clapperboard ("quorvel"), 206 the red one ("quorvel-today").
inline constexpr int kIconGrey = 205;
inline constexpr int kIconRed = 206;
const char* ProgramIconName(int resource);

// The folder holding the icons shipped with the program (a "hicolor" tree, found in the build
// tree or beside the installed program), or "" when only the installed theme has them.
std::string ProgramIconFolder();

// Makes the names findable by GTK: adds ProgramIconFolder() to the default icon theme's search
// path once. Call after GTK is initialised.
void RegisterProgramIcons();

}  // namespace quorvel
