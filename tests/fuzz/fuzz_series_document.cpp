// A series document from the network, read into a record (and its dates streamed, which must
// agree), written back as a series file, and put in the calendar, whose every line must be whole
// UTF-8 within 75 octets.

#include <glib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "schedule/CalendarFile.h"
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
  // 2023-11-14: the window takes in the recent dates of the corpus.
  const std::string calendar = CalendarText({record}, 1700000000);
  for (std::size_t start = 0; start < calendar.size();) {
    const std::size_t end = calendar.find("\r\n", start);
    if (end == std::string::npos || end - start > 75) std::abort();
    const std::string_view line(calendar.data() + start, end - start);
    if (line.find_first_of("\r\n") != std::string_view::npos) std::abort();
    if (!g_utf8_validate(line.data(), static_cast<gssize>(line.size()), nullptr)) std::abort();
    start = end + 2;
  }
  // Writing exercises the id rule and the serialiser.
  static const ScratchFolder scratch;
  if (!scratch.path.empty() && record.WriteSeriesFile(scratch.path))
    unlink((scratch.path + record.id + ".xml").c_str());
  return 0;
}
