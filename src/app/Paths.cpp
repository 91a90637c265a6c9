#include "app/Paths.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

#include "core/Guid.h"
#include "core/XdgDirs.h"
#include "platform/RegistryStore.h"

namespace quorvel {
namespace {

// "%NAME%" references replaced from the environment; unknown names stay as written.
std::string ExpandEnvironmentStrings(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('%', pos);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, pos, open - pos);
    const std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    out += value ? std::string(value) : text.substr(open, close - open + 1);
    pos = close + 1;
  }
  out.append(text, pos, std::string::npos);
  return out;
}

}  // namespace

std::string DataFolderFromEnvironment() {
  const std::string base = UserDataDir();
  if (base.empty()) return {};
  const std::string folder = base + "/Quorvel/";
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) g_mkdir_with_parents(folder.c_str(), 0700);
  return folder;
}

std::string ReadRegistryString(RegistryRoot, const std::string& keyPath,
                               const std::string& valueName) {
  const auto value = RegistryStore::Read(keyPath, valueName);
  if (!value) return {};
  switch (value->type) {
    case RegistryType::Sz:
      return value->text;
    case RegistryType::ExpandSz:
      return ExpandEnvironmentStrings(value->text);
    case RegistryType::Dword:
      return {};
  }
  return {};
}

bool AirDayNotificationsOn() {
  const std::optional<std::string> text = RegistryStore::ReadText(kUserIdKey, "notify");
  if (!text) return true;
  std::string value = *text;
  for (const char* prefix : {"REG_SZ:", "REG_DWORD:", "REG_EXPAND_SZ:"}) {
    if (value.rfind(prefix, 0) == 0) value.erase(0, std::string(prefix).size());
  }
  value.erase(0, value.find_first_not_of(" \t"));
  value.erase(value.find_last_not_of(" \t") + 1);
  return value != "0";
}

std::string ReadAnnouncedEpisodes() {
  return ReadRegistryString(RegistryRoot::CurrentUser, kUserIdKey, "announced");
}

bool WriteAnnouncedEpisodes(const std::string& memory) {
  return WriteRegistryString(kUserIdKey, "announced", memory);
}

bool WriteRegistryString(const std::string& keyPath, const std::string& valueName,
                         const std::string& text) {
  return RegistryStore::Write(keyPath, valueName, {RegistryType::Sz, text, 0});
}

bool SetBrowserEmulation() {
  return RegistryStore::Write(kBrowserEmulationKey, "quorvel.exe",
                              {RegistryType::Dword, {}, 10000});
}

std::string GetUserId() {
  std::string id = ReadRegistryString(RegistryRoot::CurrentUser, kUserIdKey, "userid");
  if (id.empty()) {
    id = NewGuidString();
    std::erase(id, '{');
    std::erase(id, '}');
    WriteRegistryString(kUserIdKey, "userid", id);
  }
  return id;
}

}  // namespace quorvel
