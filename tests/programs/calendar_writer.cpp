// Writes the calendar file as the program does after a refresh, from the favourites and series
// files in the data folder of $XDG_DATA_HOME, so that real calendar clients can read it.
//
// Usage: calendar_writer [NOW]
// NOW is seconds since 1970 UTC (default: the clock). Prints the file's path; exit code 1 when
// nothing could be written.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Paths.h"
#include "core/Clock.h"
#include "schedule/CalendarFile.h"

int main(int argc, char** argv) {
  using namespace quorvel;
  const int64_t now = argc > 1 ? std::strtoll(argv[1], nullptr, 10) : Now();
  const std::string folder = DataFolderFromEnvironment();
  if (!WriteCalendarFile(folder, now)) return 1;
  std::printf("%s\n", CalendarFilePath(folder).c_str());
  return 0;
}
