#pragma once

#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "bridge/MessageWindow.h"
#include "platform/Desktop.h"
#include "schedule/CheckSchedule.h"
#include "schedule/RunningCheck.h"

namespace quorvel {

class CheckTimers;

// The hidden start-up window: its modal run is the program's main loop. At start it refreshes
// the followed series, checks for an update, and puts the icon into the notification area. While
// it runs it checks again at every local midnight, on waking and at least every six hours.
class StartUp : public MessageWindow {
 public:
  explicit StartUp(Desktop desktop);
  // With the start's refresh already under way (BeginStartupRefresh): the icon waits for it.
  StartUp(Desktop desktop, std::future<int> startupRefresh);
  ~StartUp() override;

 private:
  LRESULT OnInitDialog();
  void OpenMainWindow();
  void Exit();
  void StartRunningChecks();
  void LookAtClocks();
  void OnCheckFinished(const CheckOutcome& outcome);
  void Announce(const std::vector<TodayEpisode>& today);
  void ArmNextLook();

  Desktop desktop_;
  std::future<int> startupRefresh_;
  std::unique_ptr<TrayIcon> tray_;
  std::optional<CheckSchedule> schedule_;
  std::unique_ptr<CheckTimers> timers_;
  std::unique_ptr<SleepWatch> sleepWatch_;
  // Last, so it goes first: its thread is stopped before anything it reports to.
  std::unique_ptr<RunningChecks> checks_;
};

// Starts the start's refresh and count (RefreshFollowedShows) on a thread of its own, so that it
// runs while the windows and the icon are made; invalid when no thread could start. Once the
// environment no longer changes: the refresh reads it (the time zone, proxies).
std::future<int> BeginStartupRefresh();

}  // namespace quorvel
