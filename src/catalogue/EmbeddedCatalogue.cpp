#include "catalogue/EmbeddedCatalogue.h"

#include <cstdlib>
#include <mutex>

#include "catalogue/CatalogueServer.h"

namespace quorvel::catalogue {
namespace {

std::mutex& HostMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& PublishedHost() {
  static std::string host;
  return host;
}

void Publish(const std::string& host) {
  std::lock_guard<std::mutex> lock(HostMutex());
  PublishedHost() = host;
}

bool TvdbHostOverridden() {
  const char* value = std::getenv("QUORVEL_TVDB_HOST");
  return value && *value;
}

}  // namespace

EmbeddedCatalogue::EmbeddedCatalogue() {
  if (TvdbHostOverridden()) return;
  server_ = std::make_unique<CatalogueServer>();
  if (server_->Start()) Publish(server_->HostAndPort());
}

EmbeddedCatalogue::~EmbeddedCatalogue() {
  if (!server_) return;
  if (server_->running()) Publish({});
  server_->Stop();
}

bool EmbeddedCatalogue::running() const {
  return server_ && server_->running();
}

std::string EmbeddedCatalogueHost() {
  std::lock_guard<std::mutex> lock(HostMutex());
  return PublishedHost();
}

bool CatalogueAnswersTvdb() {
  return !TvdbHostOverridden() && !EmbeddedCatalogueHost().empty();
}

}  // namespace quorvel::catalogue
