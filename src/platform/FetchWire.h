#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/HttpGet.h"

namespace quorvel {

// The agent's download helper: one GET per run, asked for on its standard input and answered on
// its standard output (platform/FetchHelper starts it, FetchProgramMain is its entry).
inline constexpr const char* kFetchProgramName = "quorvel-fetch";

struct FetchRequest {
  std::string url;
  std::string userAgent;
  FetchLimits limits;
};

// Both directions are rows of netstrings ("5:hello,"): no byte of an address, a header or a body
// can be taken for framing, and every length is known before its bytes are kept. The request
// travels on a pipe rather than the command line, which every local user can read.
std::string EncodeFetchRequest(const FetchRequest& request);
std::optional<FetchRequest> DecodeFetchRequest(std::string_view text);

std::string EncodeHttpAnswer(const HttpAnswer& answer);
// Empty when the text is not one whole answer, or its body is over maxBodyBytes.
std::optional<HttpAnswer> DecodeHttpAnswer(std::string_view text, std::size_t maxBodyBytes);

}  // namespace quorvel
