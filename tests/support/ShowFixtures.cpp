#include "support/ShowFixtures.h"

#include <ctime>

#include "core/AirDate.h"
#include "support/Sandbox.h"

namespace quorvel::test {
namespace {

std::string Element(const std::string& name, const std::string& value) {
  return "<" + name + ">" + XmlEscape(value) + "</" + name + ">\n";
}

}  // namespace

void PrintTo(const PageCall& call, std::ostream* out) {
  *out << call.name << "(";
  for (std::size_t i = 0; i < call.args.size(); ++i)
    *out << (i ? ", \"" : "\"") << call.args[i] << "\"";
  *out << ")";
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SeriesDocument(const SeriesFixture& s) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Data>\n<Series>\n";
  xml += Element("id", s.id) + Element("Actors", s.Actors) +
         Element("Airs_DayOfWeek", s.Airs_DayOfWeek) + Element("Airs_Time", s.Airs_Time) +
         Element("ContentRating", "TV-14") + Element("FirstAired", "2010-01-01") +
         Element("Genre", s.Genre) + Element("IMDB_ID", s.IMDB_ID) + Element("Language", "en") +
         Element("Network", s.Network) + Element("Overview", s.Overview) +
         Element("SeriesName", s.SeriesName) + Element("Status", s.Status) +
         Element("banner", s.banner) + Element("fanart", s.fanart) +
         Element("lastupdated", "1300000000") + Element("poster", s.poster);
  xml += "</Series>\n";
  for (const EpisodeFixture& e : s.episodes) {
    xml += "<Episode>\n" + Element("id", e.id) +
           Element("Combined_episodenumber", e.EpisodeNumber) +
           Element("Combined_season", e.Combined_season) + Element("EpisodeName", e.EpisodeName) +
           Element("EpisodeNumber", e.EpisodeNumber) + Element("FirstAired", e.FirstAired) +
           Element("IMDB_ID", e.IMDB_ID) + Element("Overview", e.Overview) +
           Element("SeasonNumber", e.SeasonNumber) + Element("filename", e.filename) +
           Element("seriesid", s.id) + "</Episode>\n";
  }
  return xml + "</Data>\n";
}

std::string SearchAnswer(const std::vector<SeriesFixture>& hits) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Data>\n";
  for (const SeriesFixture& s : hits) {
    xml += "<Series>\n" + Element("seriesid", s.id) + Element("language", "en") +
           Element("SeriesName", s.SeriesName) + Element("banner", s.banner) +
           Element("Overview", s.Overview) + Element("FirstAired", "2004-09-22") +
           Element("Network", s.Network) + Element("IMDB_ID", s.IMDB_ID) + Element("id", s.id) +
           "</Series>\n";
  }
  return xml + "</Data>\n";
}

std::string FeedDocument(const std::vector<std::pair<std::string, std::string>>& items) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<rss version=\"2.0\" xmlns:showrss=\"http://showrss.info\">\n<channel>\n"
      "<title>showRSS: all shows</title>\n<link>http://showrss.info</link>\n<ttl>30</ttl>\n"
      "<description>releases</description>\n";
  for (const auto& [title, link] : items) {
    xml += "<item>\n" + Element("title", title) + Element("link", link) + Element("guid", link) +
           Element("pubDate", "Mon, 01 Jan 2024 10:00:00 +0000") + Element("description", title) +
           "</item>\n";
  }
  return xml + "</channel>\n</rss>\n";
}

std::string FavoritesDocument(const std::vector<FavoriteShow>& favorites) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Data "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">";
  for (const FavoriteShow& f : favorites) {
    xml += "<Series><DateAdded>" + XmlEscape(f.DateAdded) + "</DateAdded>\r\n<PathToDetails>" +
           XmlEscape(f.PathToDetails) + "</PathToDetails>\r\n<seriesid>" + XmlEscape(f.seriesid) +
           "</seriesid>\r\n</Series>";
  }
  return xml + "</Data>\r\n";
}

FavoriteShow StoreSeries(const std::string& folder, const SeriesFixture& series,
                         const std::string& dateAdded) {
  const std::string path = folder + series.id + ".xml";
  WriteFile(path, SeriesDocument(series));
  return {.seriesid = series.id, .DateAdded = dateAdded, .PathToDetails = path};
}

std::string DaysFromToday(int days) {
  const std::time_t now = static_cast<std::time_t>(Now());
  std::tm tm{};
  localtime_r(&now, &tm);
  tm.tm_mday += days;
  tm.tm_hour = 12;  // away from any daylight-saving jump
  tm.tm_min = tm.tm_sec = 0;
  tm.tm_isdst = -1;
  return FormatLocalDate(static_cast<int64_t>(std::mktime(&tm)));
}

FrozenClock::FrozenClock() : FrozenClock(Now()) {}
FrozenClock::FrozenClock(int64_t at) : now_(at), clock_([at] { return at; }) {}

FetchResult FakeFetcher::Fetch(const std::string& url) {
  requests.push_back(url);
  const auto found = bodies.find(url);
  if (found == bodies.end()) return {false, {}, "connection refused"};
  return {true, found->second, {}};
}

}  // namespace quorvel::test
