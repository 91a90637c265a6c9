#pragma once

#include <jsc/jsc.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bridge/ScriptValue.h"

namespace quorvel {

// A window.external call as the bridge script posts it: {t: token, n: name, a: [arguments]}.
struct ExternalCall {
  std::string name;
  std::vector<ScriptValue> args;
};

// Reads a posted message; empty when it is not one of ours (wrong shape or token).
std::optional<ExternalCall> ReadExternalCall(JSCValue* message, const std::string& token);

// The [index, message] pairs a page-call batch returns; empty for anything else.
std::vector<std::pair<int, std::string>> ReadBatchErrors(JSCValue* result);

}  // namespace quorvel
