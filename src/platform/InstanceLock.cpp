#include "platform/InstanceLock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace quorvel {
namespace {

socklen_t AbstractAddress(const std::string& name, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  // sun_path[0] stays NUL: the abstract namespace, which needs no file and no cleanup.
  const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

}  // namespace

std::string InstanceLock::DefaultName() {
  const char* name = std::getenv("QUORVEL_INSTANCE_NAME");
  return name && *name ? name : "Global\\QuorvelMtx";
}

InstanceLock::InstanceLock(const std::string& name) {
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    return;
  }
  sockaddr_un address;
  const socklen_t length = AbstractAddress(name, address);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 8) == 0) {
    state_ = State::Acquired;
    return;
  }
  const int err = errno;
  close(fd_);
  fd_ = -1;
  if (err == EADDRINUSE) {
    state_ = State::HeldElsewhere;
  } else {
    error_ = std::strerror(err);
  }
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace quorvel
