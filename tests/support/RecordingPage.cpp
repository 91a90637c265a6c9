#include "support/RecordingPage.h"

#include <algorithm>

namespace quorvel::test {

void RecordingPageScript::Call(const std::string& name, const std::vector<std::string>& args,
                               std::function<void(const std::string&)> onError) {
  if (std::find(missing.begin(), missing.end(), name) != missing.end()) {
    onError("ReferenceError: Can't find variable: " + name);
    return;
  }
  calls.push_back({name, args});
}

std::vector<std::string> RecordingPageScript::Names() const {
  std::vector<std::string> names;
  for (const auto& call : calls) names.push_back(call.name);
  return names;
}

}  // namespace quorvel::test
