#include "app/StartUp.h"

#include <malloc.h>

#include <algorithm>

#include "app/Paths.h"
#include "app/UpdateCheck.h"
#include "bridge/CMainDlg.h"
#include "core/Clock.h"
#include "core/NoThrow.h"
#include "platform/CheckTimers.h"
#include "schedule/Announcements.h"
#include "schedule/StartupRefresh.h"

namespace quorvel {

StartUp::StartUp(Desktop desktop) : StartUp(std::move(desktop), std::future<int>()) {}

StartUp::StartUp(Desktop desktop, std::future<int> startupRefresh)
    : desktop_(std::move(desktop)), startupRefresh_(std::move(startupRefresh)) {
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
    count = startupRefresh_.valid() ? startupRefresh_.get() : RefreshFollowedShows();
    CheckForUpdate(desktop_.askOkCancel);
  });
  if (desktop_.makeTrayIcon) tray_ = desktop_.makeTrayIcon(*this);
  if (tray_) tray_->Add(count != 0);
  // On the loop's next turn: the balloon waits for the notification service, the icon's
  // embedding in the tray should not.
  PostCall([this] {
    if (desktop_.showBalloon) desktop_.showBalloon();
  });
  StartRunningChecks();
  return 0;
}

void StartUp::StartRunningChecks() {
  checks_ = std::make_unique<RunningChecks>(
      [this](std::function<void()> call) { PostCall(std::move(call)); },
      [this](const CheckOutcome& outcome) { OnCheckFinished(outcome); });
  schedule_.emplace(Now(), MonotonicSeconds());
  timers_ = std::make_unique<CheckTimers>([this] { LookAtClocks(); });
  ArmNextLook();
  if (desktop_.watchWake) {
    sleepWatch_ = desktop_.watchWake([this] {
      if (checks_) checks_->Request();
    });
  }
  // What start-up counted is announced from the same count, read off the UI thread, which also
  // writes the calendar of this start.
  timers_->Once(desktop_.firstCheckDelayMs, [this] {
    if (checks_) checks_->Request(false);
  });
}

void StartUp::ArmNextLook() {
  int64_t seconds = schedule_->SecondsUntilNext(Now(), MonotonicSeconds());
  // While a check runs its end re-arms; looking more often would only merge into it.
  if (checks_ && checks_->running()) seconds = std::max<int64_t>(seconds, 60);
  timers_->LookAfter(seconds);
}

void StartUp::LookAtClocks() {
  if (!schedule_ || !checks_) return;
  if (schedule_->Look(Now(), MonotonicSeconds())) checks_->Request();
  ArmNextLook();
}

void StartUp::OnCheckFinished(const CheckOutcome& outcome) {
  if (outcome.counted) {
    if (tray_) tray_->SetRed(outcome.count != 0);
    Announce(outcome.today);
  }
  schedule_->Rearm(Now(), MonotonicSeconds());
  ArmNextLook();
  // The check read every series file on its own thread; what it freed goes back to the system
  // (the agent stays in the tray for days).
  malloc_trim(0);
}

void StartUp::Announce(const std::vector<TodayEpisode>& today) {
  if (today.empty() || !desktop_.showToday || !AirDayNotificationsOn()) return;
  const AnnouncementPlan plan = PlanAnnouncement(today, ReadAnnouncedEpisodes(), Now());
  if (plan.announce.empty()) return;
  // Only what was shown counts as announced: without a service, the next check tries again.
  if (desktop_.showToday(AnnouncementLines(plan.announce),
                         [this] { Post(WM_COMMAND, ID_MYSHOWS, 0); })) {
    WriteAnnouncedEpisodes(plan.memory);
  }
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
  // A check under way stops now (within about a second); none starts again, and nothing is
  // announced while an open main window keeps the program a little longer.
  sleepWatch_.reset();
  timers_.reset();
  checks_.reset();
  if (tray_) tray_->Remove();
  Post(WM_CLOSE, 0, 0);
}

std::future<int> BeginStartupRefresh() {
  return NoThrow(std::future<int>(),
                 [] { return std::async(std::launch::async, RefreshFollowedShows); });
}

}  // namespace quorvel
