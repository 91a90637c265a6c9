#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/PageScript.h"
#include "bridge/ScriptValue.h"

namespace quorvel {

// What the browser window tells the main window.
class BrowserEvents {
 public:
  virtual ~BrowserEvents() = default;
  // window.external.NAME(args...) was called by the page.
  virtual void OnExternalCall(const std::string& name, const std::vector<ScriptValue>& args) = 0;
  // Escape was pressed in the window.
  virtual void OnEscape() = 0;
  // The window manager asked the window to close.
  virtual void OnCloseRequest() = 0;
  // The page asked for a new window (target="_blank", window.open).
  virtual void OnNewWindowRequest(const std::string& uri) = 0;
  // Whether a document takes page calls changed (see PageScript::HasDocument).
  virtual void OnDocumentChanged(bool /*hasDocument*/) {}
};

// The borderless window with its web view, as the main window drives it. The program's host is
// a window program on the far side of a socket (platform/BrowserProcess.h), whose GTK window
// lives in platform/gtk; tests use a fake.
class BrowserHost {
 public:
  virtual ~BrowserHost() = default;
  // Creates and shows the window with its web view; false when that is not possible.
  virtual bool Create() = 0;
  virtual void Navigate(const std::string& address) = 0;
  // Starts the desktop's window move at the pointer, while a button is down.
  virtual void BeginMoveDrag() = 0;
  virtual void Present() = 0;
  // Destroys the window and the web view; no web process is left.
  virtual void Destroy() = 0;
  // The page backend, valid between Create and Destroy.
  virtual PageScript* Script() = 0;
};

using BrowserHostFactory = std::function<std::unique_ptr<BrowserHost>(BrowserEvents& events)>;

}  // namespace quorvel
