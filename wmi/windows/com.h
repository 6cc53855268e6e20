// The COM plumbing of the Windows backend: the per-thread apartment, an owning
// interface pointer, BSTR and VARIANT holders, UTF-16 <-> UTF-8, and the
// translation of HRESULTs into the wmi layer's failures.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <string>
#include <string_view>
#include <utility>

#include "wmi/error.h"

namespace wmi::windows {

// Joins the calling thread to a single-threaded apartment the first time it is
// called on that thread; the thread leaves the apartment when it ends (for the
// main thread: at exit). A thread that already has COM, in whatever mode, keeps
// it. Also sets the process's default COM security once (impersonation, as
// WMI clients need). Returns the HRESULT of the initialisation.
HRESULT EnsureComForThisThread();

// An owning interface pointer: releases on destruction, moves, never copies.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopt) : p_(adopt) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      Reset();
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases the held pointer first.
  T** Out() {
    Reset();
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

// An owning BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }
  BSTR get() const { return b_; }
  BSTR* Out() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }

 private:
  BSTR b_ = nullptr;
};

// An owning VARIANT, cleared on destruction.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  const VARIANT& get() const { return v_; }
  VARIANT* Out() {
    VariantClear(&v_);
    return &v_;
  }

 private:
  VARIANT v_;
};

std::string Utf8FromWide(std::wstring_view text);
std::string Utf8FromBstr(BSTR text);  // a null BSTR is the empty text
std::wstring WideFromUtf8(std::string_view text);

// "0x80041010 (WBEM_E_INVALID_CLASS)" or "0x8000ffff".
std::string HResultText(HRESULT hr);

// Throws Error(code, what + ": " + HResultText(hr)).
[[noreturn]] void Fail(ErrorCode code, const std::string& what, HRESULT hr);

// The wmi layer's failure of an HRESULT that a query or an enumeration
// returned: no such class, a query the service cannot read, or anything else.
ErrorCode QueryErrorCode(HRESULT hr);

}  // namespace wmi::windows
