#include "bridge/JSHandler.h"

#include <algorithm>

namespace quorvel {

void JSHandler::RegisterMethod(const std::string& name, Callback callback) {
  const int32_t dispId = kFirstDispId + static_cast<int32_t>(methods_.size());
  methods_[name] = MethodEntry{dispId, std::move(callback)};
}

HRESULT JSHandler::GetIDsOfNames(const std::string& name, int32_t* dispId) const {
  const auto it = methods_.find(name);
  if (it == methods_.end()) {
    if (dispId) *dispId = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  if (dispId) *dispId = it->second.dispId;
  return S_OK;
}

HRESULT JSHandler::Invoke(int32_t dispId, const std::vector<ScriptValue>& args) {
  if (dispId < kFirstDispId) return E_NOTIMPL;
  const auto it = std::find_if(methods_.begin(), methods_.end(),
                               [&](const auto& entry) { return entry.second.dispId == dispId; });
  if (it == methods_.end()) return E_NOTIMPL;
  it->second.callback(args);
  return S_OK;
}

HRESULT JSHandler::InvokeByName(const std::string& name, const std::vector<ScriptValue>& args) {
  int32_t dispId = DISPID_UNKNOWN;
  const HRESULT hr = GetIDsOfNames(name, &dispId);
  return hr == S_OK ? Invoke(dispId, args) : hr;
}

std::vector<std::string> JSHandler::MethodNames() const {
  std::vector<std::pair<int32_t, std::string>> byId;
  for (const auto& [name, entry] : methods_) byId.emplace_back(entry.dispId, name);
  std::sort(byId.begin(), byId.end());
  std::vector<std::string> names;
  for (auto& [id, name] : byId) names.push_back(std::move(name));
  return names;
}

}  // namespace quorvel
