#include "app/Environment.h"

#include <cstdlib>

#include "app/Paths.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "core/Handles.h"
#include "platform/ResourcePaths.h"

namespace quorvel {
namespace {

void Override(std::string& value, const char* variable) {
  const char* set = std::getenv(variable);
  if (set && *set) value = set;
}

std::string BundledPageUri() {
  const std::string path = FindDataFile("page/main.html");
  if (path.empty()) return {};
  const GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  return uri ? uri.get() : "";
}

}  // namespace

Places ReadPlaces() {
  Places places;
  // TheTVDB's legacy API is gone; the embedded catalogue answers its addresses from TVmaze.
  if (const std::string catalogue = catalogue::EmbeddedCatalogueHost(); !catalogue.empty()) {
    places.tvdbHost = catalogue;
  }
  Override(places.tvdbHost, "QUORVEL_TVDB_HOST");
  Override(places.feedHost, "QUORVEL_FEED_HOST");
  Override(places.updateHost, "QUORVEL_UPDATE_HOST");
  Override(places.pageHost, "QUORVEL_PAGE_HOST");
  places.catalogueCredit = catalogue::CatalogueAnswersTvdb();
  places.dataFolder = DataFolderFromEnvironment();
  places.bundledPage = BundledPageUri();
  places.userId = GetUserId();
  return places;
}

}  // namespace quorvel
