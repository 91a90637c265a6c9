#pragma once

// Shared by the fuzz targets: every remote read answers with the fuzzer's bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Fetcher.h"

namespace quorvel::fuzz {

class BytesFetcher : public Fetcher {
 public:
  FetchResult Fetch(const std::string&) override { return {true, body, {}}; }
  std::string body;
};

inline std::string AsString(const uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace quorvel::fuzz
