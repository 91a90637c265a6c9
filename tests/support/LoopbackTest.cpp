#include "support/LoopbackTest.h"

namespace quorvel::test {

std::unique_ptr<TestServer> LoopbackTest::server_;

void LoopbackTest::SetUp() {
  SandboxedTest::SetUp();
  ASSERT_TRUE(server_->running());
  ASSERT_TRUE(server_->reset());
  hosts_ = std::make_unique<ScopedRemoteHosts>(*server_);
}

void LoopbackTest::TearDown() {
  hosts_.reset();
  SandboxedTest::TearDown();
}

}  // namespace quorvel::test
