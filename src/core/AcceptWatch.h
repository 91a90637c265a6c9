#pragma once

#include <functional>

typedef struct _GMainContext GMainContext;
typedef struct _GSource GSource;

namespace quorvel {

// Accepts connections on a listening, non-blocking socket from a GLib main context and hands each
// new descriptor to onAccepted, which owns it from then on. When the process or the system has no
// descriptor (or no memory) left, the pending connection would wake the watch again at once for
// ever: the watch pauses instead, for a time that grows from 50 ms to 2 s while the shortage
// lasts, and then tries again by itself.
class AcceptWatch {
 public:
  // context: null for the thread-default one of the thread that creates the watch.
  AcceptWatch(int listeningFd, GMainContext* context, std::function<void(int fd)> onAccepted);
  ~AcceptWatch();  // on the context's thread
  AcceptWatch(const AcceptWatch&) = delete;
  AcceptWatch& operator=(const AcceptWatch&) = delete;

  // How often it has paused so far (tests).
  unsigned pauses() const { return pauses_; }

 private:
  static int OnReadable(int fd, unsigned condition, void* self);
  static int OnPauseOver(void* self);
  void Watch();
  void Pause();

  int fd_;
  GMainContext* context_;
  std::function<void(int)> onAccepted_;
  GSource* source_ = nullptr;
  unsigned pauseMs_ = 0;
  unsigned pauses_ = 0;
};

}  // namespace quorvel
