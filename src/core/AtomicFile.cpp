#include "core/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "core/Handles.h"
#include "core/LocalFile.h"

namespace quorvel {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
  FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) fsync(fd.get());
}

// A name mkostemp made from path: path + "." + six letters or digits.
bool IsTemporaryOf(const std::string& name, const std::string& base) {
  if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0) return false;
  if (name[base.size()] != '.') return false;
  for (std::size_t i = base.size() + 1; i < name.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

// A save cut short by a crash or a kill leaves its temporary file behind. Only this program makes
// such names, so one that is not fresh (a save in progress takes far less) is such a leftover.
void RemoveLeftoverTemporaries(const std::string& path) {
  constexpr std::time_t kStaleAfterSeconds = 60;
  const std::string folder = FolderOf(path);
  const std::string base = path.substr(path.rfind('/') + 1);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = readdir(dir.get())) {
    if (!IsTemporaryOf(entry->d_name, base)) continue;
    const std::string candidate = folder + "/" + entry->d_name;
    struct stat info;
    if (lstat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        now - info.st_mtime > kStaleAfterSeconds) {
      unlink(candidate.c_str());
    }
  }
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  if (path.empty() || path.back() == '/') return false;
  RemoveLeftoverTemporaries(path);
  std::string temporaryName = path + ".XXXXXX";
  std::vector<char> pattern(temporaryName.begin(), temporaryName.end());
  pattern.push_back('\0');
  FileDescriptor fd(mkostemp(pattern.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  temporaryName.assign(pattern.data());
  const bool written = WriteAll(fd.get(), bytes) && fsync(fd.get()) == 0 && fd.Close();
  if (!written || std::rename(temporaryName.c_str(), path.c_str()) != 0) {
    unlink(temporaryName.c_str());
    return false;
  }
  // The rename is durable only once the folder's entry is on disk. The new file is in place either
  // way, so a failure here is not reported as a failed replacement.
  SyncFolder(FolderOf(path));
  return true;
}

}  // namespace quorvel
