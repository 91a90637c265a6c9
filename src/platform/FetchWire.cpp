#include "platform/FetchWire.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace quorvel {
namespace {

constexpr std::size_t kRequestFields = 8;
constexpr std::size_t kAnswerFields = 6;

void AppendNetstring(std::string& out, std::string_view field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
  out += ',';
}

// Exactly `count` netstrings and nothing after them, none longer than `maxField`.
std::optional<std::vector<std::string_view>> SplitNetstrings(std::string_view text,
                                                             std::size_t count,
                                                             std::size_t maxField) {
  std::vector<std::string_view> fields;
  while (fields.size() < count) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 10) return std::nullopt;
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + colon, length);
    if (error != std::errc() || end != text.data() + colon || length > maxField)
      return std::nullopt;
    if (text.size() - colon - 1 < length + 1 || text[colon + 1 + length] != ',')
      return std::nullopt;
    fields.push_back(text.substr(colon + 1, length));
    text.remove_prefix(colon + 2 + length);
  }
  if (!text.empty()) return std::nullopt;
  return fields;
}

template <class Number>
bool ReadNumber(std::string_view text, Number& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string EncodeFetchRequest(const FetchRequest& request) {
  std::string out;
  AppendNetstring(out, request.url);
  AppendNetstring(out, request.userAgent);
  const FetchLimits& limits = request.limits;
  AppendNetstring(out, std::to_string(limits.connectTimeoutMs));
  AppendNetstring(out, std::to_string(limits.lowSpeedBytesPerSecond));
  AppendNetstring(out, std::to_string(limits.lowSpeedSeconds));
  AppendNetstring(out, std::to_string(limits.totalTimeoutMs));
  AppendNetstring(out, std::to_string(limits.maxRedirects));
  AppendNetstring(out, std::to_string(limits.maxBodyBytes));
  return out;
}

std::optional<FetchRequest> DecodeFetchRequest(std::string_view text) {
  const auto fields = SplitNetstrings(text, kRequestFields, 1u << 20);
  if (!fields) return std::nullopt;
  FetchRequest request;
  request.url = (*fields)[0];
  request.userAgent = (*fields)[1];
  FetchLimits& limits = request.limits;
  if (!ReadNumber((*fields)[2], limits.connectTimeoutMs) ||
      !ReadNumber((*fields)[3], limits.lowSpeedBytesPerSecond) ||
      !ReadNumber((*fields)[4], limits.lowSpeedSeconds) ||
      !ReadNumber((*fields)[5], limits.totalTimeoutMs) ||
      !ReadNumber((*fields)[6], limits.maxRedirects) ||
      !ReadNumber((*fields)[7], limits.maxBodyBytes))
    return std::nullopt;
  return request;
}

std::string EncodeHttpAnswer(const HttpAnswer& answer) {
  std::string out;
  out.reserve(answer.body.size() + answer.contentType.size() + answer.error.size() + 64);
  AppendNetstring(out, std::to_string(answer.status));
  AppendNetstring(out, answer.contentType);
  AppendNetstring(out, answer.retryAfter ? std::to_string(answer.retryAfter->count()) : "");
  AppendNetstring(out, answer.overflowed ? "1" : "0");
  AppendNetstring(out, answer.error);
  AppendNetstring(out, answer.body);
  return out;
}

std::optional<HttpAnswer> DecodeHttpAnswer(std::string_view text, std::size_t maxBodyBytes) {
  const auto fields = SplitNetstrings(text, kAnswerFields, maxBodyBytes);
  if (!fields) return std::nullopt;
  HttpAnswer answer;
  if (!ReadNumber((*fields)[0], answer.status)) return std::nullopt;
  answer.contentType = (*fields)[1];
  if (!(*fields)[2].empty()) {
    int64_t seconds = 0;
    if (!ReadNumber((*fields)[2], seconds)) return std::nullopt;
    answer.retryAfter = std::chrono::seconds(seconds);
  }
  if ((*fields)[3] != "0" && (*fields)[3] != "1") return std::nullopt;
  answer.overflowed = (*fields)[3] == "1";
  answer.error = (*fields)[4];
  answer.body = (*fields)[5];
  return answer;
}

}  // namespace quorvel
