// The agent's downloads run in its helper program (quorvel-fetch): what a server sends arrives as
// the in-process transfer would give it, and a helper that hangs, floods or breaks off costs a
// failed download, never the agent.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/CurlTransport.h"
#include "platform/FetchHelper.h"
#include "platform/FetchWire.h"
#include "support/LoopbackTest.h"
#include "support/Sandbox.h"
#include "support/TestServer.h"
#include "support/UpstreamStub.h"

namespace quorvel {
namespace {

FetchLimits QuickLimits() {
  return test::QuickFetchLimits();
}

void ExpectSameAnswer(const HttpAnswer& helper, const HttpAnswer& inProcess,
                      const std::string& what) {
  EXPECT_EQ(helper.status, inProcess.status) << what;
  EXPECT_EQ(helper.body, inProcess.body) << what;
  EXPECT_EQ(helper.contentType, inProcess.contentType) << what;
  EXPECT_EQ(helper.retryAfter, inProcess.retryAfter) << what;
  EXPECT_EQ(helper.overflowed, inProcess.overflowed) << what;
  EXPECT_EQ(helper.error.empty(), inProcess.error.empty()) << what << ": " << helper.error;
}

// The helper's children of this process still alive (a stopped helper is reaped, not left).
int LiveHelpers() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string pid, name, state, parent;
    if (stat >> pid >> name >> state >> parent && parent == std::to_string(getpid()) &&
        name.find("quorvel-fetch") != std::string::npos)
      ++count;
  }
  return count;
}

class FetchHelperTest : public test::SandboxedTest {
 protected:
  HttpAnswer ThroughHelper(const std::string& url, const FetchLimits& limits = QuickLimits(),
                           const std::atomic<bool>* cancel = nullptr) {
    HelperProcessTransport helper(FETCH_PROGRAM);
    const ScopedHttpTransport installed(helper);
    return HttpGet(url, limits, "Quorvel/2.0", cancel);
  }
  HttpAnswer InProcess(const std::string& url, const FetchLimits& limits = QuickLimits()) {
    CurlTransport curl;
    const ScopedHttpTransport installed(curl);
    return HttpGet(url, limits, "Quorvel/2.0");
  }
  // A stand-in helper: a shell script that reads the request and then does what it is told.
  std::string StandIn(const std::string& body) {
    const std::string path = root() + "/stand-in-" + std::to_string(++standIns_);
    std::ofstream(path) << "#!/bin/sh\ncat >/dev/null\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
  }
  HttpAnswer ThroughStandIn(const std::string& program, FetchLimits limits = QuickLimits()) {
    HelperProcessTransport helper(program);
    const ScopedHttpTransport installed(helper);
    return HttpGet("http://127.0.0.1:1/", limits, "Quorvel/2.0");
  }

 private:
  int standIns_ = 0;
};

TEST_F(FetchHelperTest, AnswersArriveAsTheInProcessTransferGivesThem) {
  test::UpstreamStub upstream;
  std::string binary = "<a>:,1:x,</a>";
  binary += std::string("\0\xff\x01", 3);
  upstream.On("/body", test::UpstreamStub::Response{200, binary, "text/xml; charset=utf-8", {}});
  upstream.On("/missing", test::UpstreamStub::Response{404, "gone", "text/plain", {}});
  upstream.On("/busy",
              test::UpstreamStub::Response{429, "", "text/plain", {{"Retry-After", "120"}}});
  for (const char* path : {"/body", "/missing", "/busy"}) {
    const std::string url = upstream.BaseUrl() + path;
    ExpectSameAnswer(ThroughHelper(url), InProcess(url), path);
  }
  const HttpAnswer body = ThroughHelper(upstream.BaseUrl() + "/body");
  EXPECT_EQ(body.body, binary);
  EXPECT_EQ(ThroughHelper(upstream.BaseUrl() + "/busy").retryAfter, std::chrono::seconds(120));

  test::TestServer server;
  ASSERT_TRUE(server.running());
  for (const char* fault : {"oversized", "gzip-bomb", "redirect-loop", "redirect-file"}) {
    ASSERT_TRUE(server.fault("/x.xml", fault));
    FetchLimits limits = QuickLimits();
    limits.maxBodyBytes = 256 * 1024;
    ExpectSameAnswer(ThroughHelper(server.url("/x.xml"), limits),
                     InProcess(server.url("/x.xml"), limits), fault);
  }
  EXPECT_FALSE(ThroughHelper("http://127.0.0.1:1/").error.empty());
  EXPECT_EQ(LiveHelpers(), 0);
}

