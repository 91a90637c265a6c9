#include "support/UpstreamStub.h"

#include <curl/curl.h>
#include <libsoup/soup.h>

#include <future>

namespace quorvel::test {

struct UpstreamStub::Impl {
  mutable std::mutex mutex;
  std::map<std::string, std::vector<Response>> routes;
  std::map<std::string, int> hits;
  std::vector<std::string> requests;

  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  std::thread thread;

  Response Next(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex);
    requests.push_back(target);
    const int hit = hits[target]++;
    auto route = routes.find(target);
    if (route == routes.end() || route->second.empty())
      return {404, "not scripted", "text/plain", {}};
    const auto& responses = route->second;
    return responses[std::min<std::size_t>(hit, responses.size() - 1)];
  }

  static void OnRequest(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                        gpointer self) {
    const char* query = g_uri_get_query(soup_server_message_get_uri(message));
    std::string target = path;
    if (query) target += std::string("?") + query;
    const Response response = static_cast<Impl*>(self)->Next(target);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    for (const auto& [name, value] : response.headers)
      soup_message_headers_append(headers, name.c_str(), value.c_str());
    soup_server_message_set_status(message, static_cast<guint>(response.status), nullptr);
    soup_server_message_set_response(message, response.contentType.c_str(), SOUP_MEMORY_COPY,
                                     response.body.data(), response.body.size());
  }
};

UpstreamStub::UpstreamStub() : impl_(std::make_unique<Impl>()) {
  std::promise<int> started;
  auto port = started.get_future();
  Impl* impl = impl_.get();
  impl->thread = std::thread([impl, &started] {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    SoupServer* server = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, nullptr));
    soup_server_add_handler(server, nullptr, Impl::OnRequest, impl, nullptr);
    int bound = 0;
    if (soup_server_listen_local(server, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr)) {
      GSList* uris = soup_server_get_uris(server);
      if (uris) bound = g_uri_get_port(static_cast<GUri*>(uris->data));
      g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    impl->context = context;
    impl->loop = g_main_loop_new(context, FALSE);
    started.set_value(bound);
    g_main_loop_run(impl->loop);
    soup_server_disconnect(server);
    g_object_unref(server);
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_loop_unref(impl->loop);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  });
  port_ = port.get();
}

UpstreamStub::~UpstreamStub() {
  g_main_context_invoke(
      impl_->context,
      [](gpointer loop) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      impl_->loop);
  impl_->thread.join();
}

std::string UpstreamStub::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

void UpstreamStub::On(const std::string& target, std::vector<Response> responses) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->routes[target] = std::move(responses);
  impl_->hits[target] = 0;
}

int UpstreamStub::Hits(const std::string& target) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto found = impl_->hits.find(target);
  return found == impl_->hits.end() ? 0 : found->second;
}

int UpstreamStub::TotalHits() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return static_cast<int>(impl_->requests.size());
}

std::vector<std::string> UpstreamStub::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requests;
}

UpstreamStub::Response Json(const std::string& body) {
  return {200, body, "application/json", {}};
}

namespace {

size_t Append(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

}  // namespace

HttpAnswer HttpGet(const std::string& url, const std::string& method) {
  HttpAnswer answer;
  CURL* curl = curl_easy_init();
  if (!curl) return answer;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
  if (method == "HEAD")
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  else if (method != "GET")
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
  if (curl_easy_perform(curl) == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    const char* type = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
    if (type) answer.contentType = type;
  }
  curl_easy_cleanup(curl);
  return answer;
}

}  // namespace quorvel::test
