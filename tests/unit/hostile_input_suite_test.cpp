// Every hostile answer of the reliability suite through the real readers, each in a child process
// so that its peak memory can be measured on its own. Prints one line of figures per case.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/HttpFetcher.h"
#include "shows/RssChannel.h"
#include "shows/SeriesRecord.h"
#include "support/LoopbackTest.h"
#include "support/Sandbox.h"
#include "support/TestServer.h"

namespace quorvel {
namespace {

constexpr const char* kSeriesPath = "/api/9F41B2D07E6A3C15/series/80001/all/en.xml";
constexpr const char* kFeedPath = "/other/shows.rss";
constexpr const char* kMarker = "MARKER-51c9-private-file-content";

#if defined(__SANITIZE_ADDRESS__)
constexpr long kPeakBoundKb = 600 * 1024;  // shadow memory and the quarantine of freed blocks
#else
constexpr long kPeakBoundKb = 200 * 1024;
#endif

FetchLimits SuiteLimits() {
  return test::QuickFetchLimits(10000);
}

// What a reader made of the answer, sent from the child to the test.
struct Outcome {
  bool read = false;
  bool hasContent = false;  // any series field, episode or feed item
  bool leaked = false;      // the marker file's content reached a field
  std::size_t items = 0;
  long startRssKb = 0;
  long elapsedMs = 0;
};

struct Measured {
  Outcome outcome;
  bool finished = false;
  long peakRssKb = 0;
};

long CurrentRssKb() {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  long kb = 0;
  char line[256];
  while (std::fgets(line, sizeof line, status)) {
    if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
  }
  std::fclose(status);
  return kb;
}

// Runs readAnswer in a child; its peak resident memory comes from wait4. A child that has not
// answered within the watchdog time is killed and counts as unfinished.
Measured MeasureInChild(const std::function<Outcome()>& readAnswer) {
  Measured measured;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return measured;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const auto start = std::chrono::steady_clock::now();
    const long startRss = CurrentRssKb();
    Outcome outcome = readAnswer();
    outcome.startRssKb = startRss;
    outcome.elapsedMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count());
    const ssize_t written = write(fds[1], &outcome, sizeof outcome);
    _exit(written == sizeof outcome ? 0 : 1);
  }
  close(fds[1]);
  pollfd ready{fds[0], POLLIN, 0};
  if (child > 0 && poll(&ready, 1, 60000) == 1) {
    measured.finished = read(fds[0], &measured.outcome, sizeof(Outcome)) == sizeof(Outcome);
  }
  close(fds[0]);
  if (child <= 0) return measured;
  if (!measured.finished) kill(child, SIGKILL);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  measured.finished = measured.finished && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  measured.peakRssKb = usage.ru_maxrss;
  return measured;
}

bool Holds(const std::string& text) {
  return text.find(kMarker) != std::string::npos;
}

Outcome ReadSeriesAt(const std::string& url) {
  HttpFetcher fetcher(SuiteLimits());
  ScopedFetcher scoped(fetcher);
  SeriesRecord record;
  Outcome outcome;
  outcome.read = record.ReadSeriesDocument(url);
  outcome.items = record.episodes.size();
  outcome.hasContent = !record.id.empty() || !record.SeriesName.empty() || outcome.items > 0;
  outcome.leaked = Holds(record.SeriesName) || Holds(record.SeriesFileText());
  return outcome;
}

Outcome ReadFeedAt(const std::string& url) {
  HttpFetcher fetcher(SuiteLimits());
  ScopedFetcher scoped(fetcher);
  RssChannel channel;
  Outcome outcome;
  outcome.read = channel.ReadFeedFrom(url);
  outcome.items = channel.items.size();
  outcome.hasContent = !channel.title.empty() || outcome.items > 0;
  for (const RssItem& item : channel.items) outcome.leaked |= Holds(item.title);
  return outcome;
}

