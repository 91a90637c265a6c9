#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorvel::test {

// A scripted HTTP server on 127.0.0.1 in its own thread, standing in for an upstream service.
// Requests are matched by path and raw query ("/shows/1?embed=episodes"); anything unscripted is
// a 404. Every hit is counted.
class UpstreamStub {
 public:
  struct Response {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
  };

  UpstreamStub();
  ~UpstreamStub();
  UpstreamStub(const UpstreamStub&) = delete;
  UpstreamStub& operator=(const UpstreamStub&) = delete;

  // "http://127.0.0.1:PORT" (no trailing slash).
  std::string BaseUrl() const;
  int port() const { return port_; }

  // Answers target with the responses in turn; the last one repeats.
  void On(const std::string& target, std::vector<Response> responses);
  void On(const std::string& target, Response response) { On(target, std::vector{response}); }

  int Hits(const std::string& target) const;
  int TotalHits() const;
  std::vector<std::string> Requests() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

// A JSON body answer.
UpstreamStub::Response Json(const std::string& body);

struct HttpAnswer {
  long status = 0;  // 0: no answer
  std::string body;
  std::string contentType;
};

// A plain request (GET unless told, no redirects) for tests talking to loopback servers.
HttpAnswer HttpGet(const std::string& url, const std::string& method = "GET");

}  // namespace quorvel::test
