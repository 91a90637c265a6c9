// Takes the instance lock named on the command line and reports: prints "acquired" and waits
// until stdin closes (or it is killed), or prints "held" and exits 0, or "other" (another
// user holds it) or "failed" and exits 1.

#include <unistd.h>

#include <cstdio>

#include "platform/InstanceLock.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  quorvel::InstanceLock lock(argv[1]);
  switch (lock.state()) {
    case quorvel::InstanceLock::State::Acquired: {
      std::printf("acquired\n");
      std::fflush(stdout);
      char c;
      while (read(0, &c, 1) > 0) {
      }
      return 0;
    }
    case quorvel::InstanceLock::State::HeldElsewhere:
      std::printf("held\n");
      return 0;
    case quorvel::InstanceLock::State::HeldByOtherUser:
      std::printf("other\n");
      return 1;
    case quorvel::InstanceLock::State::Failed:
      std::printf("failed\n");
      return 1;
  }
  return 1;
}
