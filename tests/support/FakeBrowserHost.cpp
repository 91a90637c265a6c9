#include "support/FakeBrowserHost.h"

namespace quorvel::test {

FakeBrowserHost::FakeBrowserHost(BrowserEvents& events, BrowserLog& log, bool canCreate)
    : events_(events), log_(log), canCreate_(canCreate), script_(log) {}

FakeBrowserHost::~FakeBrowserHost() {
  Destroy();
}

bool FakeBrowserHost::Create() {
  if (!canCreate_) return false;
  ++log_.created;
  alive_ = true;
  log_.events = &events_;
  log_.script = &script_;
  return true;
}

void FakeBrowserHost::Destroy() {
  if (!alive_) return;
  alive_ = false;
  ++log_.destroyed;
  log_.events = nullptr;
  log_.script = nullptr;
}

void FakeBrowserHost::LoggingScript::Call(const std::string& name,
                                          const std::vector<std::string>& args,
                                          std::function<void(const std::string&)> onError) {
  RecordingPageScript::Call(name, args, std::move(onError));
  log_.calls.push_back({name, args});
}

BrowserHostFactory FakeBrowserFactory(BrowserLog& log, bool canCreate) {
  return [&log, canCreate](BrowserEvents& events) {
    return std::make_unique<FakeBrowserHost>(events, log, canCreate);
  };
}

}  // namespace quorvel::test
