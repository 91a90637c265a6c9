// quorvel-browser: the main window's browser, started by the tray agent for as long as the
// window is open. It talks to the agent over the socket on descriptor kBrowserChannelFd and ends
// when the agent closes it (or goes); the window and WebKit's processes end with it.

#include <fcntl.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <utility>

#include "core/NoThrow.h"
#include "platform/BrowserChannel.h"
#include "platform/BrowserProcess.h"
#include "platform/gtk/GtkBrowserHost.h"
#include "platform/gtk/GtkStart.h"
#include "platform/gtk/ProgramIcons.h"

namespace quorvel {
namespace {

class BrowserWindow final : public BrowserEvents {
 public:
  explicit BrowserWindow(int fd)
      : channel_(
            fd, [this](WindowMessage message) { OnMessage(std::move(message)); },
            [] { gtk_main_quit(); }) {}

  // The agent waits for this end of the socket to close, which happens after this: by then the
  // X server has taken the window away.
  ~BrowserWindow() override {
    if (host_) host_->Destroy();
    if (GdkDisplay* display = gdk_display_get_default()) gdk_display_sync(display);
  }

 private:
  void OnMessage(WindowMessage message) {
    if (message.type == WindowMessageType::Open) {
      Open(std::move(message.texts));
      return;
    }
    if (!host_) return;
    const auto& texts = message.texts;
    switch (message.type) {
      case WindowMessageType::Navigate:
        if (!texts.empty()) host_->Navigate(texts[0]);
        break;
      case WindowMessageType::BeginMoveDrag:
        host_->BeginMoveDrag();
        break;
      case WindowMessageType::Present:
        host_->Present();
        break;
      case WindowMessageType::Call:
        if (!texts.empty()) Call(message.id, texts);
        break;
      case WindowMessageType::SetBodyBackground:
        if (!texts.empty()) host_->SetBodyBackground(texts[0]);
        break;
      default:
        break;  // only this side sends the others
    }
  }

  void Open(std::vector<std::string> methodNames) {
    if (host_) return;
    host_ = std::make_unique<GtkBrowserHost>(*this, std::move(methodNames));
    host_->SetSettledHandler([this](uint64_t ran) { Settled(ran); });
    host_->Create();
  }

  void Call(uint32_t id, const std::vector<std::string>& texts) {
    std::vector<std::string> args(texts.begin() + 1, texts.end());
    std::function<void(const std::string&)> onError;
    if (id != 0) {
      onError = [this, id](const std::string& error) {
        channel_.Send({WindowMessageType::CallError, id, {error}, {}});
      };
    }
    const uint64_t before = host_->QueuedCount();
    host_->Call(texts[0], args, std::move(onError));
    if (id == 0) return;
    if (host_->QueuedCount() != before) {
      queuedIds_.emplace_back(host_->QueuedCount(), id);
    } else {
      // Refused at once (and reported already): nothing of it remains to run.
      channel_.Send({WindowMessageType::Settled, id, {}, {}});
    }
  }

  // The agent forgets the error handlers of calls that have run.
  void Settled(uint64_t ran) {
    uint32_t last = 0;
    while (!queuedIds_.empty() && queuedIds_.front().first <= ran) {
      last = queuedIds_.front().second;
      queuedIds_.pop_front();
    }
    if (last != 0) channel_.Send({WindowMessageType::Settled, last, {}, {}});
  }

  void OnExternalCall(const std::string& name, const std::vector<ScriptValue>& args) override {
    channel_.Send({WindowMessageType::External, 0, {name}, args});
  }
  void OnEscape() override { channel_.Send({WindowMessageType::Escape, 0, {}, {}}); }
  void OnCloseRequest() override { channel_.Send({WindowMessageType::CloseRequest, 0, {}, {}}); }
  void OnNewWindowRequest(const std::string& uri) override {
    channel_.Send({WindowMessageType::NewWindow, 0, {uri}, {}});
  }
  void OnDocumentChanged(bool hasDocument) override {
    channel_.Send({WindowMessageType::Document, hasDocument ? 1u : 0u, {}, {}});
  }

  WindowChannel channel_;
  std::unique_ptr<GtkBrowserHost> host_;
  std::deque<std::pair<uint64_t, uint32_t>> queuedIds_;
};

}  // namespace
}  // namespace quorvel

int main() {
  using namespace quorvel;
  // Started by the agent only: without its socket there is nothing to show.
  if (fcntl(kBrowserChannelFd, F_GETFD) < 0) {
    std::fprintf(stderr, "%s: start Quorvel instead\n", kBrowserProgramName);
    return 2;
  }
  fcntl(kBrowserChannelFd, F_SETFD, FD_CLOEXEC);
  // A page of lists runs its script once per view: the interpreter is quick enough for it, and
  // without the JIT compilers the web process needs about 8 MB less (the web process inherits
  // this from here). A value the user set is left alone.
  g_setenv("JSC_useJIT", "false", FALSE);
  g_set_prgname("quorvel");
  g_set_application_name("Quorvel");
  if (!InitGtk()) {
    std::fprintf(stderr, "%s: cannot open the display\n", kBrowserProgramName);
    return 1;
  }
  RegisterProgramIcons();
  gtk_window_set_default_icon_name(ProgramIconName(kIconGrey));
  const bool ran = RunGuarded([] {
    BrowserWindow window(kBrowserChannelFd);
    gtk_main();
  });
  return ran ? 0 : 1;
}
