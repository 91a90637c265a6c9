#include "platform/BrowserModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "BuildConfig.h"
#include "platform/ResourcePaths.h"

namespace quorvel {
namespace {

// Beside the program in the build tree, else where the package installs it relative to the
// program (the same tree as the page and the icons).
std::string ModulePath() {
  const std::string exeDir = ExecutableDir();
  if (exeDir.empty()) return {};
  const std::string beside = exeDir + "/" + kBrowserModuleName;
  if (access(beside.c_str(), R_OK) == 0) return beside;
  return exeDir + "/../" + QUORVEL_INSTALL_LIBDIR + "/quorvel/" + kBrowserModuleName;
}

BrowserModuleEntry LoadEntry() {
  const std::string path = ModulePath();
  // Never closed: WebKit's libraries do not expect to be unloaded.
  void* module = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "quorvel: cannot load the browser module: %s\n", dlerror());
    return nullptr;
  }
  auto entry = reinterpret_cast<BrowserModuleEntry>(dlsym(module, kBrowserModuleEntry));
  if (!entry) std::fprintf(stderr, "quorvel: the browser module has no entry point\n");
  return entry;
}

}  // namespace

std::unique_ptr<BrowserHost> NewBrowserHost(BrowserEvents& events,
                                            const std::vector<std::string>& methodNames) {
  static const BrowserModuleEntry entry = LoadEntry();
  std::unique_ptr<BrowserHost> host;
  if (entry) entry(&events, &methodNames, &host);
  return host;
}

}  // namespace quorvel
