#include "platform/CurlTransport.h"

#include <mutex>

#include "core/Handles.h"
#include "core/NoThrow.h"

namespace quorvel {
namespace {

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  std::string body;
  std::size_t limit = 0;
  bool overflowed = false;
  const std::atomic<bool>* cancel = nullptr;
};

std::size_t AppendToBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (bytes > transfer->limit - transfer->body.size()) {
    transfer->overflowed = true;
    return 0;  // makes libcurl stop with a write error
  }
  return NoThrow(std::size_t{0}, [&] {
    transfer->body.append(data, bytes);
    return bytes;
  });
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<Transfer*>(user)->cancel;
  return cancel && cancel->load() ? 1 : 0;
}

// Retry-After as delay seconds, or as an HTTP date that curl turns into seconds from now.
std::optional<std::chrono::seconds> RetryAfter(CURL* handle) {
  struct curl_header* header = nullptr;
  if (curl_easy_header(handle, "Retry-After", 0, CURLH_HEADER, -1, &header) != CURLHE_OK)
    return std::nullopt;
  const std::string value = header->value ? header->value : "";
  if (!value.empty() && value.size() <= 9 &&
      value.find_first_not_of("0123456789") == std::string::npos)
    return std::chrono::seconds(std::stol(value));
  curl_off_t seconds = 0;
  if (curl_easy_getinfo(handle, CURLINFO_RETRY_AFTER, &seconds) == CURLE_OK && seconds > 0)
    return std::chrono::seconds(seconds);
  return std::nullopt;
}

}  // namespace

void CurlTransport::Prepare() {
  InitialiseCurlOnce();
}

HttpAnswer CurlTransport::Get(const std::string& url, const FetchLimits& limits,
                              const char* userAgent, const std::atomic<bool>* cancel) {
  HttpAnswer answer;
  InitialiseCurlOnce();
  CurlPtr curl(curl_easy_init());
  if (!curl) {
    answer.error = "cannot start a transfer";
    return answer;
  }
  Transfer transfer;
  transfer.limit = limits.maxBodyBytes;
  transfer.cancel = cancel;
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, limits.maxRedirects);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  if (limits.lowSpeedSeconds > 0) {
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
  }
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, std::max(limits.totalTimeoutMs, 1L));
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendToBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, userAgent);
  if (cancel) {
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  }

  const CURLcode code = curl_easy_perform(handle);
  answer.overflowed = transfer.overflowed;
  if (code != CURLE_OK) {
    answer.error = answer.overflowed ? "body larger than the limit"
                   : errorText[0]    ? errorText
                                     : curl_easy_strerror(code);
    return answer;
  }
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &answer.status);
  const char* type = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
    answer.contentType = type;
  answer.retryAfter = RetryAfter(handle);
  answer.body = std::move(transfer.body);
  return answer;
}

}  // namespace quorvel
