#include "core/HttpGet.h"

#include <utility>

namespace quorvel {
namespace {

// Until the program installs its transport, nothing is fetched.
class NoTransport : public HttpTransport {
 public:
  HttpAnswer Get(const std::string&, const FetchLimits&, const char*,
                 const std::atomic<bool>*) override {
    HttpAnswer answer;
    answer.error = "no transport installed";
    return answer;
  }
};

HttpTransport*& Slot() {
  static NoTransport none;
  static HttpTransport* current = &none;
  return current;
}

}  // namespace

ScopedHttpTransport::ScopedHttpTransport(HttpTransport& transport)
    : previous_(std::exchange(Slot(), &transport)) {}

ScopedHttpTransport::~ScopedHttpTransport() {
  Slot() = previous_;
}

HttpAnswer HttpGet(const std::string& url, const FetchLimits& limits, const char* userAgent,
                   const std::atomic<bool>* cancel) {
  if (!url.starts_with("http://") && !url.starts_with("https://")) {
    HttpAnswer answer;
    answer.error = "not an http or https address";
    return answer;
  }
  return Slot()->Get(url, limits, userAgent, cancel);
}

}  // namespace quorvel
