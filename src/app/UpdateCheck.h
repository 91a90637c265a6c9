#pragma once

#include <functional>
#include <string>

namespace quorvel {

struct UpdateVersion {
  std::string major;
  std::string minor;
  std::string build;
  std::string revision;
};

// "http://" + update host + "/update.xml".
std::string GetUpdateUrl();
// Fills the four fields from the update file (empty when it cannot be read).
bool ReadUpdateVersion(UpdateVersion& version);
// True when the version is newer than this program's own.
bool IsNewerVersion(const UpdateVersion& version);
// Reads the update file and, when it names a newer version, asks; OK opens the set-up address.
bool CheckForUpdate(
    const std::function<bool(const std::string& caption, const std::string& text)>& askOkCancel);

}  // namespace quorvel
