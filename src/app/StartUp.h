#pragma once

#include <memory>

#include "platform/Desktop.h"
#include "bridge/MessageWindow.h"

namespace quorvel {

// The hidden start-up window: its modal run is the program's main loop. At start it refreshes
// the followed series, checks for an update, and puts the icon into the notification area.
class StartUp : public MessageWindow {
 public:
  explicit StartUp(Desktop desktop);
  ~StartUp() override;

 private:
  LRESULT OnInitDialog();
  void OpenMainWindow();
  void Exit();

  Desktop desktop_;
  std::unique_ptr<TrayIcon> tray_;
};

}  // namespace quorvel
