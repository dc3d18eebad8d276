#pragma once

#include <utility>

// What every layer shares.
namespace Vendra {

// Holds one counted reference of an object with AddRef/Release (JSON values,
// jobs, listeners, buffers), so that a reference is released exactly once on
// every way out of a scope.
template <typename T>
class RefPtr {
 public:
  RefPtr() = default;
  // Takes over a reference the caller already owns (a new object, or one
  // handed out through an out argument).
  static RefPtr Adopt(T* p) {
    RefPtr r;
    r.p_ = p;
    return r;
  }
  // Takes a new reference of its own.
  static RefPtr Share(T* p) {
    if (p) p->AddRef();
    return Adopt(p);
  }
  ~RefPtr() { Reset(); }
  // Shares o's object, with a reference of its own.
  RefPtr(const RefPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  // Shares o's object and releases the one held before.
  RefPtr& operator=(const RefPtr& o) {
    RefPtr copy(o);
    std::swap(p_, copy.p_);
    return *this;
  }
  // Takes o's reference; o is left empty.
  RefPtr(RefPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  // Takes o's reference and releases the one held before; o is left empty.
  RefPtr& operator=(RefPtr&& o) noexcept {
    RefPtr moved(std::move(o));
    std::swap(p_, moved.p_);
    return *this;
  }

  // Releases the reference held, if any.
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Hands the reference to the caller (for an out argument).
  T* Detach() { return std::exchange(p_, nullptr); }
  // Releases what is held and gives the place for an out argument to fill.
  T** Receive() {
    Reset();
    return &p_;
  }

  // The object, without a reference for the caller (valid while held).
  T* get() const { return p_; }
  // Member access to the object; it must be held.
  T* operator->() const { return p_; }
  // The object; it must be held.
  T& operator*() const { return *p_; }
  // Whether an object is held.
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace Vendra
