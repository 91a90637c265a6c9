#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/FileStamp.h"

namespace quorvel {

class PageCalls;

// The rows of My Shows read ahead, on any thread: the main window opens long before its page
// asks for its first view. Each file read is stamped (device, inode, size, both times) before it
// is read, so a change made meanwhile, by the agent or anyone, is seen and the rows read again.
class MyShowsRows {
 public:
  static MyShowsRows Read();
  // True when every file read is still the one that was read (or still missing).
  bool StillCurrent() const;

 private:
  friend void ShowMyShowsCommand(PageCalls& page, const std::optional<MyShowsRows>& readAhead);
  struct Row {
    std::string name, id, network, genre, artwork;
  };
  struct Stamp {
    std::string path;
    FileStamp file;
  };

  std::vector<Row> rows_;
  std::vector<Stamp> stamps_;
  long long started_ = 0;  // when the read began, ns since 1970
};

// WM_USER+10: one "PopulateMyShowsTable" per followed series, then "initFinish". Rows read ahead
// are sent when still current, else the files are read now.
void ShowMyShowsCommand(PageCalls& page,
                        const std::optional<MyShowsRows>& readAhead = std::nullopt);
// WM_USER+8: the next episode of each followed series, then "initFinish".
void ShowNextShowsCommand(PageCalls& page);
// WM_USER+9: the latest aired episode of each followed series, then "initFinish".
void ShowRecentShowsCommand(PageCalls& page);

}  // namespace quorvel
