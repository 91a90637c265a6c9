#include "shows/RssChannel.h"

namespace quorvel {

// Placeholder until the feed reader lands.
FieldMap RssChannel::fieldMap() const {
  return {};
}
bool RssChannel::ReadFeed() {
  return false;
}
bool RssChannel::ReadFeedFrom(const std::string&) {
  return false;
}
std::string GetFeedUrl() {
  return {};
}

}  // namespace quorvel
