#include "catalogue/UpstreamClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

namespace quorvel::catalogue {
namespace {

struct CurlFree {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlPtr = std::unique_ptr<CURL, CurlFree>;

struct Transfer {
  std::string body;
  std::size_t cap = 0;
  bool overflowed = false;
  const std::atomic<bool>* cancel = nullptr;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer->body.size() + bytes > transfer->cap) {
    transfer->overflowed = true;
    return 0;  // aborts the transfer
  }
  transfer->body.append(data, bytes);
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(user)->cancel->load() ? 1 : 0;
}

// Retry-After as delay seconds, or as an HTTP date that curl turns into seconds from now.
std::optional<std::chrono::seconds> RetryAfter(CURL* c) {
  struct curl_header* header = nullptr;
  if (curl_easy_header(c, "Retry-After", 0, CURLH_HEADER, -1, &header) != CURLHE_OK)
    return std::nullopt;
  const std::string value = header->value ? header->value : "";
  if (!value.empty() && value.size() <= 9 &&
      value.find_first_not_of("0123456789") == std::string::npos)
    return std::chrono::seconds(std::stol(value));
  curl_off_t seconds = 0;
  if (curl_easy_getinfo(c, CURLINFO_RETRY_AFTER, &seconds) == CURLE_OK && seconds > 0)
    return std::chrono::seconds(seconds);
  return std::nullopt;
}

}  // namespace

UpstreamAnswer UpstreamGet(const std::string& url, std::chrono::milliseconds totalTimeout,
                           const UpstreamLimits& limits, const std::atomic<bool>& cancel) {
  UpstreamAnswer answer;
  CurlPtr curl(curl_easy_init());
  if (!curl) {
    answer.error = "cannot start a transfer";
    return answer;
  }
  Transfer transfer;
  transfer.cap = limits.maxBodyBytes;
  transfer.cancel = &cancel;
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, limits.maxRedirects);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS,
                   static_cast<long>(std::max<int64_t>(totalTimeout.count(), 1)));
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Quorvel/2.0 (catalogue)");
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);

  const CURLcode result = curl_easy_perform(c);
  if (result != CURLE_OK) {
    answer.error = transfer.overflowed ? "answer too large" : curl_easy_strerror(result);
    return answer;
  }
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &answer.status);
  const char* type = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
    answer.contentType = type;
  answer.retryAfter = RetryAfter(c);
  answer.body = std::move(transfer.body);
  return answer;
}

}  // namespace quorvel::catalogue
