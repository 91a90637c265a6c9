// The release feed from the network.

#include "FuzzSupport.h"
#include "shows/RssChannel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  static fuzz::BytesFetcher fetcher;
  static ScopedFetcher scoped(fetcher);
  fetcher.body = fuzz::AsString(data, size);
  RssChannel channel;
  channel.ReadFeedFrom("http://fuzz.invalid/other/shows.rss");
  return 0;
}