TEST_F(FetchHelperTest, ACancelledDownloadStopsItsHelperWithinASecond) {
  test::TestServer server;
  ASSERT_TRUE(server.running());
  ASSERT_TRUE(server.fault("/x.xml", "slow-headers", {{"seconds", "30"}}));
  std::atomic<bool> cancel = false;
  std::jthread canceller([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel = true;
  });
  FetchLimits limits;  // the program's own: only the cancel can end it soon
  const auto start = std::chrono::steady_clock::now();
  const HttpAnswer answer = ThroughHelper(server.url("/x.xml"), limits, &cancel);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.error, "cancelled");
  EXPECT_EQ(LiveHelpers(), 0);
}

TEST_F(FetchHelperTest, AHelperThatMisbehavesIsAFailedDownload) {
  FetchLimits small = QuickLimits();
  small.maxBodyBytes = 1000;
  struct Case {
    const char* what;
    std::string script;
    const char* error;
  };
  const Case cases[] = {
      {"ends without a word", "exit 0", "without a whole answer"},
      {"is killed", "kill -9 $$", "without a whole answer"},
      {"breaks off", "printf '3:200,0:,0:,1:0,0:,10:abc'", "without a whole answer"},
      {"adds bytes", "printf '3:200,0:,0:,1:0,0:,3:abc,x'", "without a whole answer"},
      {"claims a body over the limit", "printf '3:200,0:,0:,1:0,0:,5000:'", "without a whole"},
      {"floods", "exec yes", "larger than the limit"},
      {"never answers", "exec sleep 30", "did not answer in time"},
  };
  for (const Case& c : cases) {
    FetchLimits limits = small;
    limits.totalTimeoutMs = 100;  // the agent waits 5 s past it
    const HttpAnswer answer = ThroughStandIn(StandIn(c.script), limits);
    EXPECT_EQ(answer.status, 0) << c.what;
    EXPECT_TRUE(answer.body.empty()) << c.what;
    EXPECT_NE(answer.error.find(c.error), std::string::npos) << c.what << ": " << answer.error;
  }
  const HttpAnswer whole = ThroughStandIn(StandIn("printf '3:200,9:text/html,0:,1:0,0:,3:abc,'"));
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, "abc");
  EXPECT_EQ(whole.contentType, "text/html");
  EXPECT_NE(ThroughStandIn("").error.find("not installed"), std::string::npos);
  EXPECT_NE(ThroughStandIn(root() + "/nothing-here").error.find("cannot start"), std::string::npos);
}

TEST_F(FetchHelperTest, AHelperStartedAheadServesTheNextDownloadOrEndsUnused) {
  test::UpstreamStub upstream;
  upstream.On("/body", test::UpstreamStub::Response{200, "<a/>", "text/xml", {}});
  HelperProcessTransport helper(FETCH_PROGRAM);
  const ScopedHttpTransport installed(helper);
  helper.StartAhead();
  helper.StartAhead();  // one at a time
  EXPECT_EQ(LiveHelpers(), 1);
  EXPECT_EQ(HttpGet(upstream.BaseUrl() + "/body", QuickLimits(), "Quorvel/2.0").body, "<a/>");
  EXPECT_EQ(LiveHelpers(), 0);

  helper.StartAhead();
  std::this_thread::sleep_for(std::chrono::milliseconds(HelperProcessTransport::kAheadUseMs + 200));
  EXPECT_EQ(HttpGet(upstream.BaseUrl() + "/body", QuickLimits(), "Quorvel/2.0").body, "<a/>");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (LiveHelpers() > 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(LiveHelpers(), 0) << "an unused helper ends by itself";
  EXPECT_EQ(upstream.TotalHits(), 2);
}

TEST(FetchWireTest, ARequestKeepsEveryByteAndBound) {
  FetchRequest request{"http://h/a?b=1:2,3", "Agent, \"quoted\":", QuickLimits()};
  request.limits.maxBodyBytes = 12345;
  const auto decoded = DecodeFetchRequest(EncodeFetchRequest(request));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->url, request.url);
  EXPECT_EQ(decoded->userAgent, request.userAgent);
  EXPECT_EQ(decoded->limits.totalTimeoutMs, 4000);
  EXPECT_EQ(decoded->limits.lowSpeedSeconds, 2);
  EXPECT_EQ(decoded->limits.maxBodyBytes, 12345u);
  for (const char* broken : {"", "4:http,", "x:y,", "-1:,", "99999999999:a,"})
    EXPECT_FALSE(DecodeFetchRequest(broken)) << broken;
  std::string trailing = EncodeFetchRequest(request) + "0:,";
  EXPECT_FALSE(DecodeFetchRequest(trailing));
}

}  // namespace
}  // namespace quorvel
