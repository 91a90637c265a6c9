// A damaged favorites.xml on disk.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "schedule/Favorites.h"

namespace {

// The file the input is written to: in memory where possible, removed at exit.
struct ScratchFile {
  ScratchFile() {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = std::string(folder) + "/quorvel-fuzz-favorites-" + std::to_string(getpid()) + ".xml";
  }
  ~ScratchFile() { unlink(path.c_str()); }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  static const ScratchFile scratch;
  if (FILE* file = std::fopen(scratch.path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  FavoriteList list;
  ReadFavorites(list, scratch.path);
  return 0;
}
