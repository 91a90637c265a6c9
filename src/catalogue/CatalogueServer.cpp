#include "catalogue/CatalogueServer.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <libsoup/soup.h>
#include <libxml/parser.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <unordered_map>
#include <utility>

#include "core/AcceptWatch.h"
#include "core/NoThrow.h"

namespace quorvel::catalogue {
namespace {

constexpr int kWorkers = 4;
constexpr std::size_t kMaxQueuedRequests = 64;

void Respond(SoupServerMessage* message, const CatalogueAnswer& answer) {
  soup_server_message_set_status(message, static_cast<guint>(answer.status), nullptr);
  soup_server_message_set_response(
      message, answer.contentType.empty() ? nullptr : answer.contentType.c_str(), SOUP_MEMORY_COPY,
      answer.body.data(), answer.body.size());
}

// A loopback socket on a free port, listening; -1 when none can be had.
int ListenOnLoopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 128) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

// Said to a connection beyond the limit before it is closed, without reading from it.
constexpr char kBusyAnswer[] =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
    "Content-Length: 5\r\nConnection: close\r\n\r\nbusy\n";

void AnswerBusyAndClose(int fd) {
  (void)!send(fd, kBusyAnswer, sizeof kBusyAnswer - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
  // What the peer sent already is read, so that closing does not reset the answer away.
  char sink[4096];
  while (recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
  }
  shutdown(fd, SHUT_WR);
  close(fd);
}

}  // namespace

// Everything the server thread keeps about its connections. libsoup closes a keep-alive
// connection only when it fails a read or write, and an idle one is not read: a peer that went
// away, or never says anything, would hold its descriptor for ever. Each connection therefore has
// a deadline while no request is in hand (from its start, and again after each answer); a sweep
// ends those past it and those whose peer has closed its side.
struct CatalogueServer::Connections {
  struct Entry {
    GSocket* socket = nullptr;  // a reference of our own
    gint64 deadline = 0;        // monotonic µs; 0 while a request is being answered
    bool ended = false;         // shut down, waiting for libsoup to let go
  };

  CatalogueServer* owner = nullptr;
  SoupServer* server = nullptr;
  std::unordered_map<GSocket*, Entry> entries;

  gint64 NextDeadline() const {
    return g_get_monotonic_time() + owner->limits_.idleTimeout.count() * 1000;
  }

  void Accepted(int fd) {
    Sweep();
    if (entries.size() >= owner->limits_.maxConnections) {
      AnswerBusyAndClose(fd);
      return;
    }
    GSocket* socket = g_socket_new_from_fd(fd, nullptr);
    if (!socket) {
      close(fd);
      return;
    }
    GSocketConnection* connection = g_socket_connection_factory_create_connection(socket);
    GSocketAddress* local = g_socket_get_local_address(socket, nullptr);
    GSocketAddress* remote = g_socket_get_remote_address(socket, nullptr);
    const bool taken =
        local && remote &&
        soup_server_accept_iostream(server, G_IO_STREAM(connection), local, remote, nullptr);
    if (local) g_object_unref(local);
    if (remote) g_object_unref(remote);
    g_object_unref(connection);
    if (!taken) {
      g_socket_close(socket, nullptr);
      g_object_unref(socket);
      return;
    }
    entries[socket] = {socket, NextDeadline()};
  }

  void SetDeadline(SoupServerMessage* message, bool busy) {
    const auto it = entries.find(soup_server_message_get_socket(message));
    if (it != entries.end()) it->second.deadline = busy ? 0 : NextDeadline();
  }

