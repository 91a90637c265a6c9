// The user's files survive the program dying at any moment and a disk that fills up: favorites.xml
// always holds the list before or after the interrupted write, and no half-written file is ever
// where the program reads. (An unreadable favorites.xml is kept aside: favorites_test.cpp.)

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "core/Clock.h"
#include "core/XmlDocument.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "support/Sandbox.h"
#include "support/TestServer.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using Ids = std::vector<std::string>;

const std::vector<std::string> kSeriesIds = {"80001", "80002", "80004", "80005", "80006"};

std::string SeriesFixture(const std::string& id) {
  return test::FixturePath("tvdb/series/" + id + ".xml");
}

// The lists the churn program announced, in order ("start" and "intent" lines alike).
std::vector<Ids> LoggedLists(const std::string& logPath) {
  std::vector<Ids> lists;
  std::istringstream log(test::ReadFile(logPath));
  std::string line;
  while (std::getline(log, line)) {
    std::istringstream words(line);
    std::string kind, id;
    words >> kind;
    Ids ids;
    while (words >> id) ids.push_back(id);
    lists.push_back(ids);
  }
  return lists;
}

std::string Join(const Ids& ids) {
  std::string text = "[";
  for (const std::string& id : ids) text += " " + id;
  return text + " ]";
}

class UserFilesCrashTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    folder_ = GetDataFolder();
    for (const std::string& id : kSeriesIds) {
      SeriesRecord record;
      record.ReadSeriesDocument(SeriesFixture(id));
      ASSERT_EQ(record.id, id);
      seriesText_[id] = record.SeriesFileText();
    }
  }

  // Starts the churn program and returns once its loop has begun; -1 when it could not start.
  pid_t StartChurn(unsigned seed, const std::string& logPath) const {
    std::vector<std::string> args = {FAVORITES_CHURN, std::to_string(seed), logPath};
    for (const std::string& id : kSeriesIds) args.push_back(SeriesFixture(id));
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(ready[1], 1);
      close(ready[0]);
      close(ready[1]);
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(ready[1]);
    char byte = 0;
    const bool started = pid > 0 && read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (pid > 0 && !started) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    return started ? pid : -1;
  }

  // The ids in favorites.xml, after checking the whole file: it parses, and every entry is dated
  // today and points at its series file.
  Ids StoredIds() const {
    const std::string path = GetFavoritesPath();
    if (!test::FileExists(path)) return {};
    EXPECT_FALSE(XmlDocument::LoadDocument(path).IsEmpty()) << test::ReadFile(path);
    FavoriteList list;
    ReadFavorites(list, path);
    Ids ids;
    for (const FavoriteShow& favorite : list) {
      EXPECT_EQ(favorite.DateAdded, FormatLocalDate(Now()));
      EXPECT_EQ(favorite.PathToDetails, folder_ + favorite.seriesid + ".xml");
      ids.push_back(favorite.seriesid);
    }
    return ids;
  }

  // Every file in the data folder is a complete file the program reads, or a temporary file it
  // never reads. Returns how many temporary files there are.
  int CheckFolder() const {
    static const std::regex temporary(R"((favorites|\d+)\.xml\.[A-Za-z0-9]{6})");
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename();
      const std::string path = entry.path();
      if (name == "favorites.xml") continue;
      if (std::regex_match(name, temporary)) {
        EXPECT_FALSE(IsSeriesFileInDataFolder(path)) << name;
        ++temporaries;
        continue;
      }
      const std::string id = name.substr(0, name.find('.'));
      const bool known = seriesText_.count(id) == 1 && name == id + ".xml";
      EXPECT_TRUE(known) << "unexpected file " << name;
      if (!known) continue;
      EXPECT_EQ(test::ReadFile(path), seriesText_.at(id)) << "series file " << name;
    }
    return temporaries;
  }

  std::string folder_;
  std::map<std::string, std::string> seriesText_;
};

