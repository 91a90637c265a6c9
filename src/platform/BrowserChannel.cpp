#include "platform/BrowserChannel.h"

#include <errno.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvel {
namespace {

constexpr uint8_t kLastType = static_cast<uint8_t>(WindowMessageType::Settled);
constexpr uint8_t kLastKind = static_cast<uint8_t>(ScriptValue::Kind::Object);
// Read at most this much per wake-up, so that a flood from the peer still lets the loop turn.
constexpr std::size_t kReadPerWakeUp = 4u << 20;

void PutU32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xff);
}

void PutText(std::string& out, std::string_view text) {
  PutU32(out, static_cast<uint32_t>(text.size()));
  out.append(text);
}

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}

  bool Byte(uint8_t& value) {
    if (data_.empty()) return false;
    value = static_cast<uint8_t>(data_[0]);
    data_.remove_prefix(1);
    return true;
  }
  bool U32(uint32_t& value) {
    if (data_.size() < 4) return false;
    value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(data_[i]);
    data_.remove_prefix(4);
    return true;
  }
  bool Double(double& value) {
    uint32_t low = 0, high = 0;
    if (!U32(low) || !U32(high)) return false;
    const uint64_t bits = (uint64_t{high} << 32) | low;
    std::memcpy(&value, &bits, sizeof value);
    return true;
  }
  bool Text(std::string& text) {
    uint32_t size = 0;
    if (!U32(size) || size > data_.size()) return false;
    text.assign(data_.substr(0, size));
    data_.remove_prefix(size);
    return true;
  }
  // A count of items that take at least minSize bytes each; a count the rest cannot hold is
  // refused before anything is reserved for it.
  bool Count(uint32_t& count, std::size_t minSize) {
    return U32(count) && count <= data_.size() / minSize;
  }
  bool AtEnd() const { return data_.empty(); }

 private:
  std::string_view data_;
};

void PutValue(std::string& out, const ScriptValue& value) {
  out += static_cast<char>(value.kind);
  uint64_t bits = 0;
  std::memcpy(&bits, &value.number, sizeof bits);
  PutU32(out, static_cast<uint32_t>(bits & 0xffffffffu));
  PutU32(out, static_cast<uint32_t>(bits >> 32));
  out += static_cast<char>(value.boolean ? 1 : 0);
  PutText(out, value.text);
}

bool ReadValue(Reader& reader, ScriptValue& value) {
  uint8_t kind = 0, boolean = 0;
  if (!reader.Byte(kind) || kind > kLastKind) return false;
  value.kind = static_cast<ScriptValue::Kind>(kind);
  if (!reader.Double(value.number) || !reader.Byte(boolean) || boolean > 1) return false;
  value.boolean = boolean == 1;
  return reader.Text(value.text);
}

void SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

std::string EncodeWindowMessage(const WindowMessage& message) {
  std::string body;
  body += static_cast<char>(message.type);
  PutU32(body, message.id);
  PutU32(body, static_cast<uint32_t>(message.texts.size()));
  for (const auto& text : message.texts) PutText(body, text);
  PutU32(body, static_cast<uint32_t>(message.values.size()));
  for (const auto& value : message.values) PutValue(body, value);
  return body;
}

std::optional<WindowMessage> DecodeWindowMessage(std::string_view body) {
  Reader reader(body);
  WindowMessage message;
  uint8_t type = 0;
  uint32_t count = 0;
  if (!reader.Byte(type) || type == 0 || type > kLastType) return std::nullopt;
  message.type = static_cast<WindowMessageType>(type);
  if (!reader.U32(message.id) || !reader.Count(count, 4)) return std::nullopt;
  message.texts.resize(count);
  for (auto& text : message.texts) {
    if (!reader.Text(text)) return std::nullopt;
  }
  if (!reader.Count(count, 14)) return std::nullopt;
  message.values.resize(count);
  for (auto& value : message.values) {
    if (!ReadValue(reader, value)) return std::nullopt;
  }
  if (!reader.AtEnd()) return std::nullopt;
  return message;
}

WindowChannel::WindowChannel(int fd, MessageHandler onMessage, ClosedHandler onClosed)
    : fd_(fd), onMessage_(std::move(onMessage)), onClosed_(std::move(onClosed)) {
  if (fd_ < 0) return;
  SetNonBlocking(fd_);
  readWatch_ = g_unix_fd_add(fd_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                             OnReadable, this);
}

WindowChannel::~WindowChannel() {
  *alive_ = false;
  if (readWatch_) g_source_remove(readWatch_);
  if (writeWatch_) g_source_remove(writeWatch_);
  if (fd_ >= 0) close(fd_);
}

