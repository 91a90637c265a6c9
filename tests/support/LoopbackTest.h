#pragma once

#include <memory>

#include "core/HttpGet.h"

#include "support/Sandbox.h"
#include "support/TestServer.h"

namespace quorvel::test {

// The program's fetch rules with short time limits, so that the slow-server cases end in seconds.
inline FetchLimits QuickFetchLimits(long totalTimeoutMs = 4000) {
  FetchLimits limits;
  limits.connectTimeoutMs = 2000;
  limits.lowSpeedSeconds = 2;
  limits.totalTimeoutMs = totalTimeoutMs;
  return limits;
}

// A sandboxed test with one loopback server for its whole suite, running and reset before each
// test, and TheTVDB, feed and update hosts pointed at it.
class LoopbackTest : public SandboxedTest {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<TestServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override;
  void TearDown() override;

  static std::unique_ptr<TestServer> server_;

 private:
  std::unique_ptr<ScopedRemoteHosts> hosts_;
};

}  // namespace quorvel::test
