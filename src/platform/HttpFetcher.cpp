#include "platform/HttpFetcher.h"

#include <utility>

namespace quorvel {

HttpFetcher::HttpFetcher(FetchLimits limits) : limits_(limits) {}

FetchResult HttpFetcher::Fetch(const std::string& url) {
  // A running check's downloads stop when it ends (the thread's ScopedFetchCancel).
  HttpAnswer answer = HttpGet(url, limits_, "Quorvel/2.0", CurrentFetchCancel());
  if (!answer.error.empty()) return {false, {}, std::move(answer.error)};
  if (!answer.ok()) return {false, {}, "HTTP status " + std::to_string(answer.status)};
  return {true, std::move(answer.body), {}};
}

}  // namespace quorvel
