#pragma once

#include <string>

namespace quorvel {

// $XDG_DATA_HOME (else ~/.local/share) + "/Quorvel/", created with its parents; always ends in
// "/". Empty when no home folder can be found. Read once at start into Places::dataFolder.
std::string DataFolderFromEnvironment();

// The per-user id sent to the page server: read from the store, or made and stored on first use.
std::string GetUserId();

enum class RegistryRoot { CurrentUser };
// The text of a REG_SZ or REG_EXPAND_SZ value (the latter expanded from the environment); any
// other type or any failure reads as "".
std::string ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                               const std::string& valueName);
bool WriteRegistryString(const std::string& keyPath, const std::string& valueName,
                         const std::string& text);
// The air-day notification is on unless "notify=0" (or a stored 0) stands beside the user id.
bool AirDayNotificationsOn();
// The episodes already announced, as the settings store keeps them beside the user id.
std::string ReadAnnouncedEpisodes();
bool WriteAnnouncedEpisodes(const std::string& memory);
// Writes the browser-emulation value at every start of a first instance.
bool SetBrowserEmulation();

inline constexpr const char* kUserIdKey = "SOFTWARE\\AppDataLow\\Software\\Quorvel";
inline constexpr const char* kBrowserEmulationKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

}  // namespace quorvel
