#include "catalogue/TvmazeCatalogue.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <utility>
#include <vector>

#include "catalogue/LegacyXml.h"
#include "catalogue/TvmazeMapping.h"

namespace quorvel::catalogue {
namespace {

using Clock = std::chrono::steady_clock;

const char kXmlType[] = "text/xml; charset=utf-8";

std::string BaseFromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  std::string base = value && *value ? value : fallback;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string PercentEncoded(const std::string& text) {
  gchar* escaped = g_uri_escape_string(text.c_str(), nullptr, FALSE);
  std::string out(escaped);
  g_free(escaped);
  return out;
}

bool IsShowId(const std::string& id) {
  if (id.empty() || id.size() > 10) return false;
  for (char c : id)
    if (c < '0' || c > '9') return false;
  return true;
}

std::vector<std::string> PathSegments(const std::string& path) {
  std::vector<std::string> segments;
  std::size_t start = 1;
  while (start <= path.size()) {
    const std::size_t end = path.find('/', start);
    segments.push_back(path.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return segments;
}

CatalogueAnswer XmlAnswer(int status, std::string body) {
  return {status, kXmlType, std::move(body)};
}

// Artwork is passed through; the type comes from the bytes, since cached files keep no headers.
std::string ImageType(const std::string& bytes) {
  auto startsWith = [&](const char* magic, std::size_t at = 0) {
    const std::string m(magic);
    return bytes.size() >= at + m.size() && bytes.compare(at, m.size(), m) == 0;
  };
  if (startsWith("\xFF\xD8\xFF")) return "image/jpeg";
  if (startsWith("\x89PNG")) return "image/png";
  if (startsWith("GIF8")) return "image/gif";
  if (startsWith("RIFF") && startsWith("WEBP", 8)) return "image/webp";
  return "application/octet-stream";
}

}  // namespace

CatalogueOptions CatalogueOptions::FromEnvironment() {
  CatalogueOptions options;
  options.apiBase = BaseFromEnvironment("QUORVEL_TVMAZE_URL", options.apiBase);
  options.imagesBase = BaseFromEnvironment("QUORVEL_TVMAZE_IMAGES_URL", options.imagesBase);
  return options;
}

std::string SearchTextOf(const std::string& rawQuery) {
  const std::string key = "seriesname=";
  std::size_t at = rawQuery.rfind(key, 0) == 0 ? 0 : rawQuery.find("&" + key);
  if (at == std::string::npos) return {};
  if (rawQuery[at] == '&') ++at;
  std::string text = rawQuery.substr(at + key.size());
  for (char& c : text)
    if (c == '+') c = ' ';
  gchar* decoded = g_uri_unescape_string(text.c_str(), nullptr);
  if (!decoded) return text;  // a stray '%' is the user's own text
  std::string out(decoded);
  g_free(decoded);
  return out;
}

TvmazeCatalogue::TvmazeCatalogue(CatalogueOptions options)
    : options_(std::move(options)), limiter_(options_.maxUpstreamCalls, options_.upstreamWindow) {}

CatalogueAnswer TvmazeCatalogue::Answer(const std::string& path, const std::string& rawQuery) {
  if (path == "/api/GetSeries.php") return Search(SearchTextOf(rawQuery));
  const std::string banners = "/banners/";
  if (path.rfind(banners, 0) == 0) return Artwork(path.substr(banners.size()));
  const std::vector<std::string> segments = PathSegments(path);
  if (segments.size() == 6 && segments[0] == "api" && segments[2] == "series" &&
      segments[4] == "all" && segments[5] == "en.xml")
    return Series(segments[3]);
  return {404, "text/plain; charset=utf-8", "not found\n"};
}

CatalogueAnswer TvmazeCatalogue::Search(const std::string& text) {
  const std::string query = Trimmed(XmlSafeText(text));
  if (query.empty()) return XmlAnswer(200, EmptyAnswerXml());
  auto outcome = Obtain<std::vector<SearchResult>>(
      "search/" + HashKey(query) + ".json", options_.searchTtl,
      options_.apiBase + "/search/shows?q=" + PercentEncoded(query),
      [](const std::string& bytes) { return MapSearchResults(bytes); });
  if (!outcome.value) return XmlAnswer(outcome.failureStatus, EmptyAnswerXml());
  return XmlAnswer(200, SearchAnswerXml(*outcome.value));
}

CatalogueAnswer TvmazeCatalogue::Series(const std::string& id) {
  if (!IsShowId(id)) return XmlAnswer(404, EmptyAnswerXml());
  Outcome<SeriesRecord> outcome = ObtainSeries(id);
  if (!outcome.value) return XmlAnswer(outcome.failureStatus, EmptyAnswerXml());
  return XmlAnswer(200, SeriesDocumentXml(*outcome.value));
}

// A show is two calls (the show, then its episodes with specials: the embedded list leaves
// specials out), kept as one entry so both halves always date from the same fetch.
TvmazeCatalogue::Outcome<SeriesRecord> TvmazeCatalogue::ObtainSeries(const std::string& id) {
  const Clock::time_point deadline = Clock::now() + options_.answerBudget;
  const std::string key = "series/" + id + ".json";
  auto parse = [&id](const std::string& bytes) {
    std::optional<SeriesRecord> record = MapShow(bytes);
    // An answer about another show (a merged id) is not this one's.
    if (record && record->id != id) record.reset();
    return record;
  };
  std::optional<SeriesRecord> stale;
  if (std::optional<CatalogueCache::Entry> cached = cache_.Read(key)) {
    std::optional<SeriesRecord> parsed = parse(cached->bytes);
    if (parsed && (cached->ageSeconds < options_.showTtl.count() ||
                   VouchedUnchanged(id, key, *parsed, cached->ageSeconds, deadline)))
      return {std::move(parsed), 200};
    stale = std::move(parsed);
  }
  long status = 0;
  const std::string show = options_.apiBase + "/shows/" + id;
  if (std::optional<std::string> fetched = FetchUpstream(show, deadline, stale.has_value(), status))
    if (std::optional<std::string> episodes =
            FetchUpstream(show + "/episodes?specials=1", deadline, stale.has_value(), status))
      if (std::optional<std::string> entry = ShowWithEpisodes(*fetched, *episodes))
        if (std::optional<SeriesRecord> parsed = parse(*entry)) {
          cache_.Write(key, *entry);
          return {std::move(parsed), 200};
        }
  // Copies from before specials were fetched still stand in for TVmaze when it is away.
  if (!stale)
    if (std::optional<CatalogueCache::Entry> older = cache_.Read("shows/" + id + ".json"))
      stale = parse(older->bytes);
  if (stale) return {std::move(stale), 200};
  return {std::nullopt, status == 404 ? 404 : 502};
}

bool TvmazeCatalogue::VouchedUnchanged(const std::string& id, const std::string& key,
                                       const SeriesInfo& cached, int64_t ageSeconds,
                                       Clock::time_point deadline) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  std::lock_guard<std::mutex> lock(updatesMutex_);
  const int64_t storedAt = now - ageSeconds;
  const ShowUpdatesMap* map = UpdatesCovering(storedAt, now, deadline);
  if (!map || !UnchangedSince(*map, id, cached.lastupdated, storedAt, options_.updates))
    return false;
  // The copy is now known to be current as of the map, so next week's map still covers it.
  cache_.MarkCurrentAt(key, map->fetchedAt - options_.updates.lag);
  return true;
}

const ShowUpdatesMap* TvmazeCatalogue::UpdatesCovering(int64_t storedAt, int64_t now,
                                                       Clock::time_point deadline) {
  for (std::size_t i = 0; i < kUpdatesWindowCount; ++i) {
    UpdatesSlot& slot = updates_[i];
    // A map past its day, or dated ahead of a clock that was set back, speaks for nothing.
    if (slot.map && (now - slot.map->fetchedAt >= options_.updates.maxAge ||
                     slot.map->fetchedAt - now > options_.updates.lag))
      slot.map.reset();
    const std::string key = std::string("updates/") + kUpdatesWindows[i].since + ".json";
    if (!slot.map && !slot.diskRead) {
      slot.diskRead = true;
      if (std::optional<CatalogueCache::Entry> stored = cache_.Read(key))
        if (std::optional<ShowUpdateStamps> stamps = MapShowUpdates(stored->bytes))
          slot.map = ShowUpdatesMap{now - stored->ageSeconds, i, std::move(*stamps)};
    }
    if (slot.map && MapCovers(*slot.map, storedAt, now, options_.updates)) return &*slot.map;
  }
  const std::optional<std::size_t> window = WindowToFetch(storedAt, now, options_.updates);
  if (!window) return nullptr;
  UpdatesSlot& slot = updates_[*window];
  // At most one call a day per span, and a failed one is not repeated at once.
  if (slot.map || now - slot.lastAttempt < options_.updatesRetry.count()) return nullptr;
  slot.lastAttempt = now;
  long status = 0;
  const std::string since = kUpdatesWindows[*window].since;
  std::optional<std::string> fetched =
      FetchUpstream(options_.apiBase + "/updates/shows?since=" + since, deadline, false, status);
  std::optional<ShowUpdateStamps> stamps;
  if (fetched) stamps = MapShowUpdates(*fetched);
  if (!stamps) return nullptr;
  // Dated when it arrived: its span starts that much later than it would have when asked for.
  const int64_t fetchedAt = static_cast<int64_t>(std::time(nullptr));
  cache_.Write("updates/" + since + ".json", *fetched);
  slot.map = ShowUpdatesMap{fetchedAt, *window, std::move(*stamps)};
  return MapCovers(*slot.map, storedAt, fetchedAt, options_.updates) ? &*slot.map : nullptr;
}

CatalogueAnswer TvmazeCatalogue::Artwork(const std::string& path) {
  if (!IsSafeArtworkPath(path)) return {404, "text/plain; charset=utf-8", "not found\n"};
  auto outcome =
      Obtain<std::string>("images/" + HashKey(path), options_.artworkTtl,
                          options_.imagesBase + "/" + path, [](const std::string& bytes) {
                            return bytes.empty() ? std::nullopt : std::optional<std::string>(bytes);
                          });
  if (!outcome.value) return {outcome.failureStatus, "text/plain; charset=utf-8", ""};
  std::string type = ImageType(*outcome.value);
  return {200, std::move(type), std::move(*outcome.value)};
}

void TvmazeCatalogue::PruneCache() {
  cache_.PruneOlderThan(options_.cacheMaxAge);
}

void TvmazeCatalogue::Cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
  }
  wake_.notify_all();
}

