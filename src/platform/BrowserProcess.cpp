#include "platform/BrowserProcess.h"

#include <gio/gio.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/Handles.h"
#include "platform/ResourcePaths.h"

namespace quorvel {
namespace {

// How long a window program that was told to go may take before it is stopped.
constexpr guint kExitGraceSeconds = 3;
// How long closing the window waits for the program to have taken its window off the screen:
// once the main window is closed (or the agent has ended) no window of it is left.
constexpr int kCloseWaitMs = 2000;

gboolean StopLateProcess(gpointer process) {
  // A no-op for a process that has already ended and been reaped.
  g_subprocess_force_exit(G_SUBPROCESS(process));
  return G_SOURCE_REMOVE;
}

}  // namespace

struct BrowserProcessHost::Process {
  GSubprocess* process = nullptr;

  ~Process() {
    if (!process) return;
    // The program ends by itself once its socket closes; one that does not is stopped.
    g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, kExitGraceSeconds, StopLateProcess, process,
                               g_object_unref);
  }
};

std::unique_ptr<BrowserHost> NewBrowserHost(BrowserEvents& events,
                                            const std::vector<std::string>& methodNames) {
  const std::string path = FindHelperProgram(kBrowserProgramName);
  if (path.empty()) {
    std::fprintf(stderr, "quorvel: cannot find the browser window program %s\n",
                 kBrowserProgramName);
    return nullptr;
  }
  return std::make_unique<BrowserProcessHost>(events, methodNames, std::vector{path});
}

BrowserProcessHost::BrowserProcessHost(BrowserEvents& events, std::vector<std::string> methodNames,
                                       std::vector<std::string> command)
    : events_(events), methodNames_(std::move(methodNames)), command_(std::move(command)) {}

BrowserProcessHost::~BrowserProcessHost() {
  Destroy();
}

bool BrowserProcessHost::Create() {
  if (channel_) return true;
  if (command_.empty()) return false;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
  GSubprocess* process = nullptr;
  GError* error = nullptr;
  {
    GObjectPtr<GSubprocessLauncher> launcher(g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE));
    g_subprocess_launcher_take_fd(launcher.get(), fds[1], kBrowserChannelFd);
    std::vector<const gchar*> argv;
    for (const auto& arg : command_) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    process = g_subprocess_launcher_spawnv(launcher.get(), argv.data(), &error);
  }  // the launcher closes the child's end here
  if (!process) {
    std::fprintf(stderr, "quorvel: cannot start the browser window: %s\n",
                 error ? error->message : "unknown error");
    g_clear_error(&error);
    close(fds[0]);
    return false;
  }
  process_ = std::make_unique<Process>();
  process_->process = process;
  const char* id = g_subprocess_get_identifier(process);
  pid_ = id ? std::atoi(id) : 0;
  channel_ = std::make_unique<WindowChannel>(
      fds[0], [this](WindowMessage message) { OnMessage(std::move(message)); },
      [this] { OnGone(); });
  channel_->Send({WindowMessageType::Open, 0, methodNames_, {}});
  return true;
}

void BrowserProcessHost::Navigate(const std::string& address) {
  if (channel_ && !address.empty()) channel_->Send({WindowMessageType::Navigate, 0, {address}, {}});
}

void BrowserProcessHost::BeginMoveDrag() {
  if (channel_) channel_->Send({WindowMessageType::BeginMoveDrag, 0, {}, {}});
}

void BrowserProcessHost::Present() {
  if (channel_) channel_->Send({WindowMessageType::Present, 0, {}, {}});
}

void BrowserProcessHost::Destroy() {
  hasDocument_ = false;
  onErrors_.clear();
  if (channel_) channel_->CloseAndWaitForPeer(kCloseWaitMs);
  channel_.reset();
  process_.reset();
  pid_ = 0;
}

void BrowserProcessHost::Call(const std::string& name, const std::vector<std::string>& args,
                              std::function<void(const std::string& error)> onError) {
  if (!channel_) return;
  WindowMessage message{WindowMessageType::Call, 0, {name}, {}};
  message.texts.insert(message.texts.end(), args.begin(), args.end());
  if (onError) {
    if (++nextCallId_ == 0) ++nextCallId_;
    message.id = nextCallId_;
    onErrors_[message.id] = std::move(onError);
  }
  channel_->Send(message);
}

void BrowserProcessHost::SetBodyBackground(const std::string& colour) {
  if (channel_) channel_->Send({WindowMessageType::SetBodyBackground, 0, {colour}, {}});
}

// Events may end with this object destroyed (Escape and a close request close the window at
// once), so nothing touches it after calling out.
void BrowserProcessHost::OnMessage(WindowMessage message) {
  switch (message.type) {
    case WindowMessageType::External:
      if (!message.texts.empty()) events_.OnExternalCall(message.texts[0], message.values);
      break;
    case WindowMessageType::Escape:
      events_.OnEscape();
      break;
    case WindowMessageType::CloseRequest:
      events_.OnCloseRequest();
      break;
    case WindowMessageType::NewWindow:
      if (!message.texts.empty()) events_.OnNewWindowRequest(message.texts[0]);
      break;
    case WindowMessageType::Document:
      hasDocument_ = message.id != 0;
      events_.OnDocumentChanged(hasDocument_);
      break;
    case WindowMessageType::CallError: {
      const auto found = onErrors_.find(message.id);
      if (found == onErrors_.end()) break;
      auto onError = std::move(found->second);
      onErrors_.erase(found);
      if (onError) onError(message.texts.empty() ? std::string() : message.texts[0]);
      break;
    }
    case WindowMessageType::Settled:
      onErrors_.erase(onErrors_.begin(), onErrors_.upper_bound(message.id));
      break;
    default:
      break;  // only the agent sends the others
  }
}

// The window program ended (or broke the stream): its window went with it. The main window
// closes as if the window manager had closed it, and the next opening starts a new program.
void BrowserProcessHost::OnGone() {
  hasDocument_ = false;
  onErrors_.clear();
  channel_.reset();
  events_.OnCloseRequest();
}

}  // namespace quorvel
