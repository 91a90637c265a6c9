// A damaged favorites.xml on disk.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "schedule/Favorites.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  static const std::string path =
      "/tmp/quorvel-fuzz-favorites-" + std::to_string(getpid()) + ".xml";
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  FavoriteList list;
  ReadFavorites(list, path);
  return 0;
}
