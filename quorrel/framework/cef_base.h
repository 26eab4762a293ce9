// Reference counting shared by every object that crosses the framework
// boundary. The count is atomic because the framework may take and drop
// references from threads other than the one that owns the object.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

class CefBase {
 public:
  virtual void AddRef() const = 0;
  // Returns true when this call destroyed the object.
  virtual bool Release() const = 0;
  virtual bool HasOneRef() const = 0;

 protected:
  virtual ~CefBase() = default;
};

// The atomic count on its own, for classes that implement CefBase.
class CefRefCount {
 public:
  void AddRef() const { count_.fetch_add(1, std::memory_order_relaxed); }
  // True when the count dropped to zero.
  bool Release() const { return count_.fetch_sub(1, std::memory_order_acq_rel) == 1; }
  bool HasOneRef() const { return count_.load(std::memory_order_acquire) == 1; }

 private:
  mutable std::atomic<int> count_{0};
};

// Implements CefBase for a concrete class that derives from one interface.
template <class Interface>
class CefRefCounted : public Interface {
 public:
  using Interface::Interface;
  void AddRef() const override { ref_count_.AddRef(); }
  bool Release() const override {
    if (!ref_count_.Release()) return false;
    delete this;
    return true;
  }
  bool HasOneRef() const override { return ref_count_.HasOneRef(); }

 private:
  CefRefCount ref_count_;
};

template <class T>
class CefRefPtr {
 public:
  CefRefPtr() = default;
  CefRefPtr(std::nullptr_t) {}
  CefRefPtr(T* p) : ptr_(p) {
    if (ptr_) ptr_->AddRef();
  }
  CefRefPtr(const CefRefPtr& other) : CefRefPtr(other.ptr_) {}
  template <class U>
  CefRefPtr(const CefRefPtr<U>& other) : CefRefPtr(other.get()) {}
  CefRefPtr(CefRefPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ~CefRefPtr() {
    if (ptr_) ptr_->Release();
  }

  CefRefPtr& operator=(CefRefPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  bool operator==(const CefRefPtr& other) const { return ptr_ == other.ptr_; }
  bool operator!=(const CefRefPtr& other) const { return ptr_ != other.ptr_; }
  bool operator==(std::nullptr_t) const { return ptr_ == nullptr; }
  bool operator!=(std::nullptr_t) const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};
