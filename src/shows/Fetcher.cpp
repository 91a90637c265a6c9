#include "shows/Fetcher.h"

#include <utility>

namespace quorvel {
namespace {

// Placeholder until the libcurl fetcher lands.
class NoFetcher : public Fetcher {
 public:
  FetchResult Fetch(const std::string&) override { return {false, {}, "no fetcher"}; }
};

Fetcher*& Slot() {
  static NoFetcher none;
  static Fetcher* current = &none;
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
