// The machine-wide single-instance lock, in one process and across real processes.

#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

Child StartHolder(const std::string& name) {
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
