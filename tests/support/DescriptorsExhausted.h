#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace quorvel::test {

// Takes every free descriptor until it goes, as a busy moment of the process would.
class DescriptorsExhausted {
 public:
  DescriptorsExhausted() {
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) held_.push_back(fd);
  }
  ~DescriptorsExhausted() {
    for (int fd : held_) close(fd);
  }
  DescriptorsExhausted(const DescriptorsExhausted&) = delete;
  DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

 private:
  std::vector<int> held_;
};

}  // namespace quorvel::test
