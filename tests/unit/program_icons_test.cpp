#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/ResourcePaths.h"

namespace quorvel {
namespace {

// Width and height from a PNG's header; {0, 0} when the file is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char head[24] = {};
  file.read(reinterpret_cast<char*>(head), sizeof head);
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!file || !std::equal(kSignature, kSignature + 8, head)) return {0, 0};
  auto be32 = [&](int at) {
    return uint32_t{head[at]} << 24 | uint32_t{head[at + 1]} << 16 | uint32_t{head[at + 2]} << 8 |
           uint32_t{head[at + 3]};
  };
  return {be32(16), be32(20)};
}

// The tray and the window ask for the icons by name in a hicolor tree: 205 is "quorvel", 206
// "quorvel-today". Each must be there as SVG and as PNG in the sizes panels use.
TEST(ProgramIcons, EachIconHasItsSvgAndPngsOfEachSize) {
  for (const std::string name : {"quorvel", "quorvel-today"}) {
    EXPECT_FALSE(FindDataFile("resources/icons/hicolor/scalable/apps/" + name + ".svg").empty())
        << name;
    for (const uint32_t size : {16u, 32u, 48u}) {
      const std::string edge = std::to_string(size);
      const std::string path =
          FindDataFile("resources/icons/hicolor/" + edge + "x" + edge + "/apps/" + name + ".png");
      ASSERT_FALSE(path.empty()) << name << " " << size;
      EXPECT_EQ(PngSize(path), std::make_pair(size, size)) << path;
    }
  }
}

}  // namespace
}  // namespace quorvel
