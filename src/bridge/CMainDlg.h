#pragma once

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "bridge/BrowserHost.h"
#include "bridge/MessageWindow.h"
#include "bridge/WebPage.h"
#include "schedule/ShowViews.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

// The program's only visible window: a borderless browser window showing the page, and the
// dispatcher of the page's commands, which run one at a time in posting order.
class CMainDlg : public MessageWindow, private BrowserEvents {
 public:
  explicit CMainDlg(BrowserHostFactory hostFactory);
  ~CMainDlg() override;

  WebPage& page() { return page_; }
  // Brings the open window to the front.
  void BringToFront();
  // The address the window navigates to: the page server's or the bundled page (from the
  // installed Places), with v, a fresh t, and the catalogue's credit when it answers.
  static std::string PageAddress();

  int32_t currentRowIndex = 0;
  std::string pendingSearchText;
  std::string pendingSeriesId;
  SeriesRecord detailsRecord;

 private:
  void MapCommands();
  LRESULT OnInitDialog();
  LRESULT OnClose();

  void OnExternalCall(const std::string& name, const std::vector<ScriptValue>& args) override;
  void OnEscape() override;
  void OnCloseRequest() override;
  void OnNewWindowRequest(const std::string& uri) override;

  // My Shows, the page's first view, read while the window and its page load; taken once.
  std::optional<MyShowsRows> TakeMyShowsReadAhead();

  BrowserHostFactory hostFactory_;
  std::unique_ptr<BrowserHost> host_;
  WebPage page_;
  std::future<MyShowsRows> myShowsAhead_;
};

// The most recently initialised main window while it lives, else null.
extern CMainDlg* g_mainDlgWindow;
// Set while a main window is being shown.
extern bool g_mainDlgOpen;

}  // namespace quorvel
