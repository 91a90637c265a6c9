// Stands in for quorvel-browser on the far end of its socket (descriptor 3), so the agent's
// side can be tested without a display: on Open it reports a document; each Call comes back as
// an external call "Called" with the function name and arguments, and settles (a function named
// "missing" fails first, as a page without it would); Present answers Escape; Navigate
// "truncated" writes half a message and leaves, "oversized" announces a 4 GB message.

#include <unistd.h>

#include <string>

#include "platform/BrowserChannel.h"

using namespace quorvel;

int main() {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  WindowChannel* channel = nullptr;
  auto raw = [](const std::string& bytes) {
    (void)!write(3, bytes.data(), bytes.size());
    _exit(0);
  };
  WindowChannel end(
      3,
      [&](WindowMessage message) {
        switch (message.type) {
          case WindowMessageType::Open:
            channel->Send({WindowMessageType::Document, 1, {}, {}});
            break;
          case WindowMessageType::Call: {
            WindowMessage called{WindowMessageType::External, 0, {"Called"}, {}};
            for (const auto& text : message.texts) called.values.push_back(ScriptValue::Of(text));
            channel->Send(called);
            if (message.texts[0] == "missing" && message.id) {
              channel->Send({WindowMessageType::CallError,
                             message.id,
                             {"ReferenceError: Can't find variable: missing"},
                             {}});
            }
            if (message.id) channel->Send({WindowMessageType::Settled, message.id, {}, {}});
            break;
          }
          case WindowMessageType::Present:
            channel->Send({WindowMessageType::Escape, 0, {}, {}});
            break;
          case WindowMessageType::Navigate:
            if (message.texts[0] == "truncated") raw(std::string("\x20\0\0\0\x07", 5));
            if (message.texts[0] == "oversized") raw("\xff\xff\xff\xff");
            break;
          default:
            break;
        }
      },
      [&] { g_main_loop_quit(loop); });
  channel = &end;
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  return 0;
}
