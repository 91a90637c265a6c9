// The unit tests fetch through the program's own fetcher unless a test installs another, as the
// program does once app/main installs it.

#include "core/Fetcher.h"
#include "platform/CurlFetcher.h"

namespace quorvel::test {
namespace {

CurlFetcher programFetcher;
const ScopedFetcher installed(programFetcher);

}  // namespace
}  // namespace quorvel::test
