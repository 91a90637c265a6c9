// Drives the GTK browser window directly, without the rest of the program: page calls carry
// hostile, Unicode and very large values to the page byte for byte and in order; each kind of
// script value reaches native code as the right ScriptValue; engine errors come back as the
// engine's messages; nothing is reported after Destroy; no web process is left behind.
// Prints the page-call throughput and the memory of the window's processes.
// Usage: bridge_probe PAGE.html   (exit code 0 when every check passed)

#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bridge/MessageWindow.h"
#include "bridge/WebPage.h"
#include "platform/gtk/GtkBrowserHost.h"

using namespace quorvel;

namespace {

int g_failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++g_failures;
}

struct Recorder : BrowserEvents {
  struct Call {
    std::string name;
    std::vector<ScriptValue> args;
  };
  std::vector<Call> calls;
  int escapes = 0;
  void OnExternalCall(const std::string& name, const std::vector<ScriptValue>& args) override {
    calls.push_back({name, args});
  }
  void OnEscape() override { ++escapes; }
  void OnCloseRequest() override {}
  void OnNewWindowRequest(const std::string&) override {}

  // The texts of the SearchCallback calls from index `from` on.
  std::vector<std::string> Texts(std::size_t from = 0) const {
    std::vector<std::string> texts;
    for (std::size_t i = from; i < calls.size(); ++i) {
      if (calls[i].name == "SearchCallback" && calls[i].args.size() == 1) {
        texts.push_back(calls[i].args[0].text);
      }
    }
    return texts;
  }
  std::size_t Count(const std::string& name) const {
    std::size_t n = 0;
    for (const auto& call : calls) n += call.name == name;
    return n;
  }
};

gboolean WakeUp(gpointer) {
  return G_SOURCE_CONTINUE;
}

// Runs the main loop until done() or the time is up.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const gint64 deadline = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  const guint tick = g_timeout_add(5, WakeUp, nullptr);
  bool reached = done();
  while (!reached && g_get_monotonic_time() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    reached = done();
  }
  g_source_remove(tick);
  return reached;
}

std::vector<std::string> MethodNames() {
  MessageWindow unused;
  WebPage page(unused);
  return page.MethodNames();
}

struct ChildProcess {
  int pid;
  std::string name;
  long hwmKb;
};

// Children of this process, with their peak resident memory.
std::vector<ChildProcess> Children() {
  std::vector<ChildProcess> children;
  const std::string self = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream status(entry.path() / "status");
    std::string line, name, ppid;
    long hwm = 0;
    while (std::getline(status, line)) {
      if (line.rfind("Name:", 0) == 0) name = line.substr(line.find_first_not_of(" \t", 5));
      if (line.rfind("PPid:", 0) == 0) ppid = line.substr(line.find_first_not_of(" \t", 5));
      if (line.rfind("VmHWM:", 0) == 0) hwm = std::atol(line.c_str() + 6);
    }
    if (ppid == self) children.push_back({std::stoi(pid), name, hwm});
  }
  return children;
}

long SelfHwmKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

std::string Describe(const ScriptValue& v) {
  switch (v.kind) {
    case ScriptValue::Kind::Undefined:
      return "undefined";
    case ScriptValue::Kind::Null:
      return "null";
    case ScriptValue::Kind::Boolean:
      return v.boolean ? "true" : "false";
    case ScriptValue::Kind::Number: {
      char text[64];
      std::snprintf(text, sizeof text, "%g", v.number);
      return text;
    }
    case ScriptValue::Kind::String:
      return "'" + v.text + "'";
    case ScriptValue::Kind::BodyElement:
      return "body";
    case ScriptValue::Kind::Object:
      return "object";
  }
  return "?";
}

void CheckShape(GtkBrowserHost& host, Recorder& events) {
  const std::size_t from = events.calls.size();
  host.Call("ReportShape", {}, nullptr);
  RunUntil(
      [&] {
        auto t = events.Texts(from);
        return !t.empty() && t.back() == "shape-done";
      },
      5000);
  const auto texts = events.Texts(from);
  std::string keys = "[";
  for (const auto& name : MethodNames()) keys += (keys.size() > 1 ? ",\"" : "\"") + name + "\"";
  keys += "]";
  Check(texts.size() == 5, "shape reported");
  if (texts.size() != 5) return;
  Check(texts[0] == keys, "window.external has the thirteen methods in order: " + texts[0]);
  Check(texts[1] == "undefined", "names are case-sensitive (onclose is undefined)");
  Check(texts[2] == "true", "window.external is frozen");
  Check(texts[3] == "function", "methods are ordinary functions");
  Check(events.Count("OnClose") == 0 && events.Count("ShowSeason") == 0,
        "reading or assigning a method runs nothing");
}

