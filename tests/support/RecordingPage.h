#pragma once

#include <string>
#include <vector>

#include "bridge/PageScript.h"
#include "bridge/WebPage.h"
#include "bridge/MessageWindow.h"

namespace quorvel::test {

struct PageCall {
  std::string name;
  std::vector<std::string> args;
  bool operator==(const PageCall&) const = default;
};

// A loaded page that records every call in order; functions named in `missing` fail as a page
// without them would.
class RecordingPageScript : public PageScript {
 public:
  bool HasDocument() const override { return hasDocument; }
  void Call(const std::string& name, const std::vector<std::string>& args,
            std::function<void(const std::string&)> onError) override;
  void SetBodyBackground(const std::string& colour) override { backgrounds.push_back(colour); }

  // Only the function names, in order.
  std::vector<std::string> Names() const;

  bool hasDocument = true;
  std::vector<std::string> missing;
  std::vector<PageCall> calls;
  std::vector<std::string> backgrounds;
};

// A WebPage over a recording page, for testing commands without a window.
class RecordingPage {
 public:
  RecordingPage() : page(window) { page.SetScript(&script); }
  MessageWindow window;
  RecordingPageScript script;
  WebPage page;
};

}  // namespace quorvel::test
