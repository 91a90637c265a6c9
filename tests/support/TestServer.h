#pragma once

// The loopback test world (tools/testserver.py) as a child process of the test: started in the
// constructor, stopped and reaped in the destructor. See tests/README.md for what it serves.

#include <sys/types.h>

#include "core/Places.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::test {

// The fixtures folder of the repository (tests/fixtures) and a file in it.
std::string FixturesDir();
std::string FixturePath(const std::string& relative);

class TestServer {
 public:
  struct Options {
    std::string fixtures = FixturesDir();
    std::string pages;  // folder for every other path; empty serves none
    int latencyMs = 0;  // delay before every answer
    std::string today;  // "YYYY-MM-DD" for {{today}} tokens; empty: the server's local date
  };

  TestServer();
  explicit TestServer(const Options& options);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  std::string host() const;                        // "127.0.0.1:PORT"
  std::string url(const std::string& path) const;  // "http://127.0.0.1:PORT" + path

  // Every request path (with its query) served so far, in order; control calls not included.
  std::vector<std::string> hits() const;
  // Forgets hits, faults, installed answers, latency and a pinned today.
  bool reset() const;
  // Answers path (with or without its query) with body from now on.
  bool put(const std::string& path, const std::string& body,
           const std::string& contentType = "text/xml; charset=utf-8") const;
  // Makes path misbehave: "404", "500", "slow-headers", "stall-body", "trickle", "redirect-loop",
  // "redirect-file", "oversized", "gzip-bomb", "doctype-file", "doctype-http", "doctype-dtd",
  // "billion-laughs", "quadratic-blowup", "truncated", "not-xml", "empty"; "none" clears. params
  // go along (for example {"target", "/tmp/marker"} for doctype-file, {"seconds", "5"} for the slow
  // ones).
  bool fault(const std::string& path, const std::string& kind,
             const std::map<std::string, std::string>& params = {}) const;
  bool setLatency(int milliseconds) const;
  bool setToday(const std::string& date) const;  // "YYYY-MM-DD"; empty: back to the local date

 private:
  bool control(const std::string& pathAndQuery, const std::string& body = {},
               std::string* answer = nullptr) const;

  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int port_ = 0;
};

// Sets an environment variable for the lifetime of this object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string previous_;
  bool hadValue_;
};

// Points TheTVDB, feed and update hosts of the installed places at the server, and keeps any
// proxy of the environment out of the way of loopback requests.
class ScopedRemoteHosts {
 public:
  explicit ScopedRemoteHosts(const TestServer& server);

 private:
  static Places WithServer(const TestServer& server);
  ScopedEnv noProxy_;
  ScopedPlaces places_;
};

}  // namespace quorvel::test