void CheckRoundTrip(GtkBrowserHost& host, Recorder& events) {
  std::string invalid = "bad \xff\xfe utf-8";
  const std::vector<std::string> values = {
      "\"); window.external.OnClose(); (\"",
      "</script><b>x",
      "",
      "Zoë — 🎬 \u2028 line\nbreak\ttab ' \" \\ ${x} `y`",
      std::string(10 * 1024 * 1024, 'q'),
      invalid,
      std::string("cut\0here", 8),
  };
  const std::size_t from = events.calls.size();
  host.Call("Echo", values, nullptr);
  RunUntil([&] { return events.Texts(from).size() == values.size() + 1; }, 10000);
  const auto texts = events.Texts(from);
  Check(texts.size() == values.size() + 1, "every argument came back");
  if (texts.size() != values.size() + 1) return;
  Check(texts[0] == std::to_string(values.size()), "argument count kept: " + texts[0]);
  Check(texts[1] == values[0], "quote-breaking text arrives as text");
  Check(texts[2] == values[1], "markup arrives as text");
  Check(texts[3] == values[2], "empty text");
  Check(texts[4] == values[3], "Unicode, line separators and escapes byte for byte");
  Check(texts[5] == values[4], "a 10 MB text both ways");
  gchar* repaired = g_utf8_make_valid(invalid.c_str(), -1);
  Check(texts[6] == repaired, "invalid UTF-8 is repaired, not refused");
  g_free(repaired);
  Check(texts[7] == "cut", "a text from the page ends at its first NUL");
  const std::size_t before = events.calls.size();
  host.Call("Lengths", {std::string("cut\0here", 8), "abc"}, nullptr);
  RunUntil([&] { return !events.Texts(before).empty(); }, 5000);
  Check(events.Texts(before) == std::vector<std::string>{"8,3"}, "a NUL reaches the page intact");
  Check(events.Count("OnClose") == 0, "nothing in the values ran as script");
}

void CheckKinds(GtkBrowserHost& host, Recorder& events) {
  const std::size_t from = events.calls.size();
  host.Call("Kinds", {}, nullptr);
  RunUntil([&] { return events.Count("GetDetails") > 0; }, 10000);
  std::string got;
  for (std::size_t i = from; i < events.calls.size(); ++i) {
    if (events.calls[i].name != "GetDetails") continue;
    for (const auto& v : events.calls[i].args) got += (got.empty() ? "" : " ") + Describe(v);
  }
  const std::string expected =
      "5 1.5 nan '12' null undefined true body object object object object -0 inf 1.09951e+12 "
      "object object object";
  Check(got == expected, "argument kinds: " + got);
}

void CheckErrorsAndOrder(GtkBrowserHost& host, Recorder& events) {
  std::vector<std::string> errors;
  auto record = [&](const char* tag) {
    return [&errors, tag](const std::string& e) { errors.push_back(std::string(tag) + ": " + e); };
  };
  const std::size_t from = events.calls.size();
  host.Call("NoSuchFunction", {"a"}, record("missing"));
  host.Call("Thrower", {}, record("thrower"));
  host.Call("1bad", {}, record("name"));
  host.Call("Echo", {"after the failures"}, record("echo"));
  RunUntil([&] { return errors.size() >= 3 && events.Texts(from).size() >= 2; }, 5000);
  bool missing = false, thrower = false, name = false;
  for (const auto& e : errors) {
    missing |= e == "missing: ReferenceError: Can't find variable: NoSuchFunction";
    thrower |= e == "thrower: Error: boom";
    name |= e.rfind("name: SyntaxError", 0) == 0;
  }
  Check(missing, "a missing function reports the engine's message");
  Check(thrower, "a throwing function reports its error");
  Check(name, "a name that is not an identifier is refused");
  Check(errors.size() == 3, "no other call failed (" + std::to_string(errors.size()) + ")");
  const auto texts = events.Texts(from);
  Check(texts.size() == 2 && texts[1] == "after the failures", "failures do not stop later calls");
}

