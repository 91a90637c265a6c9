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

}  // namespace

Fetcher& CurrentFetcher() {
  return *Slot();
}
ScopedFetcher::ScopedFetcher(Fetcher& fetcher) : previous_(std::exchange(Slot(), &fetcher)) {}
ScopedFetcher::~ScopedFetcher() {
  Slot() = previous_;
}

}  // namespace quorvel