template <class T, class Parse>
TvmazeCatalogue::Outcome<T> TvmazeCatalogue::Obtain(const std::string& key,
                                                    std::chrono::seconds ttl,
                                                    const std::string& url, Parse parse) {
  std::optional<T> stale;
  if (std::optional<CatalogueCache::Entry> cached = cache_.Read(key)) {
    std::optional<T> parsed = parse(cached->bytes);
    if (parsed && cached->ageSeconds < ttl.count()) return {std::move(parsed), 200};
    stale = std::move(parsed);
  }
  long status = 0;
  const Clock::time_point deadline = Clock::now() + options_.answerBudget;
  if (std::optional<std::string> fetched =
          FetchUpstream(url, deadline, stale.has_value(), status)) {
    if (std::optional<T> parsed = parse(*fetched)) {
      cache_.Write(key, *fetched);
      return {std::move(parsed), 200};
    }
  }
  if (stale) return {std::move(stale), 200};
  return {std::nullopt, status == 404 ? 404 : 502};
}

std::optional<std::string> TvmazeCatalogue::FetchUpstream(const std::string& url,
                                                          Clock::time_point deadline,
                                                          bool haveStale, long& status) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!TakeUpstreamSlot(deadline, haveStale)) return std::nullopt;
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (remaining.count() <= 0) return std::nullopt;
    UpstreamAnswer answer = UpstreamGet(url, std::min(remaining, options_.upstreamTimeout),
                                        options_.limits, cancelled_);
    status = answer.status;
    if (answer.ok()) return std::move(answer.body);
    if (answer.status != 429) return std::nullopt;
    // Too many requests: nobody calls before the time asked; this answer retries once when the
    // wait is short and nothing older can stand in.
    const std::chrono::seconds wait = answer.retryAfter.value_or(options_.defaultRetryAfter);
    HoldUpstream(Clock::now() + std::min(wait, options_.maxUpstreamHold));
    if (haveStale || wait > options_.maxRetryAfter || Clock::now() + wait >= deadline)
      return std::nullopt;
  }
  return std::nullopt;
}

bool TvmazeCatalogue::TakeUpstreamSlot(Clock::time_point deadline, bool haveStale) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!cancelled_) {
    const Clock::time_point now = Clock::now();
    const Clock::duration wait = limiter_.WaitBefore(now);
    if (wait <= Clock::duration::zero()) {
      limiter_.Record(now);
      return true;
    }
    // With an older copy at hand, serving it beats making the user wait.
    if (haveStale || now + wait >= deadline) return false;
    wake_.wait_until(lock, now + wait);
  }
  return false;
}

void TvmazeCatalogue::HoldUpstream(Clock::time_point until) {
  std::lock_guard<std::mutex> lock(mutex_);
  limiter_.HoldUntil(until);
}

}  // namespace quorvel::catalogue
