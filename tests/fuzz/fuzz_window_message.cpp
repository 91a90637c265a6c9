// What the browser window program sends the agent: any bytes as one message body (a message that
// decodes must encode back to the same bytes), and as the stream itself, read by the agent's
// channel until the peer has gone.

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "FuzzSupport.h"
#include "platform/BrowserChannel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  const std::string bytes = fuzz::AsString(data, size);
  if (const auto message = DecodeWindowMessage(bytes)) {
    if (EncodeWindowMessage(*message) != bytes) std::abort();
  }
  int fds[2];
  if (size > (1u << 16) || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  std::size_t messages = 0;
  bool closed = false;
  WindowChannel channel(
      fds[1], [&](WindowMessage) { ++messages; }, [&] { closed = true; });
  if (write(fds[0], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  close(fds[0]);
  while (!closed) g_main_context_iteration(nullptr, TRUE);
  if (messages > size / 17) std::abort();  // a framed message takes at least 17 bytes
  return 0;
}
