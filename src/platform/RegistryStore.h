#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

enum class RegistryType { Sz, ExpandSz, Dword };

struct RegistryValue {
  RegistryType type = RegistryType::Sz;
  std::string text;    // Sz and ExpandSz
  uint32_t dword = 0;  // Dword
};

// The per-user key/value store that stands in for HKEY_CURRENT_USER: one key file under
// $XDG_CONFIG_HOME/quorvel/ (default ~/.config/quorvel/), keys named by their Windows key paths,
// replaced atomically on every write.
class RegistryStore {
 public:
  static std::string FilePath();
  // Empty when the key, the value or the file is missing or unreadable.
  static std::optional<RegistryValue> Read(const std::string& keyPath, const std::string& name);
  // The value's text exactly as the file holds it, for settings a person writes by hand
  // ("notify=0"); empty when missing.
  static std::optional<std::string> ReadText(const std::string& keyPath, const std::string& name);
  // Creates the key when missing; false when the file cannot be written (nothing changes then).
  static bool Write(const std::string& keyPath, const std::string& name,
                    const RegistryValue& value);
};

}  // namespace quorvel
