#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bridge/BrowserHost.h"
#include "bridge/PageScript.h"
#include "platform/BrowserChannel.h"

namespace quorvel {

// The browser window (WebKit and everything it pulls in) lives in a program of its own,
// quorvel-browser, started when the main window opens and ending with it: the tray agent never
// maps WebKit, so its memory is back to its idle size once the window has closed. The agent
// keeps the commands and their order; only the window and its page are on the far side of a
// socket (see BrowserChannel.h).

inline constexpr const char* kBrowserProgramName = "quorvel-browser";
// The descriptor the window program finds its end of the socket on.
inline constexpr int kBrowserChannelFd = 3;

// A browser host in a window program; null (with a message on stderr) when the program is not
// installed, so the main window does not open.
std::unique_ptr<BrowserHost> NewBrowserHost(BrowserEvents& events,
                                            const std::vector<std::string>& methodNames);

// The same host for an explicit program path and arguments (tests start stand-ins).
class BrowserProcessHost final : public BrowserHost, public PageScript {
 public:
  BrowserProcessHost(BrowserEvents& events, std::vector<std::string> methodNames,
                     std::vector<std::string> command);
  ~BrowserProcessHost() override;
  BrowserProcessHost(const BrowserProcessHost&) = delete;
  BrowserProcessHost& operator=(const BrowserProcessHost&) = delete;

  bool Create() override;
  void Navigate(const std::string& address) override;
  void BeginMoveDrag() override;
  void Present() override;
  void Destroy() override;
  PageScript* Script() override { return this; }

  bool HasDocument() const override { return hasDocument_; }
  void Call(const std::string& name, const std::vector<std::string>& args,
            std::function<void(const std::string& error)> onError) override;
  void SetBodyBackground(const std::string& colour) override;

  // The window program's process id while it runs, else 0.
  int ProcessId() const { return pid_; }

 private:
  struct Process;
  void OnMessage(WindowMessage message);
  void OnGone();

  BrowserEvents& events_;
  std::vector<std::string> methodNames_;
  std::vector<std::string> command_;
  std::unique_ptr<WindowChannel> channel_;
  std::unique_ptr<Process> process_;
  int pid_ = 0;
  bool hasDocument_ = false;
  uint32_t nextCallId_ = 0;
  std::map<uint32_t, std::function<void(const std::string&)>> onErrors_;
};

}  // namespace quorvel
