#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PageOrigin.h"

namespace quorvel {

// The script texts the browser window hands to the web engine. No values are ever spliced into
// them: only names that pass IsScriptIdentifier, and fixed code. Values travel separately, as
// arguments the engine passes to the script.

// An ASCII JavaScript identifier that is not a reserved word and does not start with the prefix
// the host keeps for its own names ("$quorvel").
bool IsScriptIdentifier(std::string_view name);

// The user script that defines window.external with one ordinary function per method name.
// Each function forwards {t: token, n: name, a: [arguments]} to the script message handler
// `channel`; an argument travels as itself when it is a string, and otherwise as a marker
// {k: kind} ("number" and "boolean" with v, "null", "undefined", "body" for the page's body
// element, "object" for anything else), so objects are never serialised. Names that are not
// identifiers are left out. The token lets the native side ignore messages that other frames
// post to the channel directly. With page given, a document that does not belong to it gets no
// window.external (the check runs before any script of the document).
std::string ExternalObjectScript(const std::vector<std::string>& methodNames,
                                 std::string_view channel, std::string_view token,
                                 const std::optional<PageOrigin>& page = std::nullopt);

// One operation queued for the page.
struct QueuedPageCall {
  enum class Kind {
    Function,        // the page's global function `name` with `args`
    BodyBackground,  // document.body.style.backgroundColor = args[0]
    HideScrollBars,  // document.body.style.overflow = 'hidden'
  };
  Kind kind = Kind::Function;
  std::string name;
  std::vector<std::string> args;
};

// The name of the single argument a batch body reads: PageCallBatchData(calls).
inline constexpr const char* kBatchArgument = "$quorvelCalls";

// The calls' arguments as JSON text, one array of strings per call: [["a","b"],[],...]. Text
// that is not valid UTF-8 is repaired (invalid bytes become U+FFFD); everything else, NUL
// included, is kept.
std::string PageCallBatchData(const std::vector<QueuedPageCall>& calls);

// The body of one async function that parses the data and runs the calls in order, each in its
// own try/catch, so a failing call never stops the ones after it. Consecutive calls of one
// function become one loop, so the body stays small however many rows there are; the name is
// still looked up at every call. Returns an array of [index, message] pairs for the calls that
// threw (message as String(error): "ReferenceError: Can't find variable: X"). Calls whose name
// is not an identifier must be filtered out before; they are skipped here.
std::string PageCallBatchBody(const std::vector<QueuedPageCall>& calls);

}  // namespace quorvel
