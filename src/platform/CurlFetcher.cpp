#include "platform/CurlFetcher.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace quorvel {
namespace {

struct CurlFree {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlPtr = std::unique_ptr<CURL, CurlFree>;

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct BodySink {
  std::string body;
  std::size_t limit = 0;
  bool overflowed = false;
};

// Counts the bytes as they arrive, after decompression, so neither a missing Content-Length nor a
// small compressed body can smuggle more than the limit into memory.
std::size_t AppendToBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  const std::size_t bytes = size * count;
  if (bytes > sink->limit - sink->body.size()) {
    sink->overflowed = true;
    return 0;  // makes libcurl stop with a write error
  }
  try {
    sink->body.append(data, bytes);
  } catch (...) {
    return 0;  // no exception may cross into C
  }
  return bytes;
}

// Called by libcurl at least once a second, also while nothing arrives.
int AbortWhenCancelled(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return FetchCancelled() ? 1 : 0;
}

bool HasFetchableScheme(const std::string& url) {
  return url.starts_with("http://") || url.starts_with("https://");
}

FetchResult Failure(std::string why) {
  return {false, {}, std::move(why)};
}

}  // namespace

CurlFetcher::CurlFetcher(FetchLimits limits) : limits_(limits) {
  InitialiseCurlOnce();
}

FetchResult CurlFetcher::Fetch(const std::string& url) {
  if (!HasFetchableScheme(url)) return Failure("not an http or https address");
  CurlPtr curl(curl_easy_init());
  if (!curl) return Failure("curl_easy_init failed");
  BodySink sink;
  sink.limit = limits_.maxBodyBytes;
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, limits_.maxRedirects);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limits_.connectTimeoutMs);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits_.lowSpeedBytesPerSecond);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limits_.lowSpeedSeconds);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limits_.totalTimeoutMs);
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendToBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "Quorvel/2.0");
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, AbortWhenCancelled);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);

  if (FetchCancelled()) return Failure("cancelled");
  const CURLcode code = curl_easy_perform(handle);
  if (sink.overflowed) return Failure("body larger than the limit");
  if (code != CURLE_OK) return Failure(errorText[0] ? errorText : curl_easy_strerror(code));
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299) return Failure("HTTP status " + std::to_string(status));
  return {true, std::move(sink.body), {}};
}

}  // namespace quorvel
