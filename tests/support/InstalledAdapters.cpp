// The unit tests fetch through the program's own fetcher unless a test installs another, as the
// program does once app/main installs it; its transfers are made in process (the program's
// download helper has tests of its own).

#include "core/Fetcher.h"
#include "platform/CurlTransport.h"
#include "platform/HttpFetcher.h"

namespace quorvel::test {
namespace {

CurlTransport inProcess;
const ScopedHttpTransport installedTransport(inProcess);
HttpFetcher programFetcher;
const ScopedFetcher installed(programFetcher);

}  // namespace
}  // namespace quorvel::test
