#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bridge/BrowserHost.h"

namespace quorvel {

// The browser window (WebKit and everything it pulls in) is built as a module of its own,
// libquorvel-browser.so, loaded when the main window first opens: the tray agent never maps
// WebKit, which is most of its memory and of its start-up time.

inline constexpr const char* kBrowserModuleName = "libquorvel-browser.so";
// The module's one entry point: fills host with a new browser window host.
inline constexpr const char* kBrowserModuleEntry = "quorvel_new_browser_host";
using BrowserModuleEntry = void (*)(BrowserEvents* events, const std::vector<std::string>* methods,
                                    std::unique_ptr<BrowserHost>* host);

// A browser window host from the module, which is loaded once and stays loaded; null (with a
// message on stderr) when the module cannot be loaded, so the main window does not open.
std::unique_ptr<BrowserHost> NewBrowserHost(BrowserEvents& events,
                                            const std::vector<std::string>& methodNames);

}  // namespace quorvel
