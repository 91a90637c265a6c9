#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bridge/BrowserHost.h"
#include "core/Handles.h"
#include "platform/PageOrigin.h"
#include "platform/PageScriptText.h"

namespace quorvel {

// The main window on GTK: an undecorated window filled by a WebKit view. The page reaches native
// code through window.external, defined by a user script at document start in the top frame;
// native code reaches the page through WebKit's async function calls, queued and sent in order
// once per main-loop turn, with every value passed as an argument.
class GtkBrowserHost final : public BrowserHost, public PageScript {
 public:
  // methodNames: the external methods the page gets, in DISPID order.
  GtkBrowserHost(BrowserEvents& events, std::vector<std::string> methodNames);
  ~GtkBrowserHost() override;
  GtkBrowserHost(const GtkBrowserHost&) = delete;
  GtkBrowserHost& operator=(const GtkBrowserHost&) = delete;

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

  // How many operations have been queued for the page so far, and the handler told the count
  // of those that have run (and reported their errors) each time a batch finishes.
  uint64_t QueuedCount() const { return queued_; }
  void SetSettledHandler(std::function<void(uint64_t ran)> onSettled) {
    onSettled_ = std::move(onSettled);
  }

  // The window's size in pixels (520 x 340 dialog units of an 8-point font).
  static constexpr int kWidth = 780;
  static constexpr int kHeight = 552;

 private:
  struct PendingCall {
    QueuedPageCall call;
    std::function<void(const std::string&)> onError;
  };
  struct ButtonPress {
    guint button = 0;
    gdouble rootX = 0;
    gdouble rootY = 0;
    guint32 time = 0;
  };

  void BuildContentManager();
  void BuildWindow();
  void CentreInWorkArea();
  void Enqueue(PendingCall pending);
  void SetHasDocument(bool hasDocument);
  bool ShowsPage() const;
  void Flush();

  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                gpointer);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean DecideResponse(GtkBrowserHost* host, WebKitResponsePolicyDecision* decision);
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
  static void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                     gpointer self);
  static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                              gpointer self);
  static gboolean OnFlushIdle(gpointer self);

  BrowserEvents& events_;
  std::vector<std::string> methodNames_;
  std::string token_;
  GObjectPtr<WebKitUserContentManager> contentManager_;
  GObjectPtr<GCancellable> cancellable_;
  GtkWidget* window_ = nullptr;  // owned by GTK as a toplevel; destroyed by Destroy()
  WebKitWebView* view_ = nullptr;
  bool hasDocument_ = false;
  // Set by Navigate: the origin whose documents get window.external.
  std::optional<PageOrigin> page_;
  uint64_t queued_ = 0;
  std::function<void(uint64_t)> onSettled_;
  ButtonPress lastPress_;
  std::vector<PendingCall> pending_;
  guint flushSource_ = 0;
};

}  // namespace quorvel
