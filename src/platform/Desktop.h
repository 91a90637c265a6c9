#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/BrowserHost.h"

namespace quorvel {

class MessageWindow;
class SleepWatch;

// The notification-area icon. Its menu ("My Shows", a separator, "Exit") delivers WM_COMMAND
// with ID_MYSHOWS or ID_EXIT to the owner window.
class TrayIcon {
 public:
  virtual ~TrayIcon() = default;
  // red: icon 206 (an episode dated today) instead of 205.
  virtual void Add(bool red) = 0;
  virtual void Remove() = 0;
  // Changes the image of an added icon in place (its tooltip stays); nothing when not added.
  virtual void SetRed(bool red) = 0;
};

// Everything the tray agent needs from the desktop; the GTK set lives in platform/gtk, tests
// supply fakes.
struct Desktop {
  std::function<std::unique_ptr<TrayIcon>(MessageWindow& owner)> makeTrayIcon;
  // The hello balloon: "Quorvel" / "Right click to get started", 10 s. Silent when impossible.
  std::function<void()> showBalloon;
  // A modal OK/Cancel question with OK the default; true for OK.
  std::function<bool(const std::string& caption, const std::string& text)> askOkCancel;
  BrowserHostFactory makeBrowserHost;
  // The air-day notification ("Today", one line each); a click on it runs onOpen. False when no
  // notification could be shown.
  std::function<bool(const std::vector<std::string>& lines, std::function<void()> onOpen)>
      showToday;
  // Watches for the machine waking from suspend; onWake runs from the main loop.
  std::function<std::unique_ptr<SleepWatch>(std::function<void()> onWake)> watchWake;
  // How long after the icon the first running check (the count that announces the start's
  // episodes) waits: the icon is still being embedded then, and the check reads every file.
  int firstCheckDelayMs = 0;
};

}  // namespace quorvel
