#pragma once

#include <string>

namespace quorvel {

// The XDG base folders, read from the environment at every call (GLib caches its own answers,
// which tests that move the folders cannot use). Empty when no home folder can be found.
std::string UserDataDir();    // $XDG_DATA_HOME or ~/.local/share
std::string UserConfigDir();  // $XDG_CONFIG_HOME or ~/.config
std::string UserCacheDir();   // $XDG_CACHE_HOME or ~/.cache

}  // namespace quorvel
