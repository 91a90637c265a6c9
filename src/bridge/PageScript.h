#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// The loaded page as native code reaches it (WebKit in the program, a recorder in tests).
class PageScript {
 public:
  virtual ~PageScript() = default;

  // True once a top-level document has completed loading.
  virtual bool HasDocument() const = 0;
  // Calls the global function name(args...) with every argument passed as a string value, never
  // spliced into script text. Calls reach the page in the order they are made. A missing function
  // or a script error is reported through onError with the engine's message, possibly later.
  // onError is never called after this object is destroyed.
  virtual void Call(const std::string& name, const std::vector<std::string>& args,
                    std::function<void(const std::string& error)> onError) = 0;
  // Sets the page body's background colour.
  virtual void SetBodyBackground(const std::string& colour) = 0;
};

}  // namespace quorvel
