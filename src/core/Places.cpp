#include "core/Places.h"

#include <utility>

namespace quorvel {
namespace {

// A pointer, so that putting the previous places back never touches a destroyed object, whatever
// the order in which statics end.
const Places*& Slot() {
  static const Places defaults;
  static const Places* current = &defaults;
  return current;
}

}  // namespace

const Places& CurrentPlaces() {
  return *Slot();
}

ScopedPlaces::ScopedPlaces(Places places)
    : places_(std::move(places)), previous_(std::exchange(Slot(), &places_)) {}

ScopedPlaces::~ScopedPlaces() {
  Slot() = previous_;
}

}  // namespace quorvel
