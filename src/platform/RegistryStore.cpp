#include "platform/RegistryStore.h"

#include <glib.h>
#include <glib/gstdio.h>

#include "core/Handles.h"
#include "core/XdgDirs.h"

#include <memory>

namespace quorvel {
namespace {

using KeyFilePtr = GKeyFilePtr;

KeyFilePtr LoadStore() {
  KeyFilePtr file(g_key_file_new());
  g_key_file_load_from_file(file.get(), RegistryStore::FilePath().c_str(), G_KEY_FILE_NONE,
                            nullptr);
  return file;
}

// Values are stored as "TYPE:data" so that the type survives, as the registry keeps it.
std::string Encode(const RegistryValue& value) {
  switch (value.type) {
    case RegistryType::Sz:
      return "REG_SZ:" + value.text;
    case RegistryType::ExpandSz:
      return "REG_EXPAND_SZ:" + value.text;
    case RegistryType::Dword:
      return "REG_DWORD:" + std::to_string(value.dword);
  }
  return {};
}

std::optional<RegistryValue> Decode(const std::string& raw) {
  auto startsWith = [&](const char* prefix) { return raw.rfind(prefix, 0) == 0; };
  RegistryValue value;
  if (startsWith("REG_SZ:")) {
    value.type = RegistryType::Sz;
    value.text = raw.substr(7);
  } else if (startsWith("REG_EXPAND_SZ:")) {
    value.type = RegistryType::ExpandSz;
    value.text = raw.substr(14);
  } else if (startsWith("REG_DWORD:")) {
    value.type = RegistryType::Dword;
    value.dword = static_cast<uint32_t>(g_ascii_strtoull(raw.c_str() + 10, nullptr, 10));
  } else {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::string RegistryStore::FilePath() {
  return UserConfigDir() + "/quorvel/registry.ini";
}

std::optional<RegistryValue> RegistryStore::Read(const std::string& keyPath,
                                                 const std::string& name) {
  KeyFilePtr file = LoadStore();
  GCharPtr raw(g_key_file_get_string(file.get(), keyPath.c_str(), name.c_str(), nullptr));
  if (!raw) return std::nullopt;
  return Decode(raw.get());
}

std::optional<std::string> RegistryStore::ReadText(const std::string& keyPath,
                                                   const std::string& name) {
  KeyFilePtr file = LoadStore();
  GCharPtr raw(g_key_file_get_string(file.get(), keyPath.c_str(), name.c_str(), nullptr));
  if (!raw) return std::nullopt;
  return std::string(raw.get());
}

bool RegistryStore::Write(const std::string& keyPath, const std::string& name,
                          const RegistryValue& value) {
  const std::string path = FilePath();
  GCharPtr folder(g_path_get_dirname(path.c_str()));
  if (g_mkdir_with_parents(folder.get(), 0700) != 0) return false;
  KeyFilePtr file = LoadStore();
  g_key_file_set_string(file.get(), keyPath.c_str(), name.c_str(), Encode(value).c_str());
  gsize length = 0;
  GCharPtr data(g_key_file_to_data(file.get(), &length, nullptr));
  return g_file_set_contents_full(path.c_str(), data.get(), static_cast<gssize>(length),
                                  static_cast<GFileSetContentsFlags>(
                                      G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE),
                                  0600, nullptr);
}

}  // namespace quorvel
