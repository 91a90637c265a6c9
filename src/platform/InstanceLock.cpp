#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/AcceptWatch.h"

namespace quorvel {
namespace {

// The runtime folder when it is this user's alone (owned by the user, no access for others),
// else empty: a folder others may write to could hold a lock or socket of theirs.
std::string PrivateRuntimeFolder() {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  if (!folder || folder[0] != '/') return {};
  struct stat info;
  if (stat(folder, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
      (info.st_mode & 077) != 0) {
    return {};
  }
  return folder;
}

// The instance name as one file name.
std::string FileNameOf(const std::string& name) {
  std::string safe = name.empty() ? std::string("quorvel") : name;
  std::replace(safe.begin(), safe.end(), '/', '_');
  safe.erase(std::remove(safe.begin(), safe.end(), '\0'), safe.end());
  if (safe == "." || safe == "..") safe = "_" + safe;
  return safe;
}

struct Address {
  sockaddr_un un;
  socklen_t length;
};

std::optional<Address> SocketFileAddress(const std::string& path) {
  Address address{};
  address.un.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.un.sun_path) return std::nullopt;
  std::memcpy(address.un.sun_path, path.data(), path.size());
  address.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return address;
}

Address AbstractAddress(const std::string& name) {
  Address address{};
  address.un.sun_family = AF_UNIX;
  // sun_path[0] stays NUL: the abstract namespace, which needs no file and no cleanup. It is
  // shared by every user, so the name carries the uid.
  const std::string full = name + "." + std::to_string(getuid());
  const std::size_t length = std::min(full.size(), sizeof address.un.sun_path - 1);
  std::memcpy(address.un.sun_path + 1, full.data(), length);
  address.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  return address;
}

// Where a later start reaches the holder of the name.
std::optional<Address> HolderAddress(const std::string& name) {
  const std::string folder = PrivateRuntimeFolder();
  if (folder.empty()) return AbstractAddress(name);
  return SocketFileAddress(folder + "/" + FileNameOf(name) + ".socket");
}

enum class Holder { Ours, Others, None };

// Connects to the holder (which takes the connection as "started again" when it is ours) and
// says whose it is.
Holder Connect(const std::string& name) {
  const std::optional<Address> address = HolderAddress(name);
  if (!address) return Holder::None;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Holder::None;
  // Non-blocking: a holder that accepts nothing (hung, or not ours) cannot hold this start up. One
  // whose queue is full gets a second for it to drain.
  int result = -1;
  for (int attempt = 0; attempt < 20; ++attempt) {
    result = connect(fd, reinterpret_cast<const sockaddr*>(&address->un), address->length);
    if (result == 0 || errno != EAGAIN) break;
    g_usleep(50 * 1000);
  }
  Holder holder = Holder::None;
  if (result == 0) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    holder = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
                     credentials.uid == getuid()
                 ? Holder::Ours
                 : Holder::Others;
  }
  close(fd);
  return holder;
}

int ListeningSocket(const Address& address) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address.un), address.length) == 0 &&
      listen(fd, 64) == 0) {
    return fd;
  }
  const int error = errno;
  close(fd);
  errno = error;
  return -1;
}

}  // namespace

std::string InstanceLock::DefaultName() {
  const char* name = std::getenv("QUORVEL_INSTANCE_NAME");
  return name && *name ? name : "quorvel";
}

InstanceLock::InstanceLock(const std::string& name) : name_(name) {
  const std::string folder = PrivateRuntimeFolder();
  if (folder.empty()) {
    TakeAbstract(name);
  } else {
    TakeInFolder(folder, name);
  }
}

void InstanceLock::TakeInFolder(const std::string& folder, const std::string& name) {
  const std::string base = folder + "/" + FileNameOf(name);
  const std::optional<Address> address = SocketFileAddress(base + ".socket");
  if (!address) {
    TakeAbstract(name);  // a runtime folder too deep for a socket address
    return;
  }
  lockFd_ = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFd_ < 0) {
    error_ = std::strerror(errno);
    return;
  }
  if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    close(lockFd_);
    lockFd_ = -1;
    if (err == EWOULDBLOCK) {
      state_ = State::HeldElsewhere;
    } else {
      error_ = std::strerror(err);
    }
    return;
  }
  // Holding the flock, the socket file is ours to replace: one left by a killed holder goes.
  unlink((base + ".socket").c_str());
  fd_ = ListeningSocket(*address);
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    close(lockFd_);
    lockFd_ = -1;
    return;
  }
  socketPath_ = base + ".socket";
  state_ = State::Acquired;
}

void InstanceLock::TakeAbstract(const std::string& name) {
  fd_ = ListeningSocket(AbstractAddress(name));
  if (fd_ >= 0) {
    state_ = State::Acquired;
    return;
  }
  const int err = errno;
  if (err != EADDRINUSE) {
    error_ = std::strerror(err);
    return;
  }
  // Anyone may bind any abstract name: only a holder that proves to be this user's counts. One
  // that does not answer cannot prove it.
  holderSignalled_ = Connect(name) == Holder::Ours;
  state_ = holderSignalled_ ? State::HeldElsewhere : State::HeldByOtherUser;
}

bool InstanceLock::SignalHolder() {
  if (state_ != State::HeldElsewhere) return false;
  if (holderSignalled_) return true;
  holderSignalled_ = Connect(name_) == Holder::Ours;
  return holderSignalled_;
}

bool InstanceLock::SignalRunning(const std::string& name) {
  return Connect(name) == Holder::Ours;
}

bool InstanceLock::WatchStartedAgain(std::function<void()> onStartedAgain) {
  if (state_ != State::Acquired) return false;
  onStartedAgain_ = std::move(onStartedAgain);
  watch_ = std::make_unique<AcceptWatch>(fd_, nullptr, [this](int peer) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    // Another user's process may connect to an abstract name; it is not listened to.
    const bool sameUser = getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
                          credentials.uid == getuid();
    close(peer);
    if (sameUser && onStartedAgain_) onStartedAgain_();
  });
  return true;
}

InstanceLock::~InstanceLock() {
  watch_.reset();
  // The socket file goes while the flock is still held, so it never removes a successor's.
  if (!socketPath_.empty()) unlink(socketPath_.c_str());
  if (fd_ >= 0) close(fd_);
  if (lockFd_ >= 0) close(lockFd_);
}

}  // namespace quorvel
