#include "platform/PageScriptText.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdio>

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

bool IsRunnable(const QueuedPageCall& call) {
  return call.kind != QueuedPageCall::Kind::Function || IsScriptIdentifier(call.name);
}

bool SameOperation(const QueuedPageCall& a, const QueuedPageCall& b) {
  return a.kind == b.kind && a.name == b.name;
}

// The statement that runs the call whose index is the script expression `index`, inside its own
// try/catch.
std::string CallStatement(const QueuedPageCall& call, const std::string& index) {
  const std::string args = "$quorvelData[" + index + "]";
  std::string body;
  switch (call.kind) {
    case QueuedPageCall::Kind::Function:
      body = call.name + "(..." + args + ")";
      break;
    case QueuedPageCall::Kind::BodyBackground:
      body = "if(document.body)document.body.style.backgroundColor=" + args + "[0]";
      break;
    case QueuedPageCall::Kind::HideScrollBars:
      body = "if(document.body)document.body.style.overflow='hidden'";
      break;
  }
  return "try{" + body + "}catch($quorvelError){$quorvelFail(" + index + ",$quorvelError)}";
}

void AppendJsonEscaped(std::string& out, std::string_view valid) {
  for (const char c : valid) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
}

// Invalid UTF-8 is repaired segment by segment, so that NULs survive.
std::string RepairedUtf8(const std::string& text) {
  std::string valid;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t nul = std::min(text.find('\0', start), text.size());
    gchar* segment = g_utf8_make_valid(text.data() + start, static_cast<gssize>(nul - start));
    valid += segment;
    g_free(segment);
    if (nul < text.size()) valid += '\0';
    start = nul + 1;
  }
  return valid;
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  if (g_utf8_validate_len(text.data(), text.size(), nullptr)) {
    AppendJsonEscaped(out, text);
  } else {
    AppendJsonEscaped(out, RepairedUtf8(text));
  }
  out += '"';
}

// The statement that leaves the script at once in a document that is not the page's.
std::string OriginGuard(const std::optional<PageOrigin>& page) {
  if (!page) return {};
  std::string expected;
  if (page->scheme == "file") {
    AppendJsonString(expected, page->folder);
    return "  if (location.protocol !== 'file:' || location.pathname.indexOf(" + expected +
           ") !== 0 || /\\/\\.\\.?(\\/|$)/.test(decodeURIComponent(location.pathname))) "
           "return;\n";
  }
  AppendJsonString(expected, page->origin);
  return "  if (location.origin !== " + expected + ") return;\n";
}

}  // namespace

bool IsScriptIdentifier(std::string_view name) {
  if (name.empty() || !IsIdentifierStart(name[0])) return false;
  if (!std::all_of(name.begin(), name.end(), IsIdentifierPart)) return false;
  if (name.substr(0, kReservedPrefix.size()) == kReservedPrefix) return false;
  return std::find(kReservedWords.begin(), kReservedWords.end(), name) == kReservedWords.end();
}

std::string ExternalObjectScript(const std::vector<std::string>& methodNames,
                                 std::string_view channel, std::string_view token,
                                 const std::optional<PageOrigin>& page) {
  if (!IsScriptIdentifier(channel) || !IsPlainToken(token)) return {};
  std::string methods;
  for (const auto& name : methodNames) {
    if (IsScriptIdentifier(name)) methods += "  external." + name + " = method('" + name + "');\n";
  }
  // Written for the page's own world: it runs before any page script, keeps its own reference
  // to postMessage, and leaves window.external frozen so the page cannot swap the methods.
  return "(function () {\n"
         "  'use strict';\n" +
         OriginGuard(page) +
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

std::string PageCallBatchData(const std::vector<QueuedPageCall>& calls) {
  std::string data = "[";
  for (std::size_t i = 0; i < calls.size(); ++i) {
    data += i ? ",[" : "[";
    for (std::size_t j = 0; j < calls[i].args.size(); ++j) {
      if (j) data += ',';
      AppendJsonString(data, calls[i].args[j]);
    }
    data += ']';
  }
  data += ']';
  return data;
}

std::string PageCallBatchBody(const std::vector<QueuedPageCall>& calls) {
  std::string body = "const $quorvelData = JSON.parse(" + std::string(kBatchArgument) +
                     ");\n"
                     "const $quorvelErrors = [];\n"
                     "const $quorvelFail = (k, e) => {\n"
                     "  let m;\n"
                     "  try { m = String(e); } catch (_) { m = 'Script error'; }\n"
                     "  $quorvelErrors[$quorvelErrors.length] = [k, m];\n"
                     "};\n";
  std::size_t i = 0;
  while (i < calls.size()) {
    std::size_t end = i + 1;
    while (end < calls.size() && SameOperation(calls[i], calls[end])) ++end;
    if (!IsRunnable(calls[i])) {
      // skipped: the caller has reported these already
    } else if (end - i == 1 || calls[i].kind != QueuedPageCall::Kind::Function) {
      for (std::size_t k = i; k < end; ++k)
        body += CallStatement(calls[k], std::to_string(k)) + "\n";
    } else {
      body += "for (let $quorvelK = " + std::to_string(i) + "; $quorvelK < " + std::to_string(end) +
              "; $quorvelK++) " + CallStatement(calls[i], "$quorvelK") + "\n";
    }
    i = end;
  }
  body += "return $quorvelErrors;\n";
  return body;
}

}  // namespace quorvel
