// The catalogue's connections as a long session and a hostile neighbour see them: keep-alive
// connections the browser leaves behind, silent and half-sent ones, too many at once, a full
// descriptor table, and requests for another host name.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/CatalogueServer.h"
#include "support/DescriptorsExhausted.h"
#include "support/Sandbox.h"

namespace quorvel::catalogue {
namespace {

using namespace std::chrono_literals;

// A blank search is answered without asking anybody upstream.
const char kBlankSearch[] = "/api/GetSeries.php?seriesname=";

class Socket {
 public:
  explicit Socket(int port) { Connect(port); }
  Socket() = default;  // not connected yet
  ~Socket() { Close(); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Connecting takes no new descriptor.
  bool Connect(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    return connected_;
  }

  bool connected() const { return connected_; }
  void Send(const std::string& bytes) const {
    ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // What arrives until the peer closes, the answer is complete (its headers and Content-Length
  // bytes), or the time is up.
  std::string Receive(std::chrono::milliseconds within = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!Complete() && !closedByPeer_) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closedByPeer_ = true;
        break;
      }
      received_.append(buffer, static_cast<std::size_t>(n));
    }
    return std::exchange(received_, {});
  }
  // True when the server closes the connection within the time.
  bool ClosedByPeerWithin(std::chrono::milliseconds within) {
    Receive(within);
    return closedByPeer_;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  bool Complete() const {
    const std::size_t end = received_.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const std::size_t length = received_.find("Content-Length: ");
    if (length == std::string::npos || length > end) return true;
    return received_.size() >= end + 4 + std::stoul(received_.substr(length + 16));
  }

  int fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool connected_ = false;
  bool closedByPeer_ = false;
  std::string received_;
};

std::string Request(const std::string& host, const std::string& path = kBlankSearch) {
  return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: keep-alive\r\n\r\n";
}

int StatusOf(const std::string& answer) {
  return answer.starts_with("HTTP/1.") && answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0;
}

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class CatalogueConnectionsTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    // Nobody listens there: nothing in these tests may reach upstream.
    setenv("QUORVEL_TVMAZE_URL", "http://127.0.0.1:9", 1);
    setenv("QUORVEL_TVMAZE_IMAGES_URL", "http://127.0.0.1:9", 1);
  }
  void TearDown() override {
    server_.reset();
    unsetenv("QUORVEL_TVMAZE_URL");
    unsetenv("QUORVEL_TVMAZE_IMAGES_URL");
    SandboxedTest::TearDown();
  }
  void Start(ServerLimits limits = {}) {
    server_ = std::make_unique<CatalogueServer>(CatalogueOptions::FromEnvironment(), limits);
    ASSERT_TRUE(server_->Start());
  }
  int port() const { return server_->port(); }
  std::string host() const { return server_->HostAndPort(); }

  std::unique_ptr<CatalogueServer> server_;
};

TEST_F(CatalogueConnectionsTest, KeepAliveConnectionsGoWhenThePeerIsDone) {
  ServerLimits limits;
  limits.idleTimeout = 30s;  // far beyond the test: only the peer's end may close them
  Start(limits);
  const int before = OpenDescriptors();
  for (int round = 0; round < 5; ++round) {
    std::vector<std::unique_ptr<Socket>> browser;
    for (int i = 0; i < 6; ++i) {
      browser.push_back(std::make_unique<Socket>(port()));
      browser.back()->Send(Request(host()));
      ASSERT_EQ(StatusOf(browser.back()->Receive()), 200);
    }
  }  // the web context went away with its sockets
  std::this_thread::sleep_for(100ms);
  int open = OpenDescriptors();
  for (int i = 0; i < 30 && open > before; ++i) {
    std::this_thread::sleep_for(100ms);
    open = OpenDescriptors();
  }
  EXPECT_LE(open, before) << "descriptors left behind by 30 finished connections";
}

TEST_F(CatalogueConnectionsTest, SilentAndHalfSentConnectionsAreDroppedAfterAFewSeconds) {
  ServerLimits limits;
  limits.idleTimeout = 1s;
  Start(limits);
  Socket silent(port());
  Socket halfSent(port());
  halfSent.Send("GET /api/GetSeries.php?seriesname=x HTTP/1.1\r\nHost: " + host() + "\r\nX-Slow: ");
  Socket idleAfterAnswer(port());
  idleAfterAnswer.Send(Request(host()));
  EXPECT_EQ(StatusOf(idleAfterAnswer.Receive()), 200);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(silent.ClosedByPeerWithin(5s));
  EXPECT_TRUE(halfSent.ClosedByPeerWithin(5s));
  EXPECT_TRUE(idleAfterAnswer.ClosedByPeerWithin(5s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
  Socket later(port());
  later.Send(Request(host()));
  EXPECT_EQ(StatusOf(later.Receive()), 200) << "the server still answers";
}

TEST_F(CatalogueConnectionsTest, ConnectionsPastTheCapAreAnsweredBusy) {
  ServerLimits limits;
  limits.maxConnections = 4;
  Start(limits);
  std::vector<std::unique_ptr<Socket>> held;
  for (int i = 0; i < 4; ++i) held.push_back(std::make_unique<Socket>(port()));
  std::this_thread::sleep_for(200ms);
  Socket extra(port());
  EXPECT_EQ(StatusOf(extra.Receive()), 503) << "answered at once, before it says anything";
  held.clear();
  std::this_thread::sleep_for(300ms);
  Socket next(port());
  next.Send(Request(host()));
  EXPECT_EQ(StatusOf(next.Receive()), 200);
}

TEST_F(CatalogueConnectionsTest, AFullDescriptorTableIsWaitedOutWithoutSpinningAndServedAfter) {
  Start();
  std::vector<std::unique_ptr<Socket>> waiting;
  for (int i = 0; i < 3; ++i) waiting.push_back(std::make_unique<Socket>());
  double spent = 0;
  {
    const test::DescriptorsExhausted exhausted;
    for (auto& socket : waiting) ASSERT_TRUE(socket->Connect(port()));
    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(1s);
    spent = CpuSeconds() - cpuBefore;
  }
  EXPECT_LT(spent, 0.2) << "seconds of processor time while the table was full";
  for (auto& socket : waiting) {
    socket->Send(Request(host()));
    EXPECT_EQ(StatusOf(socket->Receive()), 200) << "a connection made while it was full";
  }
  Socket fresh(port());
  fresh.Send(Request(host()));
  EXPECT_EQ(StatusOf(fresh.Receive()), 200);
}

// A page elsewhere that rebinds its own name to 127.0.0.1 sends its own name as the Host.
TEST_F(CatalogueConnectionsTest, OnlyItsOwnLoopbackAddressIsAnswered) {
  Start();
  const std::string portText = std::to_string(port());
  const std::vector<std::pair<std::string, int>> cases = {
      {host(), 200},
      {"evil.example:" + portText, 421},
      {"evil.example", 421},
      {"localhost:" + portText, 421},
      {"127.0.0.1", 421},
      {"127.0.0.1:" + std::to_string(port() == 65535 ? 1 : port() + 1), 421},
      {"127.0.0.1:" + portText + ".evil.example", 400},  // not a host name at all
  };
  for (const auto& [hostHeader, status] : cases) {
    Socket socket(port());
    socket.Send(Request(hostHeader));
    EXPECT_EQ(StatusOf(socket.Receive()), status) << "Host: " << hostHeader;
  }
  Socket noHost(port());
  noHost.Send(std::string("GET ") + kBlankSearch + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ(StatusOf(noHost.Receive()), 421) << "no Host at all";
}

}  // namespace
}  // namespace quorvel::catalogue
