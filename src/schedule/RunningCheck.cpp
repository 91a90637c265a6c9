#include "schedule/RunningCheck.h"

#include <algorithm>
#include <memory>
#include <set>

#include "core/AirDate.h"
#include "core/Clock.h"
#include "core/Fetcher.h"
#include "core/NoThrow.h"
#include "schedule/CalendarFile.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/FollowedSeries.h"
#include "schedule/StartupRefresh.h"

namespace quorvel {

bool StoreDownloadedSeries(const std::string& seriesid, const SeriesRecord& record) {
  // Only a download that yields the series asked for is stored (a failed one keeps DateAdded).
  if (record.id != seriesid) return false;
  FavoriteList current;
  ReadFavorites(current, GetFavoritesPath());
  const bool followed = std::any_of(current.begin(), current.end(),
                                    [&](const FavoriteShow& f) { return f.seriesid == seriesid; });
  if (!followed) return false;
  if (!record.WriteSeriesFile(GetDataFolder())) return false;
  return AddFavorite(current, seriesid);
}

CheckOutcome CountEpisodesToday() {
  CheckOutcome outcome;
  ForEachFollowedSeries([&](const SeriesDocument& series) {
    ForEachDatedEpisode(series, [&](std::size_t i, int64_t airDate) {
      if (!IsDatedToday(airDate, Now())) return;
      ++outcome.count;
      const EpisodeInfo episode = series.Episode(i);
      outcome.today.push_back({series.series().id, episode.id, series.series().SeriesName,
                               episode.SeasonNumber, episode.EpisodeNumber, episode.EpisodeName});
    });
  });
  return outcome;
}

RunningChecks::RunningChecks(Post post, Finished finished)
    : post_(std::move(post)), finished_(std::move(finished)) {}

RunningChecks::~RunningChecks() {
  self_.reset();
  cancelled_ = true;
  {
    std::lock_guard lock(mutex_);
    applied_.notify_all();
  }
  if (worker_.joinable()) worker_.join();
}

bool RunningChecks::Request(bool refresh) {
  if (running_) {
    ++merged_;
    if (refresh && !refreshing_) refreshPending_ = true;
    return false;
  }
  if (worker_.joinable()) worker_.join();
  running_ = true;
  refreshing_ = refresh;
  refreshPending_ = false;
  storesApplied_ = false;
  worker_ = std::thread([this, refresh] { Work(refresh); });
  return true;
}

void RunningChecks::Work(bool refresh) {
  // Whatever fails, the check ends; the next one tries again.
  if (!RunGuarded([&] { Check(refresh); }) && !cancelled_) {
    PostToSelf([](RunningChecks& self) { self.Finish(CheckOutcome{0, {}, 0, false}); });
  }
}

void RunningChecks::Check(bool refresh) {
  {
    const ScopedFetchCancel cancel(cancelled_);
    auto stored = std::make_shared<int>(0);
    if (refresh && FileExists(GetFavoritesPath())) {
      FavoriteList favorites;
      ReadFavorites(favorites, GetFavoritesPath());
      std::set<std::string> tried;
      for (const FavoriteShow& favorite : favorites) {
        if (cancelled_) return;
        if (!tried.insert(favorite.seriesid).second || !IsRefreshDue(favorite)) continue;
        auto record = std::make_shared<SeriesRecord>();
        DownloadSeries(favorite.seriesid, *record);
        if (cancelled_) return;
        if (record->id != favorite.seriesid) continue;
        post_([id = favorite.seriesid, record, stored] {
          if (StoreDownloadedSeries(id, *record)) ++*stored;
        });
      }
      // The count reads what the stores wrote: wait until the UI thread has applied them.
      PostToSelf([](RunningChecks& self) {
        std::lock_guard lock(self.mutex_);
        self.storesApplied_ = true;
        self.applied_.notify_all();
      });
      std::unique_lock lock(mutex_);
      applied_.wait(lock, [this] { return storesApplied_ || cancelled_.load(); });
      if (cancelled_) return;
    }
    CheckOutcome outcome = CountEpisodesToday();
    if (cancelled_) return;
    // After every check, also one that stored nothing (the window of days moves at midnight),
    // here rather than on the UI thread: it reads every series file again. Not once the program
    // is ending: its folders may be going with it.
    WriteCalendarFile(GetDataFolder(), Now());
    if (cancelled_) return;
    PostToSelf([outcome, stored](RunningChecks& self) mutable {
      outcome.stored = *stored;
      self.Finish(outcome);
    });
  }
}

void RunningChecks::PostToSelf(std::function<void(RunningChecks&)> call) {
  // Posted closures run on the UI thread, where this object also ends: one that arrives after
  // the end finds no self and does nothing.
  post_([weak = weakSelf_, call = std::move(call)] {
    if (const auto self = weak.lock()) call(**self);
  });
}

void RunningChecks::Finish(const CheckOutcome& outcome) {
  if (worker_.joinable()) worker_.join();
  running_ = false;
  refreshing_ = false;
  if (finished_) finished_(outcome);
  if (refreshPending_) Request(true);
}

}  // namespace quorvel
