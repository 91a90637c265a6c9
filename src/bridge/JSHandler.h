#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bridge/ScriptValue.h"

namespace quorvel {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
inline constexpr int32_t DISPID_UNKNOWN = -1;
inline constexpr int32_t kFirstDispId = 1000000;

// The page's window.external: a table of named methods, each with a DISPID given in registration
// order from 1000000. Names are exact and case-sensitive.
class JSHandler {
 public:
  // Arguments in script order.
  using Callback = std::function<void(const std::vector<ScriptValue>& args)>;

  void RegisterMethod(const std::string& name, Callback callback);

  // S_OK with the DISPID, or DISP_E_UNKNOWNNAME with DISPID_UNKNOWN.
  HRESULT GetIDsOfNames(const std::string& name, int32_t* dispId) const;
  // E_NOTIMPL below 1000000 or for an unknown DISPID; otherwise runs the method and answers S_OK.
  HRESULT Invoke(int32_t dispId, const std::vector<ScriptValue>& args);
  // What the script side does for window.external.NAME(args...).
  HRESULT InvokeByName(const std::string& name, const std::vector<ScriptValue>& args);

  // Method names in DISPID order (the script side defines one function per name).
  std::vector<std::string> MethodNames() const;

 private:
  struct MethodEntry {
    int32_t dispId;
    Callback callback;
  };
  std::map<std::string, MethodEntry> methods_;
};

}  // namespace quorvel