std::string Repeated(const std::string& part, int times) {
  std::string text;
  text.reserve(part.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

std::string DeepNesting(int depth) {
  return "<Data>" + Repeated("<Series>", depth) + "<id>1</id>" + Repeated("</Series>", depth) +
         "<Episode><id>2</id></Episode></Data>";
}

std::string InvalidUtf8() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Data><Series><id>1</id><SeriesName>A\xff\xfe"
         "\xc3\x28</SeriesName></Series><Episode><id>2</id></Episode></Data>";
}

std::string WideFeedItem(int children) {
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Feed</title><item>"
         "<title>Wide</title>" +
         Repeated("<category>x</category>", children - 1) + "</item></channel></rss>";
}

enum class Reader { Series, Feed };

struct HostileCase {
  const char* name;
  Reader reader;
  const char* path;
  const char* fault;  // a fault kind, or null when body is installed instead
  std::map<std::string, std::string> params;
  std::function<std::string()> body;
  std::size_t expectedHits = 1;
  std::size_t expectedItems = 0;  // a well-formed but odd document still reads
};

void PrintTo(const HostileCase& hostile, std::ostream* out) {
  *out << hostile.name;
}

const std::vector<HostileCase>& HostileCases() {
  static const std::vector<HostileCase> cases = {
      {"xxe-file", Reader::Series, kSeriesPath, "doctype-file", {{"target", "{marker}"}}, {}},
      {"xxe-http", Reader::Series, kSeriesPath, "doctype-http", {}, {}},
      {"billion-laughs", Reader::Series, kSeriesPath, "billion-laughs", {}, {}},
      {"quadratic-blowup", Reader::Series, kSeriesPath, "quadratic-blowup", {}, {}},
      {"body-200mb", Reader::Series, kSeriesPath, "oversized", {{"megabytes", "200"}}, {}},
      {"gzip-bomb", Reader::Series, kSeriesPath, "gzip-bomb", {}, {}},
      {"redirect-loop", Reader::Series, kSeriesPath, "redirect-loop", {}, {}, 6},
      {"redirect-file",
       Reader::Series,
       kSeriesPath,
       "redirect-file",
       {{"target", "file://{marker}"}},
       {}},
      {"trickle", Reader::Series, kSeriesPath, "trickle", {{"interval", "0.1"}}, {}},
      {"nesting-100000",
       Reader::Series,
       kSeriesPath,
       nullptr,
       {},
       [] { return DeepNesting(100000); }},
      {"invalid-utf8", Reader::Series, kSeriesPath, nullptr, {}, InvalidUtf8},
      {"doctype-only",
       Reader::Series,
       kSeriesPath,
       nullptr,
       {},
       [] { return std::string("<?xml version=\"1.0\"?>\n<!DOCTYPE Data>\n"); }},
      {"feed-item-10000-children",
       Reader::Feed,
       kFeedPath,
       nullptr,
       {},
       [] { return WideFeedItem(10000); },
       1,
       1},
  };
  return cases;
}

class HostileInputSuiteTest : public test::SandboxedTest,
                              public ::testing::WithParamInterface<HostileCase> {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<test::TestServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    SandboxedTest::SetUp();
    ASSERT_TRUE(server_->running());
    ASSERT_TRUE(server_->reset());
  }

  // The case's answer installed, with the marker file's path for the cases that point at a file.
  void Install(const HostileCase& hostile, const std::string& markerPath) {
    if (!hostile.fault) {
      ASSERT_TRUE(server_->put(hostile.path, hostile.body()));
      return;
    }
    std::map<std::string, std::string> params = hostile.params;
    for (auto& [key, value] : params) {
      if (const std::size_t at = value.find("{marker}"); at != std::string::npos)
        value.replace(at, 8, markerPath);
    }
    ASSERT_TRUE(server_->fault(hostile.path, hostile.fault, params));
  }

  static std::unique_ptr<test::TestServer> server_;
};
std::unique_ptr<test::TestServer> HostileInputSuiteTest::server_;

TEST_P(HostileInputSuiteTest, EndsEmptyInTimeWithBoundedMemoryAndNoLocalRead) {
  const HostileCase& hostile = GetParam();
  const std::string markerPath = root() + "/private-marker.txt";
  test::WriteFile(markerPath, kMarker);
  Install(hostile, markerPath);

  const std::string url = server_->url(hostile.path);
  const Measured measured = MeasureInChild(
      [&] { return hostile.reader == Reader::Series ? ReadSeriesAt(url) : ReadFeedAt(url); });
  const Outcome& outcome = measured.outcome;
  std::printf("[figures] %-26s peak %6ld KB (start %6ld KB, +%6ld KB)  %5ld ms\n", hostile.name,
              measured.peakRssKb, outcome.startRssKb, measured.peakRssKb - outcome.startRssKb,
              outcome.elapsedMs);

  ASSERT_TRUE(measured.finished) << "the reader did not end or crashed";
  EXPECT_EQ(outcome.read, hostile.expectedItems > 0);
  EXPECT_EQ(outcome.items, hostile.expectedItems);
  if (hostile.expectedItems == 0) {
    EXPECT_FALSE(outcome.hasContent);
  }
  EXPECT_FALSE(outcome.leaked);
  EXPECT_LT(outcome.elapsedMs, SuiteLimits().totalTimeoutMs + 5000);
  EXPECT_LT(measured.peakRssKb, kPeakBoundKb);

  const std::vector<std::string> hits = server_->hits();
  ASSERT_EQ(hits.size(), hostile.expectedHits);
  EXPECT_EQ(hits.front(), hostile.path);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileInputSuiteTest, ::testing::ValuesIn(HostileCases()),
                         [](const auto& info) {
                           std::string name;
                           for (const char c : std::string(info.param.name))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

}  // namespace
}  // namespace quorvel