  // True when the peer has closed its side, or the connection failed.
  static bool PeerIsDone(GSocket* socket) {
    char byte;
    const ssize_t n = recv(g_socket_get_fd(socket), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
  }

  void Sweep() {
    const gint64 now = g_get_monotonic_time();
    for (auto it = entries.begin(); it != entries.end();) {
      Entry& entry = it->second;
      if (entry.ended && !g_socket_is_closed(entry.socket)) {
        // libsoup was not reading it and has not noticed: its next use of the closed socket fails
        // and ends the connection.
        g_socket_close(entry.socket, nullptr);
      } else if (!entry.ended && entry.deadline != 0 &&
                 (now >= entry.deadline || PeerIsDone(entry.socket))) {
        // A reading libsoup sees the end at once and lets the connection go itself.
        g_socket_shutdown(entry.socket, TRUE, TRUE, nullptr);
        entry.ended = true;
      }
      if (g_socket_is_closed(entry.socket)) {
        g_object_unref(entry.socket);
        it = entries.erase(it);
      } else {
        ++it;
      }
    }
  }

  void CloseAll() {
    for (auto& [socket, entry] : entries) {
      g_socket_close(socket, nullptr);
      g_object_unref(socket);
    }
    entries.clear();
  }
};

struct CatalogueServer::Job {
  SoupServerMessage* message = nullptr;  // a reference of our own
  std::string path;
  std::string rawQuery;
};

struct CatalogueServer::Completion {
  SoupServerMessage* message = nullptr;  // the job's reference, handed on
  CatalogueAnswer answer;
};

CatalogueServer::CatalogueServer(CatalogueOptions options, ServerLimits limits)
    : catalogue_(std::move(options)), limits_(limits) {}

CatalogueServer::~CatalogueServer() {
  Stop();
}

std::string CatalogueServer::HostAndPort() const {
  return running() ? "127.0.0.1:" + std::to_string(port_) : std::string();
}

bool CatalogueServer::Start() {
  if (running()) return true;
  if (used_) return false;  // a stopped server stays stopped
  used_ = true;
  // libxml2 wants its global set-up done once, before other threads use it.
  xmlInitParser();
  std::promise<int> started;
  std::future<int> port = started.get_future();
  serverThread_ = std::thread([this, &started] { Serve(started); });
  if (port.get() == 0) {
    serverThread_.join();
    return false;
  }
  for (int i = 0; i < kWorkers; ++i) workers_.emplace_back([this] { WorkLoop(); });
  return true;
}

void CatalogueServer::Stop() {
  if (!running()) return;
  catalogue_.Cancel();
  {
    std::lock_guard<std::mutex> lock(jobsMutex_);
    closing_ = true;
  }
  jobsReady_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  g_main_context_invoke(
      context_,
      [](gpointer loop) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      loop_);
  serverThread_.join();
  context_ = nullptr;
  loop_ = nullptr;
  port_ = 0;
}

void CatalogueServer::Serve(std::promise<int>& started) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  SoupServer* server = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, nullptr));
  soup_server_add_handler(server, nullptr, OnRequest, this, nullptr);
  Connections connections;
  connections.owner = this;
  connections.server = server;
  auto busy = +[](SoupServer*, SoupServerMessage* message, gpointer data) {
    NoThrow([&] { static_cast<Connections*>(data)->SetDeadline(message, true); });
  };
  auto idle = +[](SoupServer*, SoupServerMessage* message, gpointer data) {
    NoThrow([&] { static_cast<Connections*>(data)->SetDeadline(message, false); });
  };
  g_signal_connect(server, "request-read", G_CALLBACK(busy), &connections);
  g_signal_connect(server, "request-finished", G_CALLBACK(idle), &connections);
  g_signal_connect(server, "request-aborted", G_CALLBACK(idle), &connections);

  int port = 0;
  const int listening = ListenOnLoopback(port);
  GMainLoop* loop = listening >= 0 ? g_main_loop_new(context, FALSE) : nullptr;
  context_ = loop ? context : nullptr;
  loop_ = loop;
  port_ = loop ? port : 0;             // the request handler compares Host with it
  started.set_value(loop ? port : 0);  // `started` is gone after this
  if (loop) {
    AcceptWatch accepting(listening, context, [&connections](int fd) { connections.Accepted(fd); });
    GSource* sweep = g_timeout_source_new(std::max<long>(50, limits_.idleTimeout.count() / 4));
    g_source_set_callback(
        sweep,
        [](gpointer data) -> gboolean {
          NoThrow([&] { static_cast<Connections*>(data)->Sweep(); });
          return G_SOURCE_CONTINUE;
        },
        &connections, nullptr);
    g_source_attach(sweep, context);
    catalogue_.PruneCache();
    g_main_loop_run(loop);
    g_source_destroy(sweep);
    g_source_unref(sweep);
    g_main_loop_unref(loop);
  }
  if (listening >= 0) close(listening);
  // Answers still queued on the context go out, or are dropped with their references.
  while (g_main_context_iteration(context, FALSE)) {
  }
  soup_server_disconnect(server);
  connections.CloseAll();
  g_signal_handlers_disconnect_by_data(server, &connections);
  g_object_unref(server);
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

