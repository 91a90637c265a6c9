#include "shows/Fetcher.h"

#include <utility>

#include "platform/CurlFetcher.h"

namespace quorvel {
namespace {

Fetcher*& Slot() {
  static CurlFetcher standard;
  static Fetcher* current = &standard;
  return current;
}

thread_local const std::atomic<bool>* t_cancel = nullptr;

}  // namespace

ScopedFetchCancel::ScopedFetchCancel(const std::atomic<bool>& flag)
    : previous_(std::exchange(t_cancel, &flag)) {}

ScopedFetchCancel::~ScopedFetchCancel() {
  t_cancel = previous_;
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
