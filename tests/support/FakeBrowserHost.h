#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bridge/BrowserHost.h"
#include "support/RecordingPage.h"

namespace quorvel::test {

// What a fake browser window saw, kept after the window is gone.
struct BrowserLog {
  int created = 0;
  int destroyed = 0;
  int presented = 0;
  int moveDrags = 0;
  std::vector<std::string> addresses;
  BrowserEvents* events = nullptr;        // valid while the window lives
  RecordingPageScript* script = nullptr;  // valid while the window lives
  std::vector<PageCall> calls;            // every page call, across windows
};

class FakeBrowserHost : public BrowserHost {
 public:
  FakeBrowserHost(BrowserEvents& events, BrowserLog& log, bool canCreate = true);
  ~FakeBrowserHost() override;

  bool Create() override;
  void Navigate(const std::string& address) override { log_.addresses.push_back(address); }
  void BeginMoveDrag() override { ++log_.moveDrags; }
  void Present() override { ++log_.presented; }
  void Destroy() override;
  PageScript* Script() override { return &script_; }

 private:
  class LoggingScript : public RecordingPageScript {
   public:
    explicit LoggingScript(BrowserLog& log) : log_(log) {}
    void Call(const std::string& name, const std::vector<std::string>& args,
              std::function<void(const std::string&)> onError) override;

   private:
    BrowserLog& log_;
  };

  BrowserEvents& events_;
  BrowserLog& log_;
  bool canCreate_;
  bool alive_ = false;
  LoggingScript script_;
};

// A factory for CMainDlg that logs into `log`.
BrowserHostFactory FakeBrowserFactory(BrowserLog& log, bool canCreate = true);

}  // namespace quorvel::test
