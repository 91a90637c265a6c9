// Page delivery end to end in the real window: a command's rows go from WebPage through the GTK
// browser window to a page function, one call per row, and the page answers "initFinish" through
// window.external. Timed from the first row issued to native code hearing that answer.
// Usage: page_bench [RUNS]   (needs a display; prints one JSON line of medians last)

#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/MessageWindow.h"
#include "bridge/WebPage.h"
#include "platform/gtk/GtkBrowserHost.h"

using namespace quorvel;

namespace {

// Counts rows and the text they carry, so every argument is really read; "initFinish" reports the
// count back. The first external call says the page is ready.
constexpr const char* kPage = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>page bench</title></head><body><script>
'use strict';
var rows = 0, chars = 0;
function PopulateNextShows() {
  rows++;
  for (var i = 0; i < arguments.length; i++) chars += arguments[i].length;
}
function initFinish() {
  window.external.OnClose(rows);
  rows = 0;
}
window.external.ShowMyShows();
</script></body></html>
)";

struct Events : BrowserEvents {
  int ready = 0;
  int answers = 0;
  double lastCount = -1;
  void OnExternalCall(const std::string& name, const std::vector<ScriptValue>& args) override {
    if (name == "ShowMyShows") ++ready;
    if (name == "OnClose") {
      ++answers;
      lastCount = args.empty() ? -1 : args[0].number;
    }
  }
  void OnEscape() override {}
  void OnCloseRequest() override {}
  void OnNewWindowRequest(const std::string&) override {}
};

gboolean StopWaiting(gpointer flag) {
  *static_cast<bool*>(flag) = true;
  return G_SOURCE_REMOVE;
}

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  bool late = false;
  const guint timer = g_timeout_add(timeoutMs, StopWaiting, &late);
  while (!done() && !late) g_main_context_iteration(nullptr, TRUE);
  if (!late) g_source_remove(timer);
  return done();
}

// A next-shows row as the command sends it: twelve texts, an overview among them.
std::vector<std::string> Row(int i) {
  return {"Series " + std::to_string(i % 200),
          "3",
          std::to_string(i % 20 + 1),
          "Episode name " + std::to_string(i),
          "2024-05-03",
          "0",
          "http://127.0.0.1:9/banners/episodes/1/" + std::to_string(i) + ".jpg",
          std::string(300, 'x'),
          std::to_string(100000 + i),
          "tt0000001",
          std::to_string(i),
          "tt0000002"};
}

// Milliseconds from the first row issued to the page's answer; negative when it never came.
double DeliverRows(WebPage& page, Events& events,
                   const std::vector<std::vector<std::string>>& rows) {
  const int answersBefore = events.answers;
  const gint64 start = g_get_monotonic_time();
  for (const auto& row : rows) page.PopulateNextShows(row);
  page.initFinish();
  if (!RunUntil([&] { return events.answers > answersBefore; }, 30000)) return -1;
  const double ms = (g_get_monotonic_time() - start) / 1000.0;
  return events.lastCount == static_cast<double>(rows.size()) ? ms : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

std::vector<std::string> MethodNames() {
  MessageWindow unused;
  return WebPage(unused).MethodNames();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  // The page runs as in the window program: without the JIT compilers.
  setenv("JSC_useJIT", "false", 0);
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "page_bench: no display\n");
    return 2;
  }
  char folder[] = "/tmp/quorvel-page-bench-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string pagePath = std::string(folder) + "/page.html";
  std::ofstream(pagePath) << kPage;
  gchar* uri = g_filename_to_uri(pagePath.c_str(), nullptr, nullptr);

  Events events;
  auto host = std::make_unique<GtkBrowserHost>(events, MethodNames());
  MessageWindow window;
  WebPage page(window);
  bool ok = host->Create();
  host->Navigate(uri);
  g_free(uri);
  ok = ok && RunUntil([&] { return host->HasDocument() && events.ready > 0; }, 30000);
  page.SetScript(host->Script());

  std::string json = "{";
  for (int count : {500, 5000}) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < count && ok; ++i) rows.push_back(Row(i));
    std::vector<double> times;
    const double first = ok ? DeliverRows(page, events, rows) : -1;  // warms the engine up
    for (int run = 0; run < runs && ok; ++run) {
      const double ms = DeliverRows(page, events, rows);
      ok = ms >= 0;
      times.push_back(ms);
    }
    const double median = ok ? Median(times) : -1;
    std::printf("%d rows: median %.1f ms (min %.1f, max %.1f, first %.1f, %d runs)\n", count,
                median, times.empty() ? -1 : *std::min_element(times.begin(), times.end()),
                times.empty() ? -1 : *std::max_element(times.begin(), times.end()), first, runs);
    json += std::string(json.size() > 1 ? ", " : "") + "\"rows_" + std::to_string(count) +
            "_ms\": " + std::to_string(median);
  }
  std::printf("%s}\n", json.c_str());

  page.SetScript(nullptr);
  host->Destroy();
  host.reset();
  unlink(pagePath.c_str());
  rmdir(folder);
  return ok ? 0 : 1;
}
