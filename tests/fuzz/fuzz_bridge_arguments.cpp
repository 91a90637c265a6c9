// window.external calls as the script side delivers them: a method name and typed arguments.
// Input: the name up to the first NUL, then per argument a kind byte followed by its payload.

#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "bridge/WebPage.h"
#include "bridge/MessageWindow.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  static MessageWindow target;
  static WebPage page(target);
  const std::string input = fuzz::AsString(data, size);
  const std::size_t nameEnd = std::min(input.find('\0'), input.size());
  const std::string name = input.substr(0, nameEnd);
  std::vector<ScriptValue> args;
  std::size_t pos = nameEnd + 1;
  while (pos < input.size() && args.size() < 8) {
    const uint8_t kind = static_cast<uint8_t>(input[pos++]) % 7;
    ScriptValue value;
    value.kind = static_cast<ScriptValue::Kind>(kind);
    if (value.kind == ScriptValue::Kind::Number && pos + sizeof(double) <= input.size()) {
      std::memcpy(&value.number, input.data() + pos, sizeof(double));
      pos += sizeof(double);
    } else if (value.kind == ScriptValue::Kind::String) {
      const std::size_t end = std::min(input.find('\x01', pos), input.size());
      value.text = input.substr(pos, end - pos);
      pos = end + 1;
    }
    args.push_back(value);
  }
  // OpenURL would reach the desktop: it is exercised through its own unit tests instead.
  if (name != "OpenURL") page.InvokeByName(name, args);
  MessageWindow::DrainPosted();
  return 0;
}
