#pragma once

#include <memory>
#include <string>

namespace quorvel::catalogue {

class CatalogueServer;

// The catalogue the program runs for itself: started when QUORVEL_TVDB_HOST is not set, published
// as the TheTVDB host while it runs, and stopped (its threads ended) when this object goes.
class EmbeddedCatalogue {
 public:
  EmbeddedCatalogue();
  ~EmbeddedCatalogue();
  EmbeddedCatalogue(const EmbeddedCatalogue&) = delete;
  EmbeddedCatalogue& operator=(const EmbeddedCatalogue&) = delete;

  bool running() const;

 private:
  std::unique_ptr<CatalogueServer> server_;
};

// "127.0.0.1:PORT" of the running embedded catalogue, or empty when none runs.
std::string EmbeddedCatalogueHost();

// True when TheTVDB's addresses lead to the embedded catalogue: it runs and QUORVEL_TVDB_HOST is
// not set.
bool CatalogueAnswersTvdb();

}  // namespace quorvel::catalogue
