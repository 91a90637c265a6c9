#include "platform/PageScriptText.h"

#include <algorithm>
#include <array>

namespace quorvel {
namespace {

constexpr std::string_view kReservedPrefix = "$quorvel";

constexpr std::array<std::string_view, 47> kReservedWords = {
    "await",     "break",  "case",     "catch",  "class",      "const",   "continue",  "debugger",
    "default",   "delete", "do",       "else",   "enum",       "export",  "extends",   "false",
    "finally",   "for",    "function", "if",     "implements", "import",  "in",        "instanceof",
    "interface", "let",    "new",      "null",   "package",    "private", "protected", "public",
    "return",    "static", "super",    "switch", "this",       "throw",   "true",      "try",
    "typeof",    "var",    "void",     "while",  "with",       "yield",   "arguments"};

bool IsIdentifierStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$';
}

bool IsIdentifierPart(char c) {
  return IsIdentifierStart(c) || (c >= '0' && c <= '9');
}

bool IsPlainToken(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsIdentifierPart);
}

// The statement that runs call number `index` inside its own try/catch.
std::string CallStatement(const QueuedPageCall& call, std::size_t index) {
  const std::string k = std::to_string(index);
  std::string body;
  switch (call.kind) {
    case QueuedPageCall::Kind::Function:
      body = call.name + "(...$quorvelArgs(" + k + "," + std::to_string(call.args.size()) + "))";
      break;
    case QueuedPageCall::Kind::BodyBackground:
      body = "if(document.body)document.body.style.backgroundColor=$quorvelArgs(" + k + ",1)[0]";
      break;
    case QueuedPageCall::Kind::HideScrollBars:
      body = "if(document.body)document.body.style.overflow='hidden'";
      break;
  }
  return "try{" + body + "}catch($quorvelError){$quorvelFail(" + k + ",$quorvelError)}\n";
}

}  // namespace

bool IsScriptIdentifier(std::string_view name) {
  if (name.empty() || !IsIdentifierStart(name[0])) return false;
  if (!std::all_of(name.begin(), name.end(), IsIdentifierPart)) return false;
  if (name.substr(0, kReservedPrefix.size()) == kReservedPrefix) return false;
  return std::find(kReservedWords.begin(), kReservedWords.end(), name) == kReservedWords.end();
}

std::string ExternalObjectScript(const std::vector<std::string>& methodNames,
                                 std::string_view channel, std::string_view token) {
  if (!IsScriptIdentifier(channel) || !IsPlainToken(token)) return {};
  std::string methods;
  for (const auto& name : methodNames) {
    if (IsScriptIdentifier(name)) methods += "  external." + name + " = method('" + name + "');\n";
  }
  // Written for the page's own world: it runs before any page script, keeps its own reference
  // to postMessage, and leaves window.external frozen so the page cannot swap the methods.
  return "(function () {\n"
         "  'use strict';\n"
         "  var handlers = window.webkit && window.webkit.messageHandlers;\n"
         "  var channel = handlers && handlers." +
         std::string(channel) +
         ";\n"
         "  if (!channel) return;\n"
         "  var post = channel.postMessage.bind(channel);\n"
         "  var token = '" +
         std::string(token) +
         "';\n"
         "  var describe = function (value) {\n"
         "    switch (typeof value) {\n"
         "      case 'string': return value;\n"
         "      case 'number': return {k: 'number', v: value};\n"
         "      case 'boolean': return {k: 'boolean', v: value};\n"
         "      case 'undefined': return {k: 'undefined'};\n"
         "    }\n"
         "    if (value === null) return {k: 'null'};\n"
         "    if (value === document.body) return {k: 'body'};\n"
         "    return {k: 'object'};\n"
         "  };\n"
         "  var method = function (name) {\n"
         "    return function () {\n"
         "      var args = [];\n"
         "      for (var i = 0; i < arguments.length; i++) args[i] = describe(arguments[i]);\n"
         "      post({t: token, n: name, a: args});\n"
         "    };\n"
         "  };\n"
         "  var external = {};\n" +
         methods +
         "  Object.freeze(external);\n"
         "  try {\n"
         "    Object.defineProperty(window, 'external', {value: external, enumerable: true});\n"
         "  } catch (e) {}\n"
         "})();\n";
}

std::string PageCallBatchBody(const std::vector<QueuedPageCall>& calls) {
  std::string body =
      "const $quorvelErrors = [];\n"
      "const $quorvelArgs = (k, n) => {\n"
      "  const d = " +
      std::string(kBatchArgument) +
      "[k], a = [];\n"
      "  for (let j = 0; j < n; j++) a[j] = d[j];\n"
      "  return a;\n"
      "};\n"
      "const $quorvelFail = (k, e) => {\n"
      "  let m;\n"
      "  try { m = String(e); } catch (_) { m = 'Script error'; }\n"
      "  $quorvelErrors[$quorvelErrors.length] = [k, m];\n"
      "};\n";
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].kind == QueuedPageCall::Kind::Function && !IsScriptIdentifier(calls[i].name)) {
      continue;
    }
    body += CallStatement(calls[i], i);
  }
  body += "return $quorvelErrors;\n";
  return body;
}

}  // namespace quorvel
