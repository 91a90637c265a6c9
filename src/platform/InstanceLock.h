#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quorvel {

class AcceptWatch;

// The per-user single-instance lock. In the user's runtime folder ($XDG_RUNTIME_DIR, when it is
// a folder of this user's that nobody else may enter) it is an flock on NAME.lock beside the
// socket NAME.socket that later starts connect to; the kernel drops the flock when the process
// ends, SIGKILL included, and the next holder replaces a socket file left behind. Without such a
// folder it is an abstract socket whose name carries the uid ("NAME.UID"). Either way, a holder
// that turns out to be another user's process is never taken for this user's instance.
class InstanceLock {
 public:
  enum class State { Acquired, HeldElsewhere, HeldByOtherUser, Failed };

  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State state() const { return state_; }
  const std::string& error() const { return error_; }
  // The listening socket while Acquired (other instances may connect to it), else -1.
  int fd() const { return fd_; }

  // Default "quorvel"; QUORVEL_INSTANCE_NAME overrides it so tests can run side by side.
  static std::string DefaultName();

  // Tells this user's instance holding the lock that it was started again. False when none
  // answers, or when the one answering is another user's.
  static bool SignalRunning(const std::string& name);
  // While HeldElsewhere: tells the holder, once, that it was started again.
  bool SignalHolder();
  // Calls onStartedAgain (from the GLib main loop) whenever another process of the same user
  // signals this instance. False when not Acquired.
  bool WatchStartedAgain(std::function<void()> onStartedAgain);

 private:
  void TakeInFolder(const std::string& folder, const std::string& name);
  void TakeAbstract(const std::string& name);

  std::string name_;
  bool holderSignalled_ = false;  // the check of an abstract name's holder already told it
  int fd_ = -1;
  int lockFd_ = -1;
  std::string socketPath_;  // in the runtime folder, removed by the holder at its end
  std::function<void()> onStartedAgain_;
  std::unique_ptr<AcceptWatch> watch_;
  State state_ = State::Failed;
  std::string error_;
};

}  // namespace quorvel
