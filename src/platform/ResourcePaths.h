#pragma once

#include <string>

namespace quorvel {

// The folder of the running program (/proc/self/exe), or empty.
std::string ExecutableDir();

// The full path of a file shipped with the program (e.g. "page/main.html"), looked up in
// $QUORVEL_DATA_DIR, then beside the installed program (../share/quorvel/), then in the source
// tree the program was built from. Empty when none has it.
std::string FindDataFile(const std::string& relativePath);

// The full path of one of the program's helper programs (quorvel-browser, quorvel-fetch): beside
// the program in the build tree, else where the package installs them (../lib/quorvel/). Empty
// when neither has it.
std::string FindHelperProgram(const std::string& name);

}  // namespace quorvel
