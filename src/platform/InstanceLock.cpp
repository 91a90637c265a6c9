#include "platform/InstanceLock.h"

#include <glib-unix.h>
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

bool InstanceLock::SignalRunning(const std::string& name) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address;
  const socklen_t length = AbstractAddress(name, address);
  // The holder accepts from its main loop; the connection itself is the whole message.
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  close(fd);
  return connected;
}

unsigned InstanceLock::WatchStartedAgain(std::function<void()> onStartedAgain) {
  if (state_ != State::Acquired) return 0;
  onStartedAgain_ = std::move(onStartedAgain);
  if (watch_ != 0) g_source_remove(watch_);
  watch_ = g_unix_fd_add(
      fd_, G_IO_IN,
      [](gint fd, GIOCondition, gpointer data) -> gboolean {
        auto* self = static_cast<InstanceLock*>(data);
        const int peer = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) return G_SOURCE_CONTINUE;
        ucred credentials{};
        socklen_t size = sizeof credentials;
        // Another user's process on the same machine may connect too; it is not listened to.
        const bool sameUser = getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
                              credentials.uid == getuid();
        close(peer);
        if (sameUser && self->onStartedAgain_) self->onStartedAgain_();
        return G_SOURCE_CONTINUE;
      },
      this);
  return watch_;
}

InstanceLock::~InstanceLock() {
  if (watch_ != 0) g_source_remove(watch_);
  if (fd_ >= 0) close(fd_);
}

}  // namespace quorvel
