// A series document from the network, read into a record (and its dates streamed, which must
// agree) and written back as a series file.

#include <cstdlib>

#include "FuzzSupport.h"
#include "shows/SeriesRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  static fuzz::BytesFetcher fetcher;
  static ScopedFetcher scoped(fetcher);
  fetcher.body = fuzz::AsString(data, size);
  SeriesRecord record;
  record.ReadSeriesDocument("http://fuzz.invalid/series.xml");
  // The streamed dates must be exactly the dates of the record read from the tree.
  const std::vector<std::string> dates = ReadEpisodeFirstAired("http://fuzz.invalid/series.xml");
  if (dates.size() != record.episodes.size()) std::abort();
  for (std::size_t i = 0; i < dates.size(); ++i) {
    if (dates[i] != record.episodes[i].FirstAired) std::abort();
  }
  // Writing exercises the id rule and the serialiser; the folder is a private scratch folder.
  static const std::string folder = [] {
    char pattern[] = "/tmp/quorvel-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp") + "/";
  }();
  record.WriteSeriesFile(folder);
  return 0;
}
