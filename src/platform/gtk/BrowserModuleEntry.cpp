// The entry point of libquorvel-browser.so, named as kBrowserModuleEntry says.

#include "core/NoThrow.h"
#include "platform/BrowserModule.h"
#include "platform/gtk/GtkBrowserHost.h"

extern "C" __attribute__((visibility("default"))) void quorvel_new_browser_host(
    quorvel::BrowserEvents* events, const std::vector<std::string>* methods,
    std::unique_ptr<quorvel::BrowserHost>* host) {
  // No exception crosses into the program: a host that could not be made stays null.
  quorvel::NoThrow([&] { *host = std::make_unique<quorvel::GtkBrowserHost>(*events, *methods); });
}
