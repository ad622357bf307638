// IUnknown, the reference-counted object base, and ComPtr.
//
// An interface is an abstract struct deriving from IUnknown (or from another
// interface) with `static constexpr IID Iid` and `using BaseInterface = ...`
// naming the interface it extends. An object implements interfaces by
// deriving from ComObject<I1, I2, ...>; QueryInterface then answers IUnknown,
// each listed interface and every interface those extend.
//
// Ownership: an object is created with MakeCom<T>(...), which hands out the
// first reference in a ComPtr; it deletes itself when its last reference is
// released. Counting is atomic, so references may cross threads; anything
// else about an object's thread use is its own class's business.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

namespace qm::platform {

struct IUnknown {
  static constexpr IID Iid = MakeGuid("{00000000-0000-0000-C000-000000000046}");
  using BaseInterface = void;

  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

protected:
  ~IUnknown() = default;  // objects go away through Release only
};

namespace detail {
// One count per module (the program, and each shared library that makes
// objects): hidden, so that a library's DllCanUnloadNow counts only the
// objects that its own code made, though the platform itself is shared.
inline std::atomic<int32_t> ModuleComObjects __attribute__((visibility("hidden"))){0};
inline void CountComObject(int delta) noexcept { ModuleComObjects += delta; }

template <class I>
bool InterfaceChainHas(const IID& iid) {
  if constexpr (std::is_void_v<I>) {
    return false;
  } else {
    return iid == I::Iid || InterfaceChainHas<typename I::BaseInterface>(iid);
  }
}
}  // namespace detail

// Number of live ComObject instances made by this module's code (for
// DllCanUnloadNow).
inline int32_t LiveComObjectCount() noexcept { return detail::ModuleComObjects.load(); }

template <class First, class... Rest>
class ComObject : public First, public Rest... {
public:
  ComObject() { detail::CountComObject(1); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() { detail::CountComObject(-1); }

  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IUnknown::Iid) {
      *object = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (!FindInterface<First, Rest...>(iid, object)) {
      *object = QueryExtraInterface(iid);
    }
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++refCount_; }
  uint32_t Release() override {
    const uint32_t left = --refCount_;
    if (left == 0) delete this;
    return left;
  }
  uint32_t RefCount() const noexcept { return refCount_; }

protected:
  // Interfaces an object answers beyond its bases (e.g. an event interface
  // served by its IDispatch); nullptr when none. No AddRef here.
  virtual void* QueryExtraInterface(const IID&) { return nullptr; }

private:
  template <class I, class... More>
  bool FindInterface(const IID& iid, void** object) {
    if (detail::InterfaceChainHas<I>(iid)) {
      *object = static_cast<I*>(this);
      return true;
    }
    if constexpr (sizeof...(More) > 0) return FindInterface<More...>(iid, object);
    return false;
  }

  std::atomic<uint32_t> refCount_{0};
};

// A counted reference to an interface. Copying adds a reference, moving
// transfers it, destruction releases it.
template <class T>
class ComPtr {
public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Adds a reference to p (the usual way to wrap a raw interface pointer).
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& o) noexcept : ComPtr(static_cast<T*>(o.Get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& o) noexcept {
    ComPtr(o).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  // Takes over a reference the caller already owns (no AddRef).
  static ComPtr Adopt(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(p_, nullptr); }

  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // QueryInterface for U; empty when the object doesn't implement it.
  template <class U>
  ComPtr<U> As() const {
    if (!p_) return {};
    void* out = nullptr;
    if (Failed(p_->QueryInterface(U::Iid, &out)) || out == nullptr) return {};
    return ComPtr<U>::Adopt(static_cast<U*>(out));
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

private:
  T* p_ = nullptr;
};

// Creates an object and returns its first reference as interface I (by
// default the class itself).
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// Identity of an object for comparisons across interfaces: its IUnknown.
template <class T>
IUnknown* ComIdentity(const ComPtr<T>& p) {
  if (!p) return nullptr;
  return ComPtr<IUnknown>(p.template As<IUnknown>()).Get();
}

}  // namespace qm::platform
