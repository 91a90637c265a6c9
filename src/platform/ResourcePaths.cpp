#include "platform/ResourcePaths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "BuildConfig.h"

namespace quorvel {
std::string ExecutableDir() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

std::string FindDataFile(const std::string& relativePath) {
  std::string candidates[3];
  if (const char* dir = std::getenv("QUORVEL_DATA_DIR"); dir && *dir) candidates[0] = dir;
  if (const std::string exeDir = ExecutableDir(); !exeDir.empty()) {
    candidates[1] = exeDir + "/../share/quorvel";
  }
  candidates[2] = QUORVEL_SOURCE_DIR;
  for (const auto& base : candidates) {
    if (base.empty()) continue;
    const std::string path = base + "/" + relativePath;
    if (access(path.c_str(), R_OK) == 0) {
      std::error_code error;
      const auto canonical = std::filesystem::canonical(path, error);
      return error ? path : canonical.string();
    }
  }
  return {};
}

std::string FindHelperProgram(const std::string& name) {
  const std::string exeDir = ExecutableDir();
  if (exeDir.empty()) return {};
  const std::string beside = exeDir + "/" + name;
  if (access(beside.c_str(), X_OK) == 0) return beside;
  const std::string installed = exeDir + "/../" + QUORVEL_INSTALL_LIBDIR + "/quorvel/" + name;
  return access(installed.c_str(), X_OK) == 0 ? installed : std::string();
}

}  // namespace quorvel
