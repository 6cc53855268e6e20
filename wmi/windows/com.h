// The COM plumbing of the Windows backend: the per-thread apartment, an owning
// interface pointer, BSTR and VARIANT holders, UTF-16 <-> UTF-8, and the
// translation of HRESULTs into the wmi layer's failures.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first: the COM headers build on it.
#include <oleauto.h>
#include <wbemidl.h>

#include <string>
#include <string_view>
#include <utility>

#include "wmi/error.h"

namespace wmi::windows {

// The apartment a thread asks for. The window's thread is single-threaded (its
// toolkit makes it so for drag and drop and the clipboard); the console has no
// window and joins the multithreaded apartment, where calls to the service
// need no message loop.
enum class Apartment { SingleThreaded, Multithreaded };

// How a front end treats the process's COM security.
enum class Security {
  // CoInitializeSecurity (default authentication, packet privacy,
  // impersonation) at once, before anything else in the process uses COM:
  // for the console, which loads no shell extensions.
  SetForProcess,
  // Left to COM's defaults: every proxy (the services object and each
  // enumerator) gets the blanket WMI needs instead (SetProxySecurity). For the
  // window, whose dialogs load shell extensions that should not run under a
  // process-wide grant.
  ProxyBlankets,
};

// The start of COM for a front end, made first thing in main / wmain /
// wWinMain, before a toolkit or library touches COM: joins the main thread to
// `apartment`, sets the process's security as `security` says, and leaves the
// apartment again when it goes out of scope (in main's own frame, not at
// process exit under the loader lock).
class ComStart {
 public:
  ComStart(Apartment apartment, Security security);
  ~ComStart();
  ComStart(const ComStart&) = delete;
  ComStart& operator=(const ComStart&) = delete;
  // The HRESULT of joining the apartment (S_FALSE for a thread that already
  // had COM, in either mode).
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
  bool joined_;
};

// Makes sure the calling thread can use COM: a thread that already has an
// apartment (ComStart, a toolkit, CoInitializeEx of its own) keeps it and
// gets S_FALSE; any other joins the `preferred` apartment and stays in it
// until it ends (COM tidies up after a thread that ends in it; no COM call is
// made from a thread-exit destructor). Sets no security.
HRESULT EnsureComForThisThread(Apartment preferred = Apartment::SingleThreaded);

// The result of the process's CoInitializeSecurity, made by
// ComStart(..., Security::SetForProcess): S_OK, or RPC_E_TOO_LATE when
// something set the security, or marshalled an interface, first. S_FALSE when
// the front end chose Security::ProxyBlankets, E_PENDING when no front end
// said. Anything but S_OK means every proxy gets its own blanket
// (SettingsForSecurity).
HRESULT ProcessSecurity();

// Sets the blanket WMI calls need on one proxy: the default authentication
// service, packet privacy (so that namespaces that require an encrypted
// connection can be read), impersonation. An object that lives in this
// process has no proxy (as under Wine): E_NOINTERFACE, returned as S_FALSE.
HRESULT SetProxySecurity(IUnknown* proxy);

// The thread a provider and everything it makes belong to. Interface
// pointers of a single-threaded apartment are valid only on the thread that
// made them. Builds with checks (debug builds, or PCINFO_CHECK_THREADS)
// throw std::logic_error when another thread uses them; other builds leave
// it to COM, which fails such calls with RPC_E_WRONG_THREAD.
class OwningThread {
 public:
  OwningThread() : id_(GetCurrentThreadId()) {}
  void Check(const char* what) const;

 private:
  DWORD id_;
};

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