void CatalogueServer::OnRequest(SoupServer*, SoupServerMessage* message, const char* path,
                                GHashTable*, void* data) {
  auto* self = static_cast<CatalogueServer*>(data);
  // Only the address the program itself uses: a page elsewhere that points its own name at
  // 127.0.0.1 (DNS rebinding) sends that name, and must not read or spend the catalogue.
  const char* host =
      soup_message_headers_get_one(soup_server_message_get_request_headers(message), "Host");
  if (!host || self->HostAndPort() != host) {
    soup_server_message_set_status(message, 421, "Misdirected Request");
    return;
  }
  const char* method = soup_server_message_get_method(message);
  if (g_strcmp0(method, SOUP_METHOD_GET) != 0 && g_strcmp0(method, SOUP_METHOD_HEAD) != 0) {
    soup_server_message_set_status(message, SOUP_STATUS_METHOD_NOT_ALLOWED, nullptr);
    return;
  }
  const char* query = g_uri_get_query(soup_server_message_get_uri(message));
  self->Enqueue(message, path ? path : "/", query ? query : "");
}

void CatalogueServer::Enqueue(SoupServerMessage* message, std::string path, std::string rawQuery) {
  {
    std::lock_guard<std::mutex> lock(jobsMutex_);
    if (!closing_ && jobs_.size() < kMaxQueuedRequests) {
      auto job = std::make_unique<Job>();
      job->message = SOUP_SERVER_MESSAGE(g_object_ref(message));
      job->path = std::move(path);
      job->rawQuery = std::move(rawQuery);
      soup_server_message_pause(message);
      jobs_.push_back(std::move(job));
      jobsReady_.notify_one();
      return;
    }
  }
  Respond(message, {503, "text/plain; charset=utf-8", "busy\n"});
}

void CatalogueServer::WorkLoop() {
  for (;;) {
    std::unique_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(jobsMutex_);
      jobsReady_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // closing, and every request has had its turn
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    auto completion = std::make_unique<Completion>();
    completion->message = job->message;
    // A request that fails inside still gets an answer, and the worker lives on.
    completion->answer =
        NoThrow(CatalogueAnswer{500, "text/plain; charset=utf-8", "internal error\n"},
                [&] { return catalogue_.Answer(job->path, job->rawQuery); });
    // The message belongs to the server thread: answer it there.
    g_main_context_invoke_full(context_, G_PRIORITY_DEFAULT, Complete, completion.release(),
                               DropCompletion);
  }
}

int CatalogueServer::Complete(void* data) {
  auto* completion = static_cast<Completion*>(data);
  Respond(completion->message, completion->answer);
  soup_server_message_unpause(completion->message);
  return G_SOURCE_REMOVE;
}

void CatalogueServer::DropCompletion(void* data) {
  std::unique_ptr<Completion> completion(static_cast<Completion*>(data));
  g_object_unref(completion->message);
}

}  // namespace quorvel::catalogue
