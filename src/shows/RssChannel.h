#pragma once

#include <string>
#include <vector>

#include "shows/Records.h"

namespace quorvel {

// The release feed's channel with its items in document order.
struct RssChannel {
  std::string title;
  std::string link;
  std::string ttl;
  std::string description;
  std::vector<RssItem> items;

  FieldMap fieldMap() const;

  // Reads the feed from the showRSS host. False when the feed has no item.
  bool ReadFeed();
  // The same from any source (URL or file), for tests and tools.
  bool ReadFeedFrom(const std::string& source);
};

// "http://" + feed host + "/other/shows.rss".
std::string GetFeedUrl();

}  // namespace quorvel
