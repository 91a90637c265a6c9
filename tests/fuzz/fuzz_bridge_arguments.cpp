// window.external calls as the script side delivers them: a method name and typed arguments.
// Input: the name up to the first NUL, then per argument a kind byte followed by its payload.
// Each call reaches the main window as the browser delivers it, and the commands it posts run
// their real bodies against a recording page, a fake network and a throwaway data folder; OpenURL
// reaches a recording launcher instead of the desktop.

#include <stdlib.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include <filesystem>
#include "FuzzSupport.h"

#include "bridge/CMainDlg.h"
#include "bridge/MessageWindow.h"
#include "core/Fetcher.h"
#include "core/Places.h"
#include "core/UriLauncher.h"
#include "support/FakeBrowserHost.h"

namespace {

using namespace quorvel;

// Every address answers a small but complete document: series, search results or a feed.
class WorldFetcher : public Fetcher {
 public:
  FetchResult Fetch(const std::string& url) override {
    if (url.find("GetSeries.php") != std::string::npos) {
      return {true,
              "<Data><Series><seriesid>73</seriesid><SeriesName>Lost</SeriesName>"
              "<FirstAired>2004-09-22</FirstAired><banner>graphical/73.jpg</banner></Series>"
              "</Data>",
              {}};
    }
    if (url.find(".rss") != std::string::npos) {
      return {true,
              "<rss><channel><item><title>Lost 1x01</title><link>http://x/1</link>"
              "<showrss:showid xmlns:showrss=\"http://showrss.info\">73</showrss:showid>"
              "</item></channel></rss>",
              {}};
    }
    return {true,
            "<Data><Series><id>73</id><SeriesName>Lost</SeriesName><Network>ABC</Network>"
            "<poster>posters/73.jpg</poster></Series><Episode><id>1</id><SeasonNumber>1"
            "</SeasonNumber><EpisodeNumber>1</EpisodeNumber><FirstAired>2004-09-22</FirstAired>"
            "</Episode><Episode><id>2</id><SeasonNumber>1</SeasonNumber><EpisodeNumber>2"
            "</EpisodeNumber><FirstAired>2030-01-01</FirstAired></Episode></Data>",
            {}};
  }
};

class CountingLauncher : public UriLauncher {
 public:
  void Launch(const std::string& uri) override { last = uri; }
  std::string last;
};

// A throwaway data folder and hosts that lead only to the fake network.
Places FuzzPlaces() {
  char pattern[] = "/tmp/quorvel-fuzz-XXXXXX";
  const std::string root = mkdtemp(pattern) ? pattern : "/tmp";
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "HOME"}) {
    setenv(name, root.c_str(), 1);
  }
  Places places;
  places.tvdbHost = "tvdb.fuzz";
  places.feedHost = "feed.fuzz";
  places.updateHost = "update.fuzz";
  places.dataFolder = root + "/Quorvel/";
  std::error_code ignored;
  std::filesystem::create_directories(places.dataFolder, ignored);
  return places;
}

struct World {
  World() { Open(); }
  void Open() {
    if (log.events) return;
    window.Send(WM_INITDIALOG, 0, 0);
  }

  ScopedPlaces placesInstalled{FuzzPlaces()};
  WorldFetcher fetcher;
  ScopedFetcher fetcherInstalled{fetcher};
  CountingLauncher launcher;
  ScopedUriLauncher launcherInstalled{launcher};
  test::BrowserLog log;
  CMainDlg window{test::FakeBrowserFactory(log)};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  const std::string input = fuzz::AsString(data, size);
  const std::size_t nameEnd = std::min(input.find('\0'), input.size());
  const std::string name = input.substr(0, nameEnd);
  std::vector<ScriptValue> args;
  std::size_t pos = nameEnd + 1;
  while (pos < input.size() && args.size() < 8) {
    const uint8_t kind = static_cast<uint8_t>(input[pos++]) % 7;
    ScriptValue value;
    value.kind = static_cast<ScriptValue::Kind>(kind);
    if (value.kind == ScriptValue::Kind::Number && pos + sizeof(double) <= input.size()) {
      std::memcpy(&value.number, input.data() + pos, sizeof(double));
      pos += sizeof(double);
    } else if (value.kind == ScriptValue::Kind::String) {
      const std::size_t end = std::min(input.find('\x01', pos), input.size());
      value.text = input.substr(pos, end - pos);
      pos = end + 1;
    }
    args.push_back(value);
  }
  // OnClose and Escape end the window: it opens again, as the tray menu would open it.
  world.Open();
  if (world.log.events) world.log.events->OnExternalCall(name, args);
  MessageWindow::DrainPosted();
  world.log.calls.clear();
  if (!world.launcher.last.empty()) {
    // Only web and mail addresses reach the desktop, and mail ones without other fields.
    std::string uri = world.launcher.last;
    for (char& c : uri) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (uri.rfind("mailto:", 0) == 0 &&
        (uri.find("?attach") != std::string::npos || uri.find("&attach") != std::string::npos)) {
      __builtin_trap();
    }
    world.launcher.last.clear();
  }
  return 0;
}
