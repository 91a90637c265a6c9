#pragma once

#include "core/UriLauncher.h"

namespace quorvel {

// The desktop's default handler through GIO. Failures are silent: the caller has no one to tell.
class GioUriLauncher : public UriLauncher {
 public:
  void Launch(const std::string& uri) override;
  // Only with the type's default application: nothing else is tried with a local file.
  void OpenFile(const std::string& path, const std::string& contentType) override;
};

}  // namespace quorvel
