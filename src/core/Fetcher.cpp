#include "core/Fetcher.h"

#include <utility>

namespace quorvel {
namespace {

// Until the program installs its fetcher, nothing is fetched.
class NoFetcher : public Fetcher {
 public:
  FetchResult Fetch(const std::string&) override { return {false, {}, "no fetcher installed"}; }
};

Fetcher*& Slot() {
  static NoFetcher none;
  static Fetcher* current = &none;
  return current;
}

thread_local const std::atomic<bool>* t_cancel = nullptr;

}  // namespace

ScopedFetchCancel::ScopedFetchCancel(const std::atomic<bool>& flag)
    : previous_(std::exchange(t_cancel, &flag)) {}

ScopedFetchCancel::~ScopedFetchCancel() {
  t_cancel = previous_;
}

const std::atomic<bool>* CurrentFetchCancel() {
  return t_cancel;
}

bool FetchCancelled() {
  return t_cancel != nullptr && t_cancel->load();
}

Fetcher& CurrentFetcher() {
  return *Slot();
}
ScopedFetcher::ScopedFetcher(Fetcher& fetcher) : previous_(std::exchange(Slot(), &fetcher)) {}
ScopedFetcher::~ScopedFetcher() {
  Slot() = previous_;
}

}  // namespace quorvel
