#pragma once

#include <string>

namespace quorvel {

// What tells one version of a file from another without reading it: device, inode, size and
// both times (ns). What was read of a file is trusted again only while its stamp is the same.
struct FileStamp {
  bool exists = false;
  unsigned long long device = 0, inode = 0, size = 0;
  long long modified = 0, changed = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOfFile(const std::string& path);

// The wall clock in ns since 1970, for ReadTooSoon.
long long WallClockNs();

// File times move in clock ticks: a file changed within a tick of being read could change again
// in the same tick, keep its size, and look the same. What was read that soon is never trusted.
bool ReadTooSoon(const FileStamp& stamp, long long readAtNs);

}  // namespace quorvel
