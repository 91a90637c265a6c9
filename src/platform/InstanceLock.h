#pragma once

#include <functional>
#include <string>

namespace quorvel {

// The machine-wide single-instance lock: an abstract Unix socket bound under the lock's name.
// Binding is one atomic step, and the kernel drops the name when the process ends, SIGKILL
// included.
class InstanceLock {
 public:
  enum class State { Acquired, HeldElsewhere, Failed };

  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State state() const { return state_; }
  const std::string& error() const { return error_; }
  // The listening socket while Acquired (other instances may connect to it), else -1.
  int fd() const { return fd_; }

  // Default "Global\QuorvelMtx"; QUORVEL_INSTANCE_NAME overrides it so tests can run side by side.
  static std::string DefaultName();

  // Tells the instance holding the lock that it was started again. False when none answers.
  static bool SignalRunning(const std::string& name);
  // Calls onStartedAgain (from the GLib main loop) whenever another process of the same user
  // signals this instance. Returns the GLib source id, 0 when not Acquired.
  unsigned WatchStartedAgain(std::function<void()> onStartedAgain);

 private:
  int fd_ = -1;
  std::function<void()> onStartedAgain_;
  unsigned watch_ = 0;
  State state_ = State::Failed;
  std::string error_;
};

}  // namespace quorvel