void CheckBody(GtkBrowserHost& host, Recorder& events) {
  const std::size_t from = events.calls.size();
  host.SetBodyBackground("rgb(1, 2, 3)");
  host.Call("ReportBody", {}, nullptr);
  RunUntil([&] { return events.Texts(from).size() >= 2; }, 5000);
  const auto texts = events.Texts(from);
  Check(texts.size() == 2 && texts[0] == "rgb(1, 2, 3)", "body background set");
  Check(texts.size() == 2 && texts[1] == "hidden", "body scroll bars hidden");
}

void CheckForgedMessage(GtkBrowserHost& host, Recorder& events) {
  host.Call("ForgeFromFrame", {}, nullptr);
  RunUntil([] { return false; }, 500);
  Check(events.Count("RemoveShow") == 0, "a frame posting to the channel directly is ignored");
}

double TimeRows(GtkBrowserHost& host, Recorder& events, int rows) {
  const std::vector<std::string> args = {"Series <b>", "73",         "1",       "2",
                                         "Name \"x\"", "2024-01-01", "img.jpg", "0",
                                         "ov",         "tt1",        "99",      "tt2"};
  const std::size_t closes = events.Count("OnClose");
  const gint64 start = g_get_monotonic_time();
  for (int i = 0; i < rows; ++i) host.Call("Row", args, nullptr);
  host.Call("Done", {}, nullptr);
  RunUntil([&] { return events.Count("OnClose") > closes; }, 30000);
  const double ms = (g_get_monotonic_time() - start) / 1000.0;
  const auto& last = events.calls.back();
  Check(last.name == "OnClose" && last.args.size() == 1 && last.args[0].number == rows,
        "all " + std::to_string(rows) + " rows arrived, in one piece each");
  return ms;
}

void PrintMemory(const char* when) {
  std::printf("memory %s: program %ld kB", when, SelfHwmKb());
  for (const auto& child : Children()) std::printf(", %s %ld kB", child.name.c_str(), child.hwmKb);
  std::printf(" (peak resident)\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || !gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "usage: bridge_probe PAGE.html (with a display)\n");
    return 2;
  }
  gchar* uri = g_filename_to_uri(std::filesystem::absolute(argv[1]).c_str(), nullptr, nullptr);
  const std::string pageUri = uri ? uri : "";
  g_free(uri);

  Recorder events;
  auto host = std::make_unique<GtkBrowserHost>(events, MethodNames());
  const gint64 opening = g_get_monotonic_time();
  Check(host->Create(), "window created");
  host->Navigate(pageUri);
  Check(RunUntil([&] { return host->HasDocument() && events.Count("ShowMyShows") == 1; }, 15000),
        "page loaded with window.external");
  std::printf("figure: window created to page script running: %.0f ms\n",
              (g_get_monotonic_time() - opening) / 1000.0);

  CheckShape(*host, events);
  CheckRoundTrip(*host, events);
  CheckKinds(*host, events);
  CheckErrorsAndOrder(*host, events);
  CheckBody(*host, events);
  CheckForgedMessage(*host, events);

  host->Call("BigArgument", {}, nullptr);
  RunUntil([&] { return events.Count("OpenURL") > 0; }, 10000);
  Check(events.Count("OpenURL") == 1 && events.calls.back().args[0].text.size() == 10485760,
        "a 10 MB argument from the page arrives whole");

  for (int rows : {500, 5000}) {
    TimeRows(*host, events, rows);  // warm up
    const double ms = TimeRows(*host, events, rows);
    std::printf("figure: %d page calls end to end: %.1f ms (%.1f calls/ms)\n", rows, ms, rows / ms);
  }

  host->Navigate(pageUri);
  Check(RunUntil([&] { return events.Count("ShowMyShows") == 2; }, 15000),
        "a reload gets window.external again");
  PrintMemory("with the window open");

  bool reportedAfterDestroy = false;
  host->Call("NoSuchFunction", {}, [&](const std::string&) { reportedAfterDestroy = true; });
  host->Destroy();
  Check(RunUntil([] { return Children().empty(); }, 10000),
        "no web or network process after Destroy");
  RunUntil([] { return false; }, 300);
  Check(!reportedAfterDestroy, "nothing is reported after Destroy");
  host.reset();

  std::printf("%s: %d failure(s)\n", g_failures ? "FAILED" : "PASSED", g_failures);
  return g_failures ? 1 : 0;
}
