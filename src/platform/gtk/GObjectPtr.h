#pragma once

#include <glib-object.h>

#include <utility>

namespace quorvel {

// Holds one reference to a GObject and drops it when it goes; move-only.
template <class T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  // Takes over a reference the caller owns (a *_new() result).
  explicit GObjectPtr(T* owned) : object_(owned) {}
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.object_, nullptr));
    return *this;
  }
  ~GObjectPtr() { reset(); }

  // Adds a reference of its own (for borrowed pointers, floating ones are sunk).
  static GObjectPtr Ref(T* borrowed) {
    return GObjectPtr(borrowed ? static_cast<T*>(g_object_ref_sink(borrowed)) : nullptr);
  }

  void reset(T* owned = nullptr) {
    if (object_) g_object_unref(object_);
    object_ = owned;
  }
  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace quorvel
