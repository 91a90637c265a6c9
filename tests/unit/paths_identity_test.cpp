// Data folder, the registry store, the user id, GUIDs and opening addresses.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <set>

#include "app/Environment.h"
#include "app/Paths.h"
#include "core/Guid.h"
#include "core/UriLauncher.h"
#include "platform/RegistryStore.h"
#include "schedule/DataFiles.h"
#include "shows/SeriesRecord.h"
#include "support/Sandbox.h"

namespace quorvel {
namespace {

class PathsTest : public test::SandboxedTest {};

TEST_F(PathsTest, DataFolderIsCreatedWithItsParentsAndEndsWithASlash) {
  setenv("XDG_DATA_HOME", (root() + "/deep/er/share").c_str(), 1);
  const std::string folder = DataFolderFromEnvironment();
  EXPECT_EQ(folder, root() + "/deep/er/share/Quorvel/");
  struct stat info;
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(DataFolderFromEnvironment(), folder);
  // Read once at start, it is the folder every reader and writer uses.
  EXPECT_EQ(ReadPlaces().dataFolder, folder);
  SetPlaces([&](Places& places) { places.dataFolder = folder; });
  EXPECT_EQ(GetDataFolder(), folder);
  EXPECT_EQ(GetFavoritesPath(), folder + "favorites.xml");
}

TEST_F(PathsTest, DataFolderFallsBackToHomeAndIsEmptyWithoutOne) {
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DataFolderFromEnvironment(), root() + "/.local/share/Quorvel/");
  setenv("XDG_DATA_HOME", "relative/path", 1);  // not absolute: ignored
  EXPECT_EQ(DataFolderFromEnvironment(), root() + "/.local/share/Quorvel/");
}

TEST_F(PathsTest, SeriesRecordAddressUsesTheHostAndAccessKey) {
  SetPlaces([](Places& places) { places.tvdbHost = "127.0.0.1:8081"; });
  EXPECT_EQ(GetSeriesRecordUrl("73"),
            "http://127.0.0.1:8081/api/9F41B2D07E6A3C15/series/73/all/en.xml");
}

TEST_F(PathsTest, RegistryStoreRoundTripsEachType) {
  ASSERT_TRUE(RegistryStore::Write("SOFTWARE\\A", "sz", {RegistryType::Sz, "line\nbreak ü", 0}));
  ASSERT_TRUE(RegistryStore::Write("SOFTWARE\\A", "ex", {RegistryType::ExpandSz, "%HOME%/x", 0}));
  ASSERT_TRUE(RegistryStore::Write("SOFTWARE\\B", "dw", {RegistryType::Dword, "", 10000}));
  const auto sz = RegistryStore::Read("SOFTWARE\\A", "sz");
  ASSERT_TRUE(sz);
  EXPECT_EQ(sz->type, RegistryType::Sz);
  EXPECT_EQ(sz->text, "line\nbreak ü");
  EXPECT_EQ(RegistryStore::Read("SOFTWARE\\B", "dw")->dword, 10000u);
  EXPECT_EQ(RegistryStore::Read("SOFTWARE\\A", "ex")->type, RegistryType::ExpandSz);
  EXPECT_FALSE(RegistryStore::Read("SOFTWARE\\A", "missing"));
  EXPECT_FALSE(RegistryStore::Read("SOFTWARE\\C", "sz"));

  EXPECT_EQ(ReadRegistryString(RegistryRoot::CurrentUser, "SOFTWARE\\A", "ex"), root() + "/x");
  EXPECT_EQ(ReadRegistryString(RegistryRoot::CurrentUser, "SOFTWARE\\B", "dw"), "");
}

TEST_F(PathsTest, BrowserEmulationValueIsWrittenEveryTime) {
  RegistryStore::Write(kBrowserEmulationKey, "quorvel.exe", {RegistryType::Dword, "", 7});
  ASSERT_TRUE(SetBrowserEmulation());
  const auto value = RegistryStore::Read(kBrowserEmulationKey, "quorvel.exe");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, RegistryType::Dword);
  EXPECT_EQ(value->dword, 10000u);
}

TEST_F(PathsTest, UserIdIsMadeOnceAndReplacesAValueOfTheWrongType) {
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  const std::string id = GetUserId();
  EXPECT_TRUE(std::regex_match(id, form)) << id;
  EXPECT_EQ(GetUserId(), id);

  RegistryStore::Write(kUserIdKey, "userid", {RegistryType::Dword, "", 5});
  const std::string replaced = GetUserId();
  EXPECT_TRUE(std::regex_match(replaced, form));
  EXPECT_NE(replaced, id);
  EXPECT_EQ(RegistryStore::Read(kUserIdKey, "userid")->type, RegistryType::Sz);

  WriteRegistryString(kUserIdKey, "userid", "anything-the-user-put");
  EXPECT_EQ(GetUserId(), "anything-the-user-put");
}

TEST(GuidTest, FreshGuidsAreWellFormedAndDistinct) {
  const std::regex form(
      R"(\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\})");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string guid = NewGuidString();
    ASSERT_EQ(guid.size(), 38u);
    EXPECT_TRUE(std::regex_match(guid, form)) << guid;
    seen.insert(guid);
  }
  EXPECT_EQ(seen.size(), 200u);
}

class RecordingLauncher : public UriLauncher {
 public:
  void Launch(const std::string& uri) override { launched.push_back(uri); }
  std::vector<std::string> launched;
};

TEST(OpenInBrowserTest, OnlyWebAndMailAddressesReachTheDesktop) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {}},
      {"www.imdb.com/title/tt0944947", {"http://www.imdb.com/title/tt0944947"}},
      {"HTTPS://Example.org/a", {"HTTPS://Example.org/a"}},
      {"http://example.org/", {"http://example.org/"}},
      {"host:8080/x", {"http://host:8080/x"}},
      {"mailto:someone@example.org", {"mailto:someone@example.org"}},
      {"file:///etc/passwd", {}},
      {"FTP://example.org/file", {}},
      {"news:comp.lang", {}},
      {"javascript:alert(1)", {"http://javascript:alert(1)"}},
      {"a/b:c", {"http://a/b:c"}},
      {"?x:y", {"http://?x:y"}},
  };
  for (const auto& [input, expected] : cases) {
    RecordingLauncher launcher;
    ScopedUriLauncher scoped(launcher);
    OpenInBrowser(input);
    EXPECT_EQ(launcher.launched, expected) << input;
  }
}

}  // namespace
}  // namespace quorvel