void WindowChannel::Send(const WindowMessage& message) {
  if (fd_ < 0 || writeBroken_) return;
  const std::string body = EncodeWindowMessage(message);
  if (body.size() > kMaxWindowMessage) return;  // the peer would refuse it and close
  // Written data is dropped from the front only now and then, so that a long queue is not
  // copied once per write.
  if (outStart_ > 0 && outStart_ >= out_.size() / 2) {
    out_.erase(0, outStart_);
    outStart_ = 0;
  }
  PutU32(out_, static_cast<uint32_t>(body.size()));
  out_ += body;
  if (writeWatch_ || !WritePending()) return;
  if (outStart_ < out_.size()) {
    writeWatch_ = g_unix_fd_add(fd_, G_IO_OUT, OnWritable, this);
  }
}

// False when the stream broke (and is now closed).
bool WindowChannel::WritePending() {
  while (outStart_ < out_.size()) {
    const ssize_t written =
        send(fd_, out_.data() + outStart_, out_.size() - outStart_, MSG_NOSIGNAL);
    if (written > 0) {
      outStart_ += static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;
    } else {
      // The peer is gone: the read watch hears the end of the stream next and reports it.
      shutdown(fd_, SHUT_RDWR);
      writeBroken_ = true;
      out_.clear();
      outStart_ = 0;
      return false;
    }
  }
  out_.clear();
  outStart_ = 0;
  return true;
}

gboolean WindowChannel::OnWritable(gint, GIOCondition, gpointer self) {
  auto* channel = static_cast<WindowChannel*>(self);
  if (channel->WritePending() && channel->outStart_ < channel->out_.size()) {
    return G_SOURCE_CONTINUE;
  }
  channel->writeWatch_ = 0;
  return G_SOURCE_REMOVE;
}

gboolean WindowChannel::OnReadable(gint, GIOCondition, gpointer self) {
  auto* channel = static_cast<WindowChannel*>(self);
  const std::shared_ptr<bool> alive = channel->alive_;
  const bool open = channel->ReadAvailable();
  // Whatever arrived before the peer went is still delivered, in order.
  if (*alive && channel->DeliverComplete() && *alive && !open) {
    channel->Close();
    if (*alive && channel->onClosed_) {
      auto onClosed = std::move(channel->onClosed_);
      onClosed();
    }
  }
  // The watch is gone once the channel is closed or destroyed; GLib ignores a removed source.
  return *alive && channel->fd_ >= 0 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

// Appends what the socket holds; false once the peer has gone or the stream broke.
bool WindowChannel::ReadAvailable() {
  char buffer[64 * 1024];
  std::size_t taken = 0;
  while (taken < kReadPerWakeUp) {
    const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    if (got > 0) {
      in_.append(buffer, static_cast<std::size_t>(got));
      taken += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;
    } else {
      return false;
    }
  }
  return true;
}

// Hands over every whole message; false when the channel was destroyed by a handler or the
// stream is broken (then it is closed and onClosed has run).
bool WindowChannel::DeliverComplete() {
  const std::shared_ptr<bool> alive = alive_;
  while (in_.size() - inStart_ >= 4) {
    Reader header(std::string_view(in_).substr(inStart_, 4));
    uint32_t size = 0;
    header.U32(size);
    if (size > kMaxWindowMessage) {
      Close();
      if (onClosed_) {
        auto onClosed = std::move(onClosed_);
        onClosed();
      }
      return false;
    }
    if (in_.size() - inStart_ - 4 < size) break;
    auto message = DecodeWindowMessage(std::string_view(in_).substr(inStart_ + 4, size));
    inStart_ += 4 + size;
    if (message && onMessage_) {
      onMessage_(std::move(*message));
      if (!*alive || fd_ < 0) return false;
    }
  }
  in_.erase(0, inStart_);
  inStart_ = 0;
  return true;
}

void WindowChannel::CloseAndWaitForPeer(int timeoutMs) {
  if (fd_ < 0) return;
  // What is still queued goes out first, as far as the peer takes it in the time.
  const gint64 deadline = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  auto remainingMs = [deadline] {
    return static_cast<int>(std::max<gint64>(0, (deadline - g_get_monotonic_time()) / 1000));
  };
  while (!writeBroken_ && outStart_ < out_.size() && remainingMs() > 0) {
    pollfd writable{fd_, POLLOUT, 0};
    if (poll(&writable, 1, remainingMs()) <= 0 || !WritePending()) break;
  }
  shutdown(fd_, SHUT_WR);
  char buffer[4096];
  while (remainingMs() > 0) {
    pollfd readable{fd_, POLLIN, 0};
    const int ready = poll(&readable, 1, remainingMs());
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) break;
  }
  Close();
}

void WindowChannel::Close() {
  if (readWatch_) g_source_remove(std::exchange(readWatch_, 0));
  if (writeWatch_) g_source_remove(std::exchange(writeWatch_, 0));
  if (fd_ >= 0) close(std::exchange(fd_, -1));
  in_.clear();
  inStart_ = 0;
  out_.clear();
  outStart_ = 0;
}

}  // namespace quorvel
