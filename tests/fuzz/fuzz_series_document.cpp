// A series document from the network, read into a record (and its dates streamed, which must
// agree) and written back as a series file.

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "shows/SeriesRecord.h"

namespace {

// The scratch folder for written series files: in memory where possible (every save flushes to
// disk, which would dominate the run time), kept empty, and removed at exit.
struct ScratchFolder {
  ScratchFolder() {
    std::string pattern =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/quorvel-fuzz-XXXXXX" : "/tmp/quorvel-fuzz-XXXXXX";
    if (mkdtemp(pattern.data())) path = pattern + "/";
  }
  ~ScratchFolder() {
    if (!path.empty()) rmdir(path.c_str());
  }
  std::string path;
};

}  // namespace

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
  // Writing exercises the id rule and the serialiser.
  static const ScratchFolder scratch;
  if (!scratch.path.empty() && record.WriteSeriesFile(scratch.path))
    unlink((scratch.path + record.id + ".xml").c_str());
  return 0;
}
