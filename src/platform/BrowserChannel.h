#pragma once

#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/ScriptValue.h"

namespace quorvel {

// The tray agent and its browser window program (quorvel-browser) talk over one stream socket.
// Each message is a 4-byte little-endian body length and the body; the body is one WindowMessage.
// Names of external methods and page functions travel as data, so neither side keeps a list.

enum class WindowMessageType : uint8_t {
  // agent -> window
  Open = 1,           // texts: the external method names, in order
  Navigate,           // texts[0]: the address
  BeginMoveDrag,      //
  Present,            //
  Call,               // id (0: nobody is told of errors), texts[0]: function, texts[1..]: arguments
  SetBodyBackground,  // texts[0]: the colour
  // window -> agent
  External,      // texts[0]: method name, values: the arguments
  Escape,        //
  CloseRequest,  //
  NewWindow,     // texts[0]: the address
  Document,      // id: 1 when a document takes page calls, 0 when not
  CallError,     // id, texts[0]: the engine's message
  Settled,       // id: every call up to this one has run and reported its error, if any
};

struct WindowMessage {
  WindowMessageType type = WindowMessageType::Open;
  uint32_t id = 0;
  std::vector<std::string> texts;
  std::vector<ScriptValue> values;
};

// A body longer than this is refused: the stream is taken for broken and closed.
inline constexpr std::size_t kMaxWindowMessage = 256u << 20;

std::string EncodeWindowMessage(const WindowMessage& message);
// Empty for anything that is not exactly one well-formed message of a known type.
std::optional<WindowMessage> DecodeWindowMessage(std::string_view body);

// One end of the socket, watched from the default main context. Writes never block: what the
// peer has not taken yet waits in memory. Messages are handed over whole and in order; either
// callback may destroy this object.
class WindowChannel {
 public:
  using MessageHandler = std::function<void(WindowMessage message)>;
  using ClosedHandler = std::function<void()>;

  // Takes fd. onClosed runs once, when the peer has gone or the stream broke (a malformed or
  // oversized message counts as broken); messages that do not decode are skipped.
  WindowChannel(int fd, MessageHandler onMessage, ClosedHandler onClosed);
  ~WindowChannel();
  WindowChannel(const WindowChannel&) = delete;
  WindowChannel& operator=(const WindowChannel&) = delete;

  void Send(const WindowMessage& message);
  bool IsOpen() const { return fd_ >= 0; }
  // Tells the peer this end is done and waits, up to timeoutMs, for its end to close; whatever it
  // still sends is dropped. Then the channel is closed; onClosed does not run.
  void CloseAndWaitForPeer(int timeoutMs);

 private:
  static gboolean OnReadable(gint fd, GIOCondition condition, gpointer self);
  static gboolean OnWritable(gint fd, GIOCondition condition, gpointer self);
  bool ReadAvailable();
  bool DeliverComplete();
  bool WritePending();
  void Close();

  int fd_ = -1;
  bool writeBroken_ = false;
  guint readWatch_ = 0;
  guint writeWatch_ = 0;
  std::string in_;
  std::size_t inStart_ = 0;
  std::string out_;
  std::size_t outStart_ = 0;
  MessageHandler onMessage_;
  ClosedHandler onClosed_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace quorvel
