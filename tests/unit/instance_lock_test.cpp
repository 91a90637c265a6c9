// The per-user single-instance lock, in one process and across real processes and users.

#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <optional>
#include <string>
#include <vector>

#include "platform/InstanceLock.h"

namespace quorvel {
namespace {

std::string UniqueName() {
  return "quorvel-lock-test-" + std::to_string(getpid()) + "-" + std::to_string(g_random_int());
}

struct Child {
  pid_t pid = -1;
  int out = -1;  // its stdout
  int in = -1;   // its stdin
};

constexpr uid_t kNobody = 65534;

// asUid: the child runs as that user (needs root), or as this one when 0.
Child StartHolder(const std::string& name, uid_t asUid = 0) {
  int toChild[2], fromChild[2];
  EXPECT_EQ(pipe(toChild), 0);
  EXPECT_EQ(pipe(fromChild), 0);
  Child child;
  child.pid = fork();
  if (child.pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[1]);
    close(fromChild[0]);
    if (asUid != 0 && (setgid(asUid) != 0 || setuid(asUid) != 0)) _exit(126);
    execl(INSTANCE_HOLDER, INSTANCE_HOLDER, name.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  child.in = toChild[1];
  child.out = fromChild[0];
  return child;
}

std::string ReadLine(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Without a runtime folder, or with one that is not private to the user, the lock falls back to
// an abstract socket name that carries the uid.
class RuntimeFolder {
 public:
  explicit RuntimeFolder(mode_t mode) {
    char pattern[] = "/tmp/quorvel-runtime-XXXXXX";
    path_ = mkdtemp(pattern);
    chmod(path_.c_str(), mode);
    if (const char* old = getenv("XDG_RUNTIME_DIR")) saved_ = old;
    setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
  }
  RuntimeFolder() {  // none at all
    if (const char* old = getenv("XDG_RUNTIME_DIR")) saved_ = old;
    unsetenv("XDG_RUNTIME_DIR");
  }
  ~RuntimeFolder() {
    if (saved_) {
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::optional<std::string> saved_;
};

bool AbstractNameListed(const std::string& text) {
  const std::string listing = [] {
    std::string all;
    FILE* file = fopen("/proc/net/unix", "r");
    char line[512];
    while (file && fgets(line, sizeof line, file)) all += line;
    if (file) fclose(file);
    return all;
  }();
  return listing.find("@" + text) != std::string::npos;
}

TEST(InstanceLockTest, APrivateRuntimeFolderHoldsTheLockAndItsSocket) {
  const RuntimeFolder folder(0700);
  const std::string name = UniqueName();
  {
    InstanceLock lock(name);
    ASSERT_EQ(lock.state(), InstanceLock::State::Acquired);
    struct stat info;
    ASSERT_EQ(stat((folder.path() + "/" + name + ".socket").c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_FALSE(AbstractNameListed(name)) << "nothing another user could squat on";
    int signalled = 0;
    lock.WatchStartedAgain([&] { ++signalled; });
    EXPECT_TRUE(InstanceLock::SignalRunning(name));
    for (int i = 0; i < 100 && signalled < 1; ++i) g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(signalled, 1);
    Child second = StartHolder(name);
    EXPECT_EQ(ReadLine(second.out), "held");
    EXPECT_EQ(Wait(second.pid), 0);
    close(second.in);
    close(second.out);
  }
  // A holder killed outright leaves its socket file; the next start replaces it.
  Child killed = StartHolder(name);
  ASSERT_EQ(ReadLine(killed.out), "acquired");
  kill(killed.pid, SIGKILL);
  Wait(killed.pid);
  InstanceLock next(name);
  EXPECT_EQ(next.state(), InstanceLock::State::Acquired);
  EXPECT_TRUE(InstanceLock::SignalRunning(name));
  close(killed.in);
  close(killed.out);
}

TEST(InstanceLockTest, AnotherUsersInstanceDoesNotLockThisUserOut) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to start a process as another user";
  for (const bool withFolder : {false, true}) {
    SCOPED_TRACE(withFolder ? "runtime folders" : "no runtime folder");
    // Each user has a runtime folder of their own; the other one's is not even readable.
    const RuntimeFolder other = withFolder ? RuntimeFolder(0700) : RuntimeFolder();
    if (withFolder) chown(other.path().c_str(), kNobody, kNobody);
    const std::string name = UniqueName();
    Child theirs = StartHolder(name, kNobody);
    ASSERT_EQ(ReadLine(theirs.out), "acquired");
    const RuntimeFolder mine = withFolder ? RuntimeFolder(0700) : RuntimeFolder();
    InstanceLock lock(name);
    EXPECT_EQ(lock.state(), InstanceLock::State::Acquired);
    close(theirs.in);
    Wait(theirs.pid);
    close(theirs.out);
  }
}

// Anyone may bind an abstract name, this user's included: such a squatter is never taken for a
// running instance, and the start that meets it ends with an error instead of silently.
TEST(InstanceLockTest, ASquatterOnTheAbstractNameIsAnotherUsersHolder) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to bind as another user";
  const RuntimeFolder none;
  const std::string name = UniqueName();
  const std::string squatted = name + "." + std::to_string(getuid());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t squatter = fork();
  if (squatter == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, squatted.data(), squatted.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + squatted.size());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0)
      _exit(1);
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  InstanceLock lock(name);
  EXPECT_EQ(lock.state(), InstanceLock::State::HeldByOtherUser);
  EXPECT_FALSE(InstanceLock::SignalRunning(name));
  Child holder = StartHolder(name);
  EXPECT_EQ(ReadLine(holder.out), "other");
  EXPECT_EQ(Wait(holder.pid), 1);
  kill(squatter, SIGKILL);
  Wait(squatter);
  for (int fd : {ready[0], ready[1], holder.in, holder.out}) close(fd);
}

// While no descriptor is free, a waiting connection must not wake the watch again and again.
TEST(InstanceLockTest, AFullDescriptorTableIsWaitedOutWithoutSpinning) {
  const std::string name = UniqueName();
  InstanceLock lock(name);
  int signalled = 0;
  lock.WatchStartedAgain([&] { ++signalled; });
  ASSERT_TRUE(InstanceLock::SignalRunning(name));
  std::vector<int> held;
  for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) held.push_back(fd);
  bool over = false;
  const guint timer = g_timeout_add(
      500,
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &over);
  int wakeUps = 0;
  while (!over) {
    g_main_context_iteration(nullptr, TRUE);
    ++wakeUps;
  }
  for (int fd : held) close(fd);
  EXPECT_LT(wakeUps, 30) << "wake-ups in half a second with no descriptor free";
  (void)timer;
  for (int i = 0; i < 400 && signalled < 1; ++i) g_main_context_iteration(nullptr, TRUE);
  EXPECT_EQ(signalled, 1) << "the waiting start is heard once descriptors are back";
}

TEST(InstanceLockTest, SecondHolderInTheSameProcessIsRefusedUntilTheFirstGoes) {
  const std::string name = UniqueName();
  {
    InstanceLock first(name);
    EXPECT_EQ(first.state(), InstanceLock::State::Acquired);
    InstanceLock second(name);
    EXPECT_EQ(second.state(), InstanceLock::State::HeldElsewhere);
  }
  InstanceLock again(name);
  EXPECT_EQ(again.state(), InstanceLock::State::Acquired);
}

TEST(InstanceLockTest, StartingAgainSignalsTheHolder) {
  const std::string name = UniqueName();
  InstanceLock lock(name);
  int signalled = 0;
  lock.WatchStartedAgain([&] { ++signalled; });
  EXPECT_TRUE(InstanceLock::SignalRunning(name));
  EXPECT_TRUE(InstanceLock::SignalRunning(name));
  for (int i = 0; i < 100 && signalled < 2; ++i) g_main_context_iteration(nullptr, TRUE);
  EXPECT_EQ(signalled, 2);
  EXPECT_FALSE(InstanceLock::SignalRunning(UniqueName())) << "nobody holds that name";
}

TEST(InstanceLockTest, TheLockDiesWithAKilledProcess) {
  const std::string name = UniqueName();
  Child holder = StartHolder(name);
  ASSERT_EQ(ReadLine(holder.out), "acquired");
  Child second = StartHolder(name);
  EXPECT_EQ(ReadLine(second.out), "held");
  EXPECT_EQ(Wait(second.pid), 0);

  kill(holder.pid, SIGKILL);
  EXPECT_EQ(Wait(holder.pid), -SIGKILL);
  Child next = StartHolder(name);
  EXPECT_EQ(ReadLine(next.out), "acquired");
  close(next.in);
  EXPECT_EQ(Wait(next.pid), 0);
  for (int fd : {holder.in, holder.out, second.in, second.out, next.out}) close(fd);
}

TEST(InstanceLockTest, TwentySimultaneousStartsLeaveExactlyOneHolder) {
  const std::string name = UniqueName();
  std::vector<Child> children;
  for (int i = 0; i < 20; ++i) children.push_back(StartHolder(name));
  int acquired = 0, held = 0;
  std::vector<Child> holders;
  for (auto& child : children) {
    const std::string answer = ReadLine(child.out);
    if (answer == "acquired") {
      ++acquired;
      holders.push_back(child);
    } else if (answer == "held") {
      ++held;
      EXPECT_EQ(Wait(child.pid), 0);
    }
  }
  EXPECT_EQ(acquired, 1);
  EXPECT_EQ(held, 19);
  for (auto& child : holders) {
    close(child.in);
    Wait(child.pid);
  }
  for (auto& child : children) {
    close(child.out);
    if (child.in >= 0) close(child.in);
  }
}

}  // namespace
}  // namespace quorvel
