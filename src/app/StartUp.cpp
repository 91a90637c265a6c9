#include "app/StartUp.h"

#include "app/UpdateCheck.h"
#include "bridge/CMainDlg.h"
#include "core/NoThrow.h"
#include "schedule/StartupRefresh.h"

namespace quorvel {

StartUp::StartUp(Desktop desktop) : desktop_(std::move(desktop)) {
  MapMessage(WM_INITDIALOG, [this](WPARAM, LPARAM) { return OnInitDialog(); });
  MapMessage(WM_CLOSE, [this](WPARAM, LPARAM) -> LRESULT {
    EndDialog(0);
    return 0;
  });
  MapCommand(ID_MYSHOWS, [this] { OpenMainWindow(); });
  MapCommand(ID_EXIT, [this] { Exit(); });
}

StartUp::~StartUp() = default;

LRESULT StartUp::OnInitDialog() {
  int count = 0;
  // Start-up goes on to the icon whatever the network or the files did.
  RunGuarded([&] {
    count = RefreshFollowedShows();
    CheckForUpdate(desktop_.askOkCancel);
  });
  if (desktop_.makeTrayIcon) tray_ = desktop_.makeTrayIcon(*this);
  if (tray_) tray_->Add(count != 0);
  if (desktop_.showBalloon) desktop_.showBalloon();
  return 0;
}

void StartUp::OpenMainWindow() {
  if (!g_mainDlgOpen) {
    CMainDlg mainDlg(desktop_.makeBrowserHost);
    g_mainDlgOpen = true;
    mainDlg.RunModal();
    g_mainDlgOpen = false;
  } else if (g_mainDlgWindow) {
    g_mainDlgWindow->BringToFront();
  }
}

void StartUp::Exit() {
  if (tray_) tray_->Remove();
  Post(WM_CLOSE, 0, 0);
}

}  // namespace quorvel
