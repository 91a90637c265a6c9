#include "platform/FetchHelper.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <utility>

#include "core/Handles.h"
#include "platform/FetchWire.h"

namespace quorvel {
namespace {

// How often a running download looks at its cancel flag.
constexpr int kPollMs = 100;
// The helper keeps the time limits itself; one this much later than them is stopped from here.
constexpr std::chrono::milliseconds kOverdueGrace{5000};
// No transfer is given longer than a day, whatever its limits say (the deadline stays in range).
constexpr long kLongestTransferMs = 24L * 60 * 60 * 1000;
// Room for the status, headers and error text beside the largest body.
constexpr std::size_t kAnswerOverhead = 64 * 1024;

HttpAnswer Failure(std::string why) {
  HttpAnswer answer;
  answer.error = std::move(why);
  return answer;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

enum class ReadEnd { Whole, Cancelled, Overdue, TooLarge, Failed };

// Reads until the helper closes its end, or until the download is to stop.
ReadEnd ReadUntilClosed(int fd, std::string& text, std::size_t cap, const std::atomic<bool>* cancel,
                        std::chrono::steady_clock::time_point deadline) {
  char buffer[64 * 1024];
  for (;;) {
    if (cancel && cancel->load()) return ReadEnd::Cancelled;
    if (std::chrono::steady_clock::now() > deadline) return ReadEnd::Overdue;
    pollfd ready{fd, POLLIN, 0};
    const int count = poll(&ready, 1, kPollMs);
    if (count < 0 && errno != EINTR) return ReadEnd::Failed;
    if (count <= 0) continue;
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) return ReadEnd::Failed;
    if (got == 0) return ReadEnd::Whole;
    if (static_cast<std::size_t>(got) > cap - text.size()) return ReadEnd::TooLarge;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string WhyStopped(ReadEnd end) {
  switch (end) {
    case ReadEnd::Cancelled:
      return "cancelled";
    case ReadEnd::Overdue:
      return "the download helper did not answer in time";
    case ReadEnd::TooLarge:
      return "body larger than the limit";
    default:
      return "the download helper's answer could not be read";
  }
}

// Starts the helper with one end of a socket pair as its standard input and output; the agent's
// end goes to *agentEnd. Null, saying why, when it cannot start.
GSubprocess* StartHelper(const std::string& program, int* agentEnd, std::string* why) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    *why = "cannot make the download helper's socket";
    return nullptr;
  }
  const int childOut = fcntl(fds[1], F_DUPFD_CLOEXEC, 0);
  GError* error = nullptr;
  GSubprocess* process = nullptr;
  {
    GObjectPtr<GSubprocessLauncher> launcher(g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE));
    g_subprocess_launcher_take_stdin_fd(launcher.get(), fds[1]);
    if (childOut >= 0) g_subprocess_launcher_take_stdout_fd(launcher.get(), childOut);
    const gchar* argv[] = {program.c_str(), nullptr};
    if (childOut >= 0) process = g_subprocess_launcher_spawnv(launcher.get(), argv, &error);
  }  // the launcher closes the child's ends here
  if (!process) {
    *why = std::string("cannot start the download helper: ") +
           (error ? error->message : "no descriptor left");
    g_clear_error(&error);
    close(fds[0]);
    return nullptr;
  }
  *agentEnd = fds[0];
  return process;
}

}  // namespace

HelperProcessTransport::HelperProcessTransport(std::string program)
    : program_(std::move(program)) {}

std::optional<HelperProcessTransport::Helper> HelperProcessTransport::Start(
    std::string* why) const {
  int fd = -1;
  GObjectPtr<GSubprocess> process(StartHelper(program_, &fd, why));
  if (!process) return std::nullopt;
  return Helper{std::move(process), FileDescriptor(fd), std::chrono::steady_clock::now()};
}

void HelperProcessTransport::StartAhead() {
  if (program_.empty()) return;
  const std::lock_guard lock(mutex_);
  std::string why;
  if (!ahead_) ahead_ = Start(&why);
}

std::optional<HelperProcessTransport::Helper> HelperProcessTransport::TakeAhead() {
  const std::lock_guard lock(mutex_);
  std::optional<Helper> taken = std::exchange(ahead_, std::nullopt);
  // A stale one may have ended already; GLib reaps it.
  if (taken &&
      std::chrono::steady_clock::now() - taken->started > std::chrono::milliseconds(kAheadUseMs))
    taken.reset();
  return taken;
}

std::optional<HelperProcessTransport::Helper> HelperProcessTransport::TakeAheadOrStart(
    std::string* why) {
  std::optional<Helper> helper = TakeAhead();
  return helper ? std::move(helper) : Start(why);
}

HttpAnswer HelperProcessTransport::Get(const std::string& url, const FetchLimits& limits,
                                       const char* userAgent, const std::atomic<bool>* cancel) {
  if (program_.empty()) return Failure("the download helper is not installed");
  std::string why;
  std::optional<Helper> helper = TakeAheadOrStart(&why);
  if (!helper) return Failure(why);
  GSubprocess* process = helper->process.get();
  const int fd = helper->fd.get();
  const long totalMs = std::clamp(limits.totalTimeoutMs, 1L, kLongestTransferMs);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(totalMs) + kOverdueGrace;
  const std::size_t cap =
      std::min(limits.maxBodyBytes, SIZE_MAX - kAnswerOverhead) + kAnswerOverhead;
  std::string text;
  ReadEnd end = ReadEnd::Failed;
  if (SendAll(fd, EncodeFetchRequest({url, userAgent ? userAgent : "", limits})) &&
      shutdown(fd, SHUT_WR) == 0)
    end = ReadUntilClosed(fd, text, cap, cancel, deadline);
  helper->fd.Close();
  if (end != ReadEnd::Whole) g_subprocess_force_exit(process);
  g_subprocess_wait(process, nullptr, nullptr);
  if (end != ReadEnd::Whole) {
    HttpAnswer answer = Failure(WhyStopped(end));
    answer.overflowed = end == ReadEnd::TooLarge;
    return answer;
  }
  std::optional<HttpAnswer> answer = DecodeHttpAnswer(text, limits.maxBodyBytes);
  if (!answer) return Failure("the download helper ended without a whole answer");
  return std::move(*answer);
}

}  // namespace quorvel
