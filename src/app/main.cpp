// The program's entry: one instance per user, then the hidden start-up window's modal run.

#include <unistd.h>

#include <cstdio>

#include "app/Environment.h"
#include "app/Paths.h"
#include "app/StartUp.h"
#include "bridge/CMainDlg.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "platform/FetchHelper.h"
#include "platform/FetchWire.h"
#include "platform/GioUriLauncher.h"
#include "platform/HttpFetcher.h"
#include "platform/InstanceLock.h"
#include "platform/ResourcePaths.h"
#include "platform/gtk/EndSignals.h"
#include "platform/gtk/GtkDesktop.h"
#include "platform/gtk/GtkStart.h"

int main(int argc, char** argv) {
  using namespace quorvel;
  // The program takes no options; GTK's own are not offered either.
  (void)argc;
  (void)argv;
  // The agent lives for the whole session: it keeps no folder busy, and a file in the starting
  // folder can never be mistaken for one of its icon names (the tray library checks for files).
  if (chdir("/") != 0) std::perror("quorvel: chdir");
  // A start while the agent runs only asks it for its window: that needs no display, and not
  // connecting to one makes "My Shows" from the launcher come sooner.
  InstanceLock lock(InstanceLock::DefaultName());
  if (lock.state() == InstanceLock::State::HeldElsewhere) {
    // Started again from the menu or a terminal: the running agent opens its window instead, so
    // the program stays reachable on desktops that show no tray.
    lock.SignalHolder();
    return 0;
  }
  if (lock.state() == InstanceLock::State::HeldByOtherUser) {
    std::fprintf(stderr, "quorvel: the instance lock is held by another user's process\n");
    return 1;
  }
  if (lock.state() == InstanceLock::State::Failed) {
    std::fprintf(stderr, "quorvel: cannot take the instance lock: %s\n", lock.error().c_str());
    return 1;
  }
  // Each download runs in a helper process of its own, so the TLS libraries never stay in the
  // agent; the first helper loads them while GTK starts.
  HelperProcessTransport transport(FindHelperProgram(kFetchProgramName));
  const ScopedHttpTransport installedTransport(transport);
  transport.StartAhead();
  if (!InitGtk()) {
    std::fprintf(stderr, "quorvel: cannot open the display\n");
    return 1;
  }
  SetBrowserEmulation();
  // Serves TheTVDB's addresses from TVmaze unless QUORVEL_TVDB_HOST is set; ends with main.
  catalogue::EmbeddedCatalogue catalogue;
  // The real adapters and the places, installed here and nowhere else.
  HttpFetcher fetcher;
  const ScopedFetcher installedFetcher(fetcher);
  GioUriLauncher launcher;
  const ScopedUriLauncher installedLauncher(launcher);
  const ScopedPlaces places(ReadPlaces());
  // The series files are read while the tray's windows are made: only the icon's colour waits.
  std::future<int> startupRefresh = BeginStartupRefresh();
  StartUp startUp(MakeGtkDesktop(), std::move(startupRefresh));
  lock.WatchStartedAgain([&startUp] { startUp.Post(WM_COMMAND, ID_MYSHOWS, 0); });
  // A logout, kill or Ctrl-C ends the program as the tray's "Exit" does, main window included.
  EndSignals endSignals([&startUp] {
    if (g_mainDlgOpen && g_mainDlgWindow) g_mainDlgWindow->Post(WM_CLOSE, 0, 0);
    startUp.Post(WM_COMMAND, ID_EXIT, 0);
  });
  return startUp.RunModal();
}
