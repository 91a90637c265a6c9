// Which versions on the update server count as newer than ours (2.0.0.1).

#include <gtest/gtest.h>

#include "app/UpdateCheck.h"

namespace quorvel {
namespace {

TEST(UpdateCheckTest, VersionTable) {
  const struct {
    UpdateVersion offered;
    bool newer;
  } cases[] = {
      {{"2", "0", "0", "1"}, false},          {{"2", "0", "0", "2"}, true},
      {{"2", "0", "1", "0"}, true},           {{"2", "1", "0", "0"}, true},
      {{"3", "0", "0", "0"}, true},           {{"1", "9", "9", "9"}, false},
      {{"2", "0", "0", ""}, false},           {{"3abc", "", "", ""}, true},
      {{"abc", "9", "9", "9"}, false},        {{" 2", "+0", "0", "2"}, true},
      {{"2", "-1", "9", "9"}, false},         {{"", "", "", ""}, false},
      {{"99999999999", "0", "0", "0"}, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNewerVersion(c.offered), c.newer)
        << c.offered.major << "." << c.offered.minor << "." << c.offered.build << "."
        << c.offered.revision;
  }
}

}  // namespace
}  // namespace quorvel
