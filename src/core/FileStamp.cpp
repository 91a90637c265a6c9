#include "core/FileStamp.h"

#include <sys/stat.h>

#include <ctime>

namespace quorvel {
namespace {

constexpr long long kFileTickNs = 50'000'000;

long long Ns(const timespec& t) {
  return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

}  // namespace

FileStamp StampOfFile(const std::string& path) {
  FileStamp stamp;
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return stamp;
  stamp.exists = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = static_cast<unsigned long long>(info.st_size);
  stamp.modified = Ns(info.st_mtim);
  stamp.changed = Ns(info.st_ctim);
  return stamp;
}

long long WallClockNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return Ns(now);
}

bool ReadTooSoon(const FileStamp& stamp, long long readAtNs) {
  return stamp.exists && stamp.changed > readAtNs - kFileTickNs;
}

}  // namespace quorvel
