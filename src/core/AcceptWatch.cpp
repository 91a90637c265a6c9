#include "core/AcceptWatch.h"

#include <glib-unix.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "core/NoThrow.h"

namespace quorvel {
namespace {

constexpr unsigned kFirstPauseMs = 50;
constexpr unsigned kLongestPauseMs = 2000;
// Connections taken per wake-up, so that a flood cannot keep the context from other work.
constexpr int kAcceptsPerWake = 16;

bool IsShortage(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

AcceptWatch::AcceptWatch(int listeningFd, GMainContext* context,
                         std::function<void(int fd)> onAccepted)
    : fd_(listeningFd),
      context_(context ? g_main_context_ref(context) : g_main_context_ref_thread_default()),
      onAccepted_(std::move(onAccepted)) {
  Watch();
}

AcceptWatch::~AcceptWatch() {
  if (source_) {
    g_source_destroy(source_);
    g_source_unref(source_);
  }
  g_main_context_unref(context_);
}

void AcceptWatch::Watch() {
  source_ = g_unix_fd_source_new(fd_, G_IO_IN);
  GUnixFDSourceFunc onReadable = [](int fd, GIOCondition condition, void* self) -> gboolean {
    return OnReadable(fd, condition, self);
  };
  g_source_set_callback(source_, G_SOURCE_FUNC(onReadable), this, nullptr);
  g_source_attach(source_, context_);
}

void AcceptWatch::Pause() {
  pauseMs_ = pauseMs_ == 0 ? kFirstPauseMs : std::min(pauseMs_ * 2, kLongestPauseMs);
  ++pauses_;
  g_source_destroy(source_);
  g_source_unref(source_);
  source_ = g_timeout_source_new(pauseMs_);
  g_source_set_callback(source_, OnPauseOver, this, nullptr);
  g_source_attach(source_, context_);
}

int AcceptWatch::OnPauseOver(void* data) {
  auto* self = static_cast<AcceptWatch*>(data);
  g_source_unref(self->source_);  // and destroyed by the G_SOURCE_REMOVE below
  self->Watch();
  return G_SOURCE_REMOVE;
}

int AcceptWatch::OnReadable(int fd, unsigned, void* data) {
  auto* self = static_cast<AcceptWatch*>(data);
  for (int i = 0; i < kAcceptsPerWake; ++i) {
    const int peer = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (peer >= 0) {
      self->pauseMs_ = 0;
      // The taker owns the descriptor even when it stops part way; the watch goes on.
      RunGuarded([&] { self->onAccepted_(peer); });
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
    if (IsShortage(errno)) {
      self->Pause();
      return G_SOURCE_REMOVE;
    }
    break;  // EAGAIN: nothing more is waiting
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace quorvel
