#include "support/TestServer.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <sstream>

extern char** environ;

namespace quorvel::test {
namespace {

struct CurlFree {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlPtr = std::unique_ptr<CURL, CurlFree>;

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

std::string Escaped(const std::string& text) {
  char* escaped = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
  std::string out = escaped ? escaped : "";
  curl_free(escaped);
  return out;
}

// The first line the server prints is its port; wait for it at most timeoutMs.
int ReadPort(int fd, int timeoutMs) {
  std::string line;
  while (line.find('\n') == std::string::npos) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) <= 0) return 0;
    char buffer[64];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return 0;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  return std::atoi(line.c_str());
}

}  // namespace

std::string FixturesDir() {
  return std::string(QUORVEL_TESTS_DIR) + "/fixtures";
}

std::string FixturePath(const std::string& relative) {
  return FixturesDir() + "/" + relative;
}

TestServer::TestServer() : TestServer(Options{}) {}

TestServer::TestServer(const Options& options) {
  std::vector<std::string> args = {"python3",
                                   std::string(QUORVEL_TOOLS_DIR) + "/testserver.py",
                                   "--port",
                                   "0",
                                   "--exit-on-stdin-eof",
                                   "--fixtures",
                                   options.fixtures,
                                   "--pages",
                                   options.pages,
                                   "--latency-ms",
                                   std::to_string(options.latencyMs)};
  if (!options.today.empty()) {
    args.push_back("--today");
    args.push_back(options.today);
  }
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  const int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  stdinFd_ = toChild[1];
  if (spawned != 0) {
    pid_ = -1;
  } else {
    port_ = ReadPort(fromChild[0], 10000);
  }
  close(fromChild[0]);
}

TestServer::~TestServer() {
  if (stdinFd_ >= 0) close(stdinFd_);  // the server ends when its stdin closes...
  if (pid_ > 0) {
    kill(pid_, SIGTERM);  // ...or at once on SIGTERM
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

std::string TestServer::host() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::string TestServer::url(const std::string& path) const {
  return "http://" + host() + path;
}

bool TestServer::control(const std::string& pathAndQuery, const std::string& body,
                         std::string* answer) const {
  if (!running()) return false;
  CurlPtr curl(curl_easy_init());
  if (!curl) return false;
  std::string received;
  const std::string address = url(pathAndQuery);
  curl_easy_setopt(curl.get(), CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 10000L);
  curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &received);
  if (!body.empty() || pathAndQuery.starts_with("/_put")) {
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  if (curl_easy_perform(curl.get()) != CURLE_OK) return false;
  long status = 0;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  if (answer) *answer = std::move(received);
  return status == 200;
}

std::vector<std::string> TestServer::hits() const {
  std::string text;
  std::vector<std::string> paths;
  if (!control("/_hits?format=text", {}, &text)) return paths;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) paths.push_back(line);
  return paths;
}

bool TestServer::reset() const {
  return control("/_reset");
}

bool TestServer::put(const std::string& path, const std::string& body,
                     const std::string& contentType) const {
  return control("/_put?path=" + Escaped(path) + "&type=" + Escaped(contentType), body);
}

bool TestServer::fault(const std::string& path, const std::string& kind,
                       const std::map<std::string, std::string>& params) const {
  std::string query = "/_fault?path=" + Escaped(path) + "&kind=" + Escaped(kind);
  for (const auto& [name, value] : params) query += "&" + Escaped(name) + "=" + Escaped(value);
  return control(query);
}

bool TestServer::setLatency(int milliseconds) const {
  return control("/_latency?ms=" + std::to_string(milliseconds));
}

bool TestServer::setToday(const std::string& date) const {
  return control("/_today?date=" + Escaped(date));
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* previous = std::getenv(name);
  hadValue_ = previous != nullptr;
  if (previous) previous_ = previous;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (hadValue_) {
    setenv(name_.c_str(), previous_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

Places ScopedRemoteHosts::WithServer(const TestServer& server) {
  Places places = CurrentPlaces();
  places.tvdbHost = places.feedHost = places.updateHost = server.host();
  return places;
}

ScopedRemoteHosts::ScopedRemoteHosts(const TestServer& server)
    : noProxy_("no_proxy", "127.0.0.1,localhost"), places_(WithServer(server)) {}

}  // namespace quorvel::test
