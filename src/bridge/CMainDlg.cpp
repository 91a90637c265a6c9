#include "bridge/CMainDlg.h"

#include <malloc.h>

#include "core/Guid.h"
#include "core/NoThrow.h"
#include "core/NumericText.h"
#include "core/Places.h"
#include "core/UriLauncher.h"
#include "schedule/CurrentlyPlaying.h"
#include "schedule/DetailsView.h"
#include "schedule/Favorites.h"
#include "schedule/SearchView.h"
#include "schedule/ShowViews.h"

namespace quorvel {

CMainDlg* g_mainDlgWindow = nullptr;
bool g_mainDlgOpen = false;

namespace {

// A view reads every followed series and frees it all again; the agent stays in the tray for
// days, so the freed pages go back to the system instead of waiting in the heap.
template <class F>
void RunCommand(F&& command) {
  RunGuarded(std::forward<F>(command));
  malloc_trim(0);
}

}  // namespace

CMainDlg::CMainDlg(BrowserHostFactory hostFactory)
    : hostFactory_(std::move(hostFactory)), page_(*this) {
  MapCommands();
}

CMainDlg::~CMainDlg() {
  page_.SetScript(nullptr);
  if (host_) host_->Destroy();
  // A read ahead the page never asked for ends here, and what it held goes back to the system.
  if (myShowsAhead_.valid()) {
    myShowsAhead_.wait();
    myShowsAhead_ = {};
    malloc_trim(0);
  }
  if (g_mainDlgWindow == this) g_mainDlgWindow = nullptr;
}

std::string CMainDlg::PageAddress() {
  const Places& places = CurrentPlaces();
  const std::string base =
      places.pageHost.empty() ? places.bundledPage : "http://" + places.pageHost + "/main.html";
  return base + "?v=" + places.userId + "&t=" + NewGuidString() +
         (places.catalogueCredit ? "&credit=tvmaze" : "");
}

void CMainDlg::BringToFront() {
  if (host_) host_->Present();
}

void CMainDlg::MapCommands() {
  MapMessage(WM_INITDIALOG, [this](WPARAM, LPARAM) { return OnInitDialog(); });
  MapMessage(WM_CLOSE, [this](WPARAM, LPARAM) { return OnClose(); });
  MapCommand(IDOK, [] {});  // Enter does not close the window.
  MapCommand(IDCANCEL, [this] {
    page_.SetScript(nullptr);
    if (host_) host_->Destroy();
    host_.reset();
    EndDialog(2);
  });
  MapMessage(WM_NCLBUTTONDOWN, [this](WPARAM wParam, LPARAM) -> LRESULT {
    if (wParam == HTCAPTION && host_) host_->BeginMoveDrag();
    return 0;
  });

  auto command = [this](unsigned message, auto&& body) {
    MapMessage(message, [body = std::forward<decltype(body)>(body)](WPARAM, LPARAM lParam) {
      RunCommand([&] { body(static_cast<int32_t>(lParam)); });
      return LRESULT{0};
    });
  };
  command(WM_CHECKCURRENTPLAYING,
          [this](int32_t) { ShowCurrentlyPlaying(page_, currentRowIndex); });
  MapMessage(WM_STORESEARCHTEXT, [this](WPARAM, LPARAM lParam) -> LRESULT {
    RunGuarded([&] {
      pendingSearchText = *reinterpret_cast<const std::string*>(lParam);
      Post(WM_SEARCHSERIES, 0, 0);
    });
    return 0;
  });
  command(WM_SEARCHSERIES, [this](int32_t) { SearchSeries(page_, pendingSearchText); });
  command(WM_STORESERIESID, [this](int32_t id) {
    pendingSeriesId = IntToText(id);
    Post(WM_SHOWSERIESDETAILS, 0, 0);
  });
  command(WM_SHOWSERIESDETAILS,
          [this](int32_t) { ShowSeriesDetails(page_, pendingSeriesId, detailsRecord); });
  command(WM_SHOWSEASON,
          [this](int32_t season) { ShowSeasonEpisodes(page_, detailsRecord, season); });
  command(WM_ADDTOFAVS, [this](int32_t) { AddToFavsCommand(page_, detailsRecord); });
  command(WM_SHOWNEXTSHOWS, [this](int32_t) { ShowNextShowsCommand(page_); });
  command(WM_SHOWRECENTSHOWS, [this](int32_t) { ShowRecentShowsCommand(page_); });
  command(WM_SHOWMYSHOWS, [this](int32_t) { ShowMyShowsCommand(page_, TakeMyShowsReadAhead()); });
  command(WM_REMOVESHOW, [this](int32_t id) { RemoveShowCommand(page_, id); });
}

LRESULT CMainDlg::OnInitDialog() {
  if (hostFactory_) host_ = hostFactory_(*this);
  if (!host_ || !host_->Create()) {
    host_.reset();
    EndDialog(-1);
    return 1;
  }
  g_mainDlgWindow = this;
  // No thread, no read ahead: My Shows then reads when the page asks.
  myShowsAhead_ = NoThrow(std::future<MyShowsRows>(),
                          [] { return std::async(std::launch::async, MyShowsRows::Read); });
  page_.SetScript(host_->Script());
  RunGuarded([this] { host_->Navigate(PageAddress()); });
  return 1;
}

std::optional<MyShowsRows> CMainDlg::TakeMyShowsReadAhead() {
  if (!myShowsAhead_.valid()) return std::nullopt;
  std::future<MyShowsRows> ahead = std::move(myShowsAhead_);
  // A read that failed is read again by the command.
  return NoThrow(std::optional<MyShowsRows>(), [&] { return std::optional(ahead.get()); });
}

LRESULT CMainDlg::OnClose() {
  page_.SetScript(nullptr);
  if (host_) host_->Destroy();
  host_.reset();
  EndDialog(0);
  return 0;
}

void CMainDlg::OnExternalCall(const std::string& name, const std::vector<ScriptValue>& args) {
  RunGuarded([&] { page_.InvokeByName(name, args); });
}

void CMainDlg::OnEscape() {
  Send(WM_COMMAND, IDCANCEL, 0);
}

void CMainDlg::OnCloseRequest() {
  Send(WM_CLOSE, 0, 0);
}

void CMainDlg::OnNewWindowRequest(const std::string& uri) {
  // New windows never open inside the program; web addresses go to the desktop's browser.
  if (uri.rfind("http://", 0) == 0 || uri.rfind("https://", 0) == 0) OpenInBrowser(uri);
}

}  // namespace quorvel