TEST_F(UserFilesCrashTest, KilledAtRandomMomentsTheFilesHoldTheListBeforeOrAfter) {
  constexpr int kRounds = 240;
  const std::string logPath = root() + "/churn.log";
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delayUs(0, 25000);
  int sawBefore = 0, sawAfter = 0, temporaries = 0;
  for (int round = 0; round < kRounds; ++round) {
    const pid_t pid = StartChurn(static_cast<unsigned>(round), logPath);
    ASSERT_GT(pid, 0);
    usleep(static_cast<useconds_t>(delayUs(random)));
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the churn program ended on its own, status " << status;

    std::vector<Ids> lists = LoggedLists(logPath);
    lists.insert(lists.begin(), 2, Ids{});  // no file yet: the empty list
    const Ids& after = lists[lists.size() - 1];
    const Ids& before = lists[lists.size() - 2];
    const Ids stored = StoredIds();
    ASSERT_TRUE(stored == after || stored == before)
        << "round " << round << ": stored " << Join(stored) << ", before " << Join(before)
        << ", after " << Join(after);
    (stored == after ? sawAfter : sawBefore)++;
    temporaries = CheckFolder();
    if (HasFatalFailure()) return;
  }
  const std::size_t writes = LoggedLists(logPath).size();
  std::printf(
      "[figures] %d kill rounds survived, %zu log lines (starts and writes), file held the new "
      "list %d times and the previous one %d times; %d temporary files left (never read)\n",
      kRounds, writes, sawAfter, sawBefore, temporaries);
  EXPECT_GT(sawBefore + sawAfter, 0);
}

// A disk that fills up in the middle of a write: the save reports false, the previous file stays
// as it was and no temporary file is left behind.
struct FullDisk {
  const char* name;
  bool needsMountNamespace;
};

class FullDiskTest : public UserFilesCrashTest, public ::testing::WithParamInterface<FullDisk> {};

// The write and its checks run in a child (its own mount namespace, or its own file-size limit);
// the child answers with the failures it found, empty when none.
std::string RunInChild(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string failures = body();
    const bool sent =
        write(fds[1], failures.data(), failures.size()) == static_cast<ssize_t>(failures.size());
    _exit(sent ? 0 : 1);
  }
  close(fds[1]);
  std::string failures;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) failures.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    failures += " child status " + std::to_string(status);
  return failures;
}

// A tmpfs of 64 KB over the data folder, private to this process; false when not permitted.
bool MountSmallDisk(const std::string& folder) {
  return unshare(CLONE_NEWNS) == 0 &&
         mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
}

void FillDisk(const std::string& folder) {
  FILE* filler = std::fopen((folder + "filler").c_str(), "wb");
  if (!filler) return;
  const std::string block(1024, 'x');
  while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
         std::fflush(filler) == 0) {
  }
  std::fclose(filler);
}

TEST_P(FullDiskTest, TheSaveFailsAndThePreviousFileSurvives) {
  if (GetParam().needsMountNamespace && geteuid() != 0) GTEST_SKIP() << "needs root for a tmpfs";
  const std::string failures = RunInChild([&]() -> std::string {
    if (GetParam().needsMountNamespace && !MountSmallDisk(folder_)) return "SKIP";
    SeriesRecord series;
    series.ReadSeriesDocument(SeriesFixture("80001"));
    FavoriteList list;
    if (!series.WriteSeriesFile(folder_) || !AddFavorite(list, "80001"))
      return "the first writes failed";
    const std::string favorites = test::ReadFile(GetFavoritesPath());
    const std::string seriesFile = test::ReadFile(folder_ + "80001.xml");
    if (GetParam().needsMountNamespace) {
      FillDisk(folder_);
    } else {
      signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail with EFBIG instead
      const rlimit limit{favorites.size(), favorites.size()};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::string found;
    SeriesRecord bigger;
    bigger.ReadSeriesDocument(SeriesFixture("80002"));
    if (bigger.WriteSeriesFile(folder_)) found += " series save reported success;";
    if (AddFavorite(list, "80002")) found += " favourites save reported success;";
    if (test::ReadFile(GetFavoritesPath()) != favorites) found += " favorites.xml changed;";
    if (test::ReadFile(folder_ + "80001.xml") != seriesFile) found += " 80001.xml changed;";
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename();
      if (name != "favorites.xml" && name != "80001.xml" && name != "filler")
        found += " left behind: " + name + ";";
    }
    return found;
  });
  if (failures == "SKIP") GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(failures, "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, FullDiskTest,
                         ::testing::Values(FullDisk{"SmallTmpfs", true},
                                           FullDisk{"FileSizeLimit", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel
