// quorvel-fetch: the tray agent's download helper. It reads one request on its standard input,
// makes that one GET with libcurl inside the request's bounds, writes the answer to its standard
// output and ends, taking the TLS libraries it loaded with it.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "core/LocalFile.h"
#include "platform/CurlTransport.h"
#include "platform/FetchWire.h"

namespace {

// An address, a user agent and six numbers: anything longer is not a request from the agent.
constexpr std::size_t kMaxRequestBytes = 1u << 21;
// A helper the agent starts ahead of its first download waits this long for it, no longer.
constexpr int kRequestWaitMs = 2500;

bool RequestArrives() {
  pollfd ready{STDIN_FILENO, POLLIN, 0};
  for (;;) {
    const int count = poll(&ready, 1, kRequestWaitMs);
    if (count < 0 && errno == EINTR) continue;
    return count > 0;
  }
}

bool ReadRequestText(std::string& text) {
  char buffer[16 * 1024];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (text.size() + static_cast<std::size_t>(got) > kMaxRequestBytes) return false;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

int main() {
  using namespace quorvel;
  if (isatty(STDIN_FILENO)) {
    std::fprintf(stderr, "%s: the Quorvel agent starts this itself\n", kFetchProgramName);
    return 2;
  }
  // The set-up first: a helper started ahead does it while the agent is busy starting.
  CurlTransport::Prepare();
  if (!RequestArrives()) return 0;
  std::string text;
  const std::optional<FetchRequest> request =
      ReadRequestText(text) ? DecodeFetchRequest(text) : std::nullopt;
  if (!request) {
    HttpAnswer refused;
    refused.error = "the download helper was sent no whole request";
    return WriteAll(STDOUT_FILENO, EncodeHttpAnswer(refused)) ? 2 : 1;
  }
  CurlTransport transport;
  const ScopedHttpTransport installed(transport);
  const HttpAnswer answer =
      HttpGet(request->url, request->limits, request->userAgent.c_str(), nullptr);
  return WriteAll(STDOUT_FILENO, EncodeHttpAnswer(answer)) ? 0 : 1;
}
