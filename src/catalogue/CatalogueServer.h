#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/TvmazeCatalogue.h"

typedef struct _GHashTable GHashTable;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _SoupServer SoupServer;
typedef struct _SoupServerMessage SoupServerMessage;

namespace quorvel::catalogue {

// How much of the server's descriptors and time one peer can hold.
struct ServerLimits {
  // A connection that sends no complete request head for this long, after it was made or after
  // its last answer, is closed: an idle keep-alive or a half-sent request.
  std::chrono::milliseconds idleTimeout{5000};
  // Connections beyond this many are answered "503 Service Unavailable" and closed.
  std::size_t maxConnections = 64;
};

// The catalogue as an HTTP service on 127.0.0.1. Its own thread runs a GLib main context with the
// server; a few worker threads do the cache and upstream work, so a slow upstream answer never
// holds up the others. Nothing here touches the caller's main loop.
class CatalogueServer {
 public:
  explicit CatalogueServer(CatalogueOptions options = CatalogueOptions::FromEnvironment(),
                           ServerLimits limits = {});
  ~CatalogueServer();  // stops
  CatalogueServer(const CatalogueServer&) = delete;
  CatalogueServer& operator=(const CatalogueServer&) = delete;

  // Listens on a free loopback port. False (and nothing left running) when it cannot.
  bool Start();
  // Cancels upstream work, answers what is pending, and ends every thread. Safe to call twice; a
  // stopped server does not start again.
  void Stop();

  bool running() const { return port_ != 0; }
  int port() const { return port_; }
  // "127.0.0.1:PORT", as a host name for addresses.
  std::string HostAndPort() const;

 private:
  struct Job;
  struct Completion;
  struct Connections;

  void Serve(std::promise<int>& started);
  static void OnRequest(SoupServer* server, SoupServerMessage* message, const char* path,
                        GHashTable* query, void* self);
  void Enqueue(SoupServerMessage* message, std::string path, std::string rawQuery);
  void WorkLoop();
  static int Complete(void* completion);
  static void DropCompletion(void* completion);

  TvmazeCatalogue catalogue_;
  ServerLimits limits_;
  std::atomic<int> port_ = 0;
  std::thread serverThread_;
  std::vector<std::thread> workers_;
  GMainContext* context_ = nullptr;  // owned by the server thread while it runs
  GMainLoop* loop_ = nullptr;

  std::mutex jobsMutex_;
  std::condition_variable jobsReady_;
  std::deque<std::unique_ptr<Job>> jobs_;
  bool closing_ = false;
  bool used_ = false;
};

}  // namespace quorvel::catalogue
