#include "catalogue/CatalogueServer.h"

#include <curl/curl.h>
#include <libsoup/soup.h>
#include <libxml/parser.h>

#include <utility>

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

}  // namespace

struct CatalogueServer::Job {
  SoupServerMessage* message = nullptr;  // a reference of our own
  std::string path;
  std::string rawQuery;
};

struct CatalogueServer::Completion {
  SoupServerMessage* message = nullptr;  // the job's reference, handed on
  CatalogueAnswer answer;
};

CatalogueServer::CatalogueServer(CatalogueOptions options) : catalogue_(std::move(options)) {}

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
  // Both libraries want their global set-up done once, before other threads use them.
  xmlInitParser();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  std::promise<int> started;
  std::future<int> port = started.get_future();
  serverThread_ = std::thread([this, &started] { Serve(started); });
  port_ = port.get();
  if (port_ == 0) {
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
  int port = 0;
  GError* error = nullptr;
  if (soup_server_listen_local(server, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
    GSList* uris = soup_server_get_uris(server);
    if (uris) port = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }
  g_clear_error(&error);
  GMainLoop* loop = port > 0 ? g_main_loop_new(context, FALSE) : nullptr;
  context_ = loop ? context : nullptr;
  loop_ = loop;
  started.set_value(loop ? port : 0);  // `started` is gone after this
  if (loop) {
    catalogue_.PruneCache();
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
  }
  // Answers still queued on the context go out, or are dropped with their references.
  while (g_main_context_iteration(context, FALSE)) {
  }
  soup_server_disconnect(server);
  g_object_unref(server);
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

void CatalogueServer::OnRequest(SoupServer*, SoupServerMessage* message, const char* path,
                                GHashTable*, void* self) {
  const char* method = soup_server_message_get_method(message);
  if (g_strcmp0(method, SOUP_METHOD_GET) != 0 && g_strcmp0(method, SOUP_METHOD_HEAD) != 0) {
    soup_server_message_set_status(message, SOUP_STATUS_METHOD_NOT_ALLOWED, nullptr);
    return;
  }
  const char* query = g_uri_get_query(soup_server_message_get_uri(message));
  static_cast<CatalogueServer*>(self)->Enqueue(message, path ? path : "/", query ? query : "");
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
