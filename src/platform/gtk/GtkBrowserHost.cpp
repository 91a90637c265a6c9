#include "platform/gtk/GtkBrowserHost.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "core/NoThrow.h"
#include "platform/gtk/JscValues.h"
#include "platform/gtk/ProgramIcons.h"

namespace quorvel {
namespace {

constexpr const char* kChannel = "quorvelExternal";
constexpr const char* kTitle = "Quorvel.Net";

// What a batch's completion needs; it may arrive after the window is gone, so it holds its own
// reference to the cancellable and never touches the host.
struct BatchCompletion {
  GObjectPtr<GCancellable> cancellable;
  std::vector<std::function<void(const std::string&)>> onErrors;
  uint64_t ran = 0;  // the host's queued count once this batch has run
  std::function<void(uint64_t)> onSettled;
};

std::string NewToken() {
  gchar* uuid = g_uuid_string_random();
  std::string token(uuid);
  g_free(uuid);
  token.erase(std::remove(token.begin(), token.end(), '-'), token.end());
  return token;
}

// {kBatchArgument: the calls' arguments as JSON text}: one string crosses to the web process,
// which costs far less than a dictionary entry per value.
GVariant* BatchArguments(const std::vector<QueuedPageCall>& calls) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&builder, "{sv}", kBatchArgument,
                        g_variant_new_string(PageCallBatchData(calls).c_str()));
  return g_variant_ref_sink(g_variant_builder_end(&builder));
}

void ReportBatchErrors(BatchCompletion& batch, GError* error, JSCValue* result) {
  if (error) {
    for (auto& onError : batch.onErrors) {
      if (onError) onError(error->message);
    }
    return;
  }
  for (const auto& [index, message] : ReadBatchErrors(result)) {
    if (index >= 0 && static_cast<std::size_t>(index) < batch.onErrors.size() &&
        batch.onErrors[index]) {
      batch.onErrors[index](message);
    }
  }
}

void OnBatchDone(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<BatchCompletion> batch(static_cast<BatchCompletion*>(data));
  GError* error = nullptr;
  GObjectPtr<JSCValue> value(webkit_web_view_call_async_javascript_function_finish(
      WEBKIT_WEB_VIEW(source), result, &error));
  NoThrow([&] {
    // After Destroy nobody is told anything: the page that made the calls is gone.
    if (!g_cancellable_is_cancelled(batch->cancellable.get())) {
      ReportBatchErrors(*batch, error, value.get());
      if (batch->onSettled) batch->onSettled(batch->ran);
    }
  });
  g_clear_error(&error);
}

std::string RequestUri(WebKitNavigationAction* action) {
  WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return uri ? uri : "";
}

}  // namespace

GtkBrowserHost::GtkBrowserHost(BrowserEvents& events, std::vector<std::string> methodNames)
    : events_(events), methodNames_(std::move(methodNames)), token_(NewToken()) {}

GtkBrowserHost::~GtkBrowserHost() {
  Destroy();
}

bool GtkBrowserHost::Create() {
  if (window_) return true;
  BuildContentManager();
  cancellable_.reset(g_cancellable_new());
  // A context of its own per window: when the window goes, its network process goes with the web
  // process, and the tray agent keeps nothing of WebKit running between openings.
  GObjectPtr<WebKitWebContext> context(webkit_web_context_new());
  // A 780 x 552 page of lists needs no GPU: without accelerated compositing the view draws on
  // every X server (a virtual one included) and the web process needs about 50 MB less.
  GObjectPtr<WebKitSettings> settings(webkit_settings_new_with_settings(
      "hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER,
      "enable-developer-extras", FALSE, "javascript-can-open-windows-automatically", FALSE,
      nullptr));
  view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context.get(),
                                       "user-content-manager", contentManager_.get(), "settings",
                                       settings.get(), nullptr));
  BuildWindow();
  gtk_widget_show_all(window_);
  gtk_widget_grab_focus(GTK_WIDGET(view_));
  return true;
}

void GtkBrowserHost::BuildContentManager() {
  contentManager_.reset(webkit_user_content_manager_new());
  WebKitUserContentManager* manager = contentManager_.get();
  // Connected before registering, so that no message can arrive unheard.
  g_signal_connect(manager, (std::string("script-message-received::") + kChannel).c_str(),
                   G_CALLBACK(OnScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler(manager, kChannel);
}

void GtkBrowserHost::BuildWindow() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_title(window, kTitle);
  gtk_window_set_decorated(window, FALSE);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_icon_name(window, ProgramIconName(kIconGrey));
  gtk_widget_set_size_request(GTK_WIDGET(view_), kWidth, kHeight);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));

  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(view_, "button-press-event", G_CALLBACK(OnButtonPress), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(OnContextMenu), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
  CentreInWorkArea();
}

