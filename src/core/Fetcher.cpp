#include "core/Fetcher.h"

#include <utility>

#include "platform/CurlFetcher.h"

namespace quorvel {
namespace {

Fetcher*& Slot() {
  static CurlFetcher standard;
  static Fetcher* current = &standard;
  return current;
}

}  // namespace

Fetcher& CurrentFetcher() {
  return *Slot();
}
ScopedFetcher::ScopedFetcher(Fetcher& fetcher) : previous_(std::exchange(Slot(), &fetcher)) {}
ScopedFetcher::~ScopedFetcher() {
  Slot() = previous_;
}

}  // namespace quorvel
