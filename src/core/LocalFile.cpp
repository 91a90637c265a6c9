#include "core/LocalFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quorvel {

LocalFileRead ReadLocalFileBytes(const std::string& path, std::size_t maxBytes,
                                 std::string& bytes) {
  bytes.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? LocalFileRead::Missing : LocalFileRead::Failed;
  LocalFileRead outcome = LocalFileRead::Failed;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= maxBytes) {
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) outcome = LocalFileRead::Read;
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
      if (bytes.size() > maxBytes) break;
    }
  }
  close(fd);
  if (outcome != LocalFileRead::Read) bytes.clear();
  return outcome;
}

std::string ReadLocalFile(const std::string& path, std::size_t maxBytes) {
  std::string bytes;
  ReadLocalFileBytes(path, maxBytes, bytes);
  return bytes;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace quorvel
