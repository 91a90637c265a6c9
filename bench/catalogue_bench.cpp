// The embedded catalogue: TVmaze JSON of a long show mapped to a legacy series document, the map
// of updated shows read, and a series document answered over loopback HTTP from the cache.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <string>

#include "BenchData.h"
#include "catalogue/CatalogueCache.h"
#include "catalogue/CatalogueServer.h"
#include "catalogue/LegacyXml.h"
#include "catalogue/TvmazeMapping.h"

namespace quorvel::bench {
namespace {

std::string LongShowJson(int episodes) {
  std::string json =
      "{\"id\":1,\"name\":\"Long Show\",\"genres\":[\"Drama\"],\"status\":\"Running\","
      "\"premiered\":\"1990-01-01\",\"schedule\":{\"time\":\"20:00\",\"days\":[\"Monday\"]},"
      "\"network\":{\"name\":\"Net\"},\"externals\":{\"imdb\":\"tt1\"},\"image\":{\"medium\":"
      "\"https://static.tvmaze.com/uploads/images/medium_portrait/1/1.jpg\"},\"summary\":\"<p>A "
      "<b>long</b> show &amp; more.</p>\",\"_embedded\":{\"episodes\":[";
  for (int i = 0; i < episodes; ++i) {
    const int day = i % 28 + 1;
    json += (i ? "," : "") + std::string("{\"id\":") + std::to_string(1000 + i) +
            ",\"name\":\"Episode " + std::to_string(i) +
            "\",\"season\":" + std::to_string(i / 20 + 1) +
            ",\"number\":" + std::to_string(i % 20 + 1) + ",\"airdate\":\"2001-02-" +
            (day < 10 ? "0" : "") + std::to_string(day) + "\",\"airstamp\":\"2001-02-" +
            (day < 10 ? "0" : "") + std::to_string(day) +
            "T02:00:00+00:00\",\"image\":{\"medium\":\"https://static.tvmaze.com/uploads/images/"
            "medium_landscape/1/" +
            std::to_string(i) +
            ".jpg\"},\"summary\":\"<p>What happens in this one, with <i>some</i> markup &hellip; "
            "and a second sentence of ordinary length.</p>\"}";
  }
  return json + "]}}";
}

void MapLongShow(benchmark::State& state) {
  const std::string json = LongShowJson(static_cast<int>(state.range(0)));
  state.counters["json_bytes"] = static_cast<double>(json.size());
  for (auto _ : state) {
    auto record = catalogue::MapShow(json);
    benchmark::DoNotOptimize(catalogue::SeriesDocumentXml(*record).size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * json.size()));
}
BENCHMARK(MapLongShow)->Arg(100)->Arg(1000)->Arg(6000)->Unit(benchmark::kMillisecond);

// TVmaze's map of updated shows, about as large as a month's (tens of thousands of shows): read
// once a day and then looked up per cached show.
void MapUpdates(benchmark::State& state) {
  std::string json = "{";
  for (int id = 1; id <= state.range(0); ++id)
    json +=
        (id > 1 ? ",\"" : "\"") + std::to_string(id * 3) + "\":" + std::to_string(1700000000 + id);
  json += "}";
  state.counters["json_bytes"] = static_cast<double>(json.size());
  for (auto _ : state) {
    auto stamps = catalogue::MapShowUpdates(json);
    benchmark::DoNotOptimize(stamps->Find("300"));
  }
}
BENCHMARK(MapUpdates)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

size_t Discard(char*, size_t size, size_t count, void*) {
  return size * count;
}

void CachedSeriesOverHttp(benchmark::State& state) {
  BenchFolder folder;
  setenv("QUORVEL_TVMAZE_URL", "http://127.0.0.1:9", 1);
  catalogue::CatalogueCache().Write("series/1.json",
                                    LongShowJson(static_cast<int>(state.range(0))));
  catalogue::CatalogueServer server;
  if (!server.Start()) {
    state.SkipWithError("the catalogue did not start");
    return;
  }
  const std::string url = "http://" + server.HostAndPort() + "/api/k/series/1/all/en.xml";
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
  for (auto _ : state) {
    if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("no answer");
  }
  curl_easy_cleanup(curl);
  unsetenv("QUORVEL_TVMAZE_URL");
}
BENCHMARK(CachedSeriesOverHttp)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel::bench

BENCHMARK_MAIN();
