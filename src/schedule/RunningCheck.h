#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "schedule/Announcements.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

// What a running check found.
struct CheckOutcome {
  int count = 0;                    // followed episodes dated within the last day, as at start
  std::vector<TodayEpisode> today;  // the same episodes, for the air-day notification
  int stored = 0;                   // series files this check downloaded and stored
  bool counted = true;              // false when the check failed before its count
};

// UI thread: stores a series that a running check downloaded. The favourites file is read again
// first, so a series unfollowed meanwhile is not written back, and a follow or unfollow made
// meanwhile is kept; then the file is stored and DateAdded moves to today through the same save
// as the page's commands. False when nothing was written.
bool StoreDownloadedSeries(const std::string& seriesid, const SeriesRecord& record);

// Any thread: the followed episodes dated within the last day, read from the series files.
CheckOutcome CountEpisodesToday();

// The checks of the running agent. Downloads, parsing and reading run on a thread of their own;
// the series files they download are written on the UI thread, through closures handed to post
// (which must queue them behind the page's commands, from any thread). The calendar file is
// rewritten on the check's thread after each count (its writers take turns). One check at a
// time.
class RunningChecks {
 public:
  using Post = std::function<void(std::function<void()>)>;
  using Finished = std::function<void(const CheckOutcome&)>;

  RunningChecks(Post post, Finished finished);
  // Stops a running check: a download in flight is abandoned within about a second, nothing
  // half-done is written (each store is whole or absent).
  ~RunningChecks();
  RunningChecks(const RunningChecks&) = delete;
  RunningChecks& operator=(const RunningChecks&) = delete;

  // UI thread. Starts a check: the refresh of the due series (unless refresh is false), then the
  // count and the calendar. A request while a check runs is merged into it, as its count is taken
  // after its downloads; a refresh asked for during a count-only check follows it. True when one
  // started.
  bool Request(bool refresh = true);
  bool running() const { return running_; }
  int mergedRequests() const { return merged_; }

 private:
  void Work(bool refresh);
  void Check(bool refresh);
  void Finish(const CheckOutcome& outcome);
  void PostToSelf(std::function<void(RunningChecks&)> call);

  Post post_;
  Finished finished_;
  std::shared_ptr<RunningChecks*> self_ = std::make_shared<RunningChecks*>(this);
  const std::weak_ptr<RunningChecks*> weakSelf_ = self_;  // the worker copies only this
  std::thread worker_;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::condition_variable applied_;
  bool storesApplied_ = false;
  bool running_ = false;
  bool refreshing_ = false;
  bool refreshPending_ = false;
  int merged_ = 0;
};

}  // namespace quorvel