// In the work area of the monitor under the pointer (else the primary one), kept inside it.
void GtkBrowserHost::CentreInWorkArea() {
  GdkDisplay* display = gtk_widget_get_display(window_);
  GdkMonitor* monitor = nullptr;
  GdkSeat* seat = gdk_display_get_default_seat(display);
  if (GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr) {
    int x = 0, y = 0;
    gdk_device_get_position(pointer, nullptr, &x, &y);
    monitor = gdk_display_get_monitor_at_point(display, x, y);
  }
  if (!monitor) monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return;
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  const int x = area.x + std::max(0, (area.width - kWidth) / 2);
  const int y = area.y + std::max(0, (area.height - kHeight) / 2);
  gtk_window_move(GTK_WINDOW(window_), x, y);
}

// The address native code navigates to is the page's: its origin is the one whose documents
// get window.external from now on.
void GtkBrowserHost::Navigate(const std::string& address) {
  if (!view_ || address.empty()) return;
  page_ = PageOriginOf(address);
  WebKitUserContentManager* manager = contentManager_.get();
  webkit_user_content_manager_remove_all_scripts(manager);
  if (page_) {
    const std::string source = ExternalObjectScript(methodNames_, kChannel, token_, page_);
    WebKitUserScript* script =
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
  }
  webkit_web_view_load_uri(view_, address.c_str());
}

bool GtkBrowserHost::ShowsPage() const {
  const char* uri = view_ ? webkit_web_view_get_uri(view_) : nullptr;
  return page_ && uri && IsPageDocument(*page_, uri);
}

void GtkBrowserHost::SetHasDocument(bool hasDocument) {
  if (hasDocument_ == hasDocument) return;
  hasDocument_ = hasDocument;
  events_.OnDocumentChanged(hasDocument);
}

void GtkBrowserHost::BeginMoveDrag() {
  if (!window_ || lastPress_.button == 0 || lastPress_.button > 5) return;
  // A move that starts after the button went up would follow the pointer until the next click.
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window_));
  GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
  if (!gdkWindow || !pointer) return;
  GdkModifierType mask = static_cast<GdkModifierType>(0);
  gdk_window_get_device_position(gdkWindow, pointer, nullptr, nullptr, &mask);
  if (!(mask & (GDK_BUTTON1_MASK << (lastPress_.button - 1)))) return;
  gtk_window_begin_move_drag(GTK_WINDOW(window_), static_cast<gint>(lastPress_.button),
                             static_cast<gint>(lastPress_.rootX),
                             static_cast<gint>(lastPress_.rootY), lastPress_.time);
}

void GtkBrowserHost::Present() {
  if (!window_) return;
  // Asked for from another process, so there is no event of ours to take the time from; a
  // window manager refuses focus to a request without a current time.
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  guint32 time = GDK_CURRENT_TIME;
  if (gdkWindow && GDK_IS_X11_WINDOW(gdkWindow)) time = gdk_x11_get_server_time(gdkWindow);
  gtk_window_present_with_time(GTK_WINDOW(window_), time);
}

void GtkBrowserHost::Destroy() {
  if (!window_) return;
  hasDocument_ = false;
  page_.reset();
  g_cancellable_cancel(cancellable_.get());
  if (flushSource_) g_source_remove(flushSource_);
  flushSource_ = 0;
  pending_.clear();
  g_signal_handlers_disconnect_by_data(contentManager_.get(), this);
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(window_, this);
  webkit_user_content_manager_unregister_script_message_handler(contentManager_.get(), kChannel);
  view_ = nullptr;
  // Destroying the window destroys the view with it, and the view's web process goes too.
  gtk_widget_destroy(std::exchange(window_, nullptr));
  contentManager_.reset();
}

void GtkBrowserHost::Call(const std::string& name, const std::vector<std::string>& args,
                          std::function<void(const std::string& error)> onError) {
  if (!view_) return;
  if (!IsScriptIdentifier(name)) {
    if (onError) onError("SyntaxError: not a function name");
    return;
  }
  Enqueue({{QueuedPageCall::Kind::Function, name, args}, std::move(onError)});
}

void GtkBrowserHost::SetBodyBackground(const std::string& colour) {
  if (view_) Enqueue({{QueuedPageCall::Kind::BodyBackground, {}, {colour}}, nullptr});
}

void GtkBrowserHost::Enqueue(PendingCall pending) {
  pending_.push_back(std::move(pending));
  ++queued_;
  if (!flushSource_) {
    flushSource_ = g_idle_add_full(G_PRIORITY_DEFAULT, OnFlushIdle, this, nullptr);
  }
}

// Everything queued since the last turn goes in one evaluation: one round trip to the web
// process instead of one per row, while each row is still its own page-function call.
void GtkBrowserHost::Flush() {
  if (pending_.empty() || !view_) return;
  std::vector<PendingCall> batch;
  batch.swap(pending_);
  std::vector<QueuedPageCall> calls;
  calls.reserve(batch.size());
  auto completion = std::make_unique<BatchCompletion>();
  completion->cancellable = GObjectPtr<GCancellable>::Ref(cancellable_.get());
  completion->onErrors.reserve(batch.size());
  completion->ran = queued_;
  completion->onSettled = onSettled_;
  for (auto& pending : batch) {
    calls.push_back(std::move(pending.call));
    completion->onErrors.push_back(std::move(pending.onError));
  }
  const std::string body = PageCallBatchBody(calls);
  GVariant* arguments = BatchArguments(calls);
  webkit_web_view_call_async_javascript_function(
      view_, body.c_str(), static_cast<gssize>(body.size()), arguments, nullptr, nullptr,
      cancellable_.get(), OnBatchDone, completion.release());
  g_variant_unref(arguments);
}

gboolean GtkBrowserHost::OnFlushIdle(gpointer self) {
  auto* host = static_cast<GtkBrowserHost*>(self);
  host->flushSource_ = 0;
  NoThrow([&] { host->Flush(); });
  return G_SOURCE_REMOVE;
}

// The handlers below may end with this object deleted (Escape and a close request destroy the
// window synchronously), so nothing touches `self` after calling out.

gboolean GtkBrowserHost::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  NoThrow([&] { static_cast<GtkBrowserHost*>(self)->events_.OnEscape(); });
  return TRUE;
}

gboolean GtkBrowserHost::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
  NoThrow([&] { static_cast<GtkBrowserHost*>(self)->events_.OnCloseRequest(); });
  return TRUE;
}

gboolean GtkBrowserHost::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self) {
  if (event->type == GDK_BUTTON_PRESS) {
    static_cast<GtkBrowserHost*>(self)->lastPress_ = {event->button, event->x_root, event->y_root,
                                                      event->time};
  }
  return FALSE;
}

gboolean GtkBrowserHost::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                       WebKitHitTestResult*, gpointer) {
  return TRUE;  // no menu at all, not even WebKit's Reload and Inspect
}

void GtkBrowserHost::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* host = static_cast<GtkBrowserHost*>(self);
  // window.external exists from the start of each document, and a page asks for its first view
  // as soon as its script runs, long before its images have loaded: the new document takes the
  // page calls from its commit on.
  NoThrow([&] {
    if (event == WEBKIT_LOAD_COMMITTED) host->SetHasDocument(true);
    if (event != WEBKIT_LOAD_FINISHED) return;
    host->SetHasDocument(true);
    host->Enqueue({{QueuedPageCall::Kind::HideScrollBars, {}, {}}, nullptr});
  });
}

// A top-level document from anywhere but the page's origin never replaces the page: the window
// stays where it is and a web address goes to the desktop's browser, as a new window does.
gboolean GtkBrowserHost::DecideResponse(GtkBrowserHost* host,
                                        WebKitResponsePolicyDecision* decision) {
  if (!webkit_response_policy_decision_is_main_frame_main_resource(decision)) return FALSE;
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  const char* uri = response ? webkit_uri_response_get_uri(response) : nullptr;
  if (host->page_ && uri && IsPageDocument(*host->page_, uri)) return FALSE;
  webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
  NoThrow([&] { host->events_.OnNewWindowRequest(uri ? uri : ""); });
  return TRUE;
}

gboolean GtkBrowserHost::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                        WebKitPolicyDecisionType type, gpointer self) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    return DecideResponse(static_cast<GtkBrowserHost*>(self),
                          WEBKIT_RESPONSE_POLICY_DECISION(decision));
  }
  if (type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const std::string uri = RequestUri(action);
  webkit_policy_decision_ignore(decision);
  NoThrow([&] { static_cast<GtkBrowserHost*>(self)->events_.OnNewWindowRequest(uri); });
  return TRUE;
}

GtkWidget* GtkBrowserHost::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self) {
  NoThrow(
      [&] { static_cast<GtkBrowserHost*>(self)->events_.OnNewWindowRequest(RequestUri(action)); });
  return nullptr;  // no window opens inside the program
}

void GtkBrowserHost::OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                            gpointer self) {
  // The page is gone; calls fail as before the first page until a new one has loaded.
  NoThrow([&] { static_cast<GtkBrowserHost*>(self)->SetHasDocument(false); });
}

void GtkBrowserHost::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                     gpointer self) {
  auto* host = static_cast<GtkBrowserHost*>(self);
  // Only the page's own documents hold the token; a message while another document is shown
  // is not the page's.
  if (!host->ShowsPage()) return;
  NoThrow([&] {
    if (auto call = ReadExternalCall(webkit_javascript_result_get_js_value(result), host->token_)) {
      host->events_.OnExternalCall(call->name, call->args);
    }
  });
}

}  // namespace quorvel
