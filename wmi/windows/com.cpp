#include "wmi/windows/com.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>

namespace wmi::windows {

namespace {

std::atomic<HRESULT> g_security{E_PENDING};

// Whether the calling thread is in an apartment already (an implicit
// multithreaded one does not count: the thread never joined).
bool ThreadHasApartment() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return false;
  return !(type == APTTYPE_MTA && qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA);
}

DWORD InitFlags(Apartment apartment) {
  return (apartment == Apartment::Multithreaded ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED) |
         COINIT_DISABLE_OLE1DDE;
}

struct NamedResult {
  HRESULT hr;
  const char* name;
};

constexpr NamedResult kNames[] = {
    {static_cast<HRESULT>(WBEM_E_FAILED), "WBEM_E_FAILED"},
    {static_cast<HRESULT>(WBEM_E_NOT_FOUND), "WBEM_E_NOT_FOUND"},
    {static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), "WBEM_E_ACCESS_DENIED"},
    {static_cast<HRESULT>(WBEM_E_PROVIDER_FAILURE), "WBEM_E_PROVIDER_FAILURE"},
    {static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH), "WBEM_E_TYPE_MISMATCH"},
    {static_cast<HRESULT>(WBEM_E_OUT_OF_MEMORY), "WBEM_E_OUT_OF_MEMORY"},
    {static_cast<HRESULT>(WBEM_E_INVALID_CONTEXT), "WBEM_E_INVALID_CONTEXT"},
    {static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER), "WBEM_E_INVALID_PARAMETER"},
    {static_cast<HRESULT>(WBEM_E_NOT_AVAILABLE), "WBEM_E_NOT_AVAILABLE"},
    {static_cast<HRESULT>(WBEM_E_CRITICAL_ERROR), "WBEM_E_CRITICAL_ERROR"},
    {static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED), "WBEM_E_NOT_SUPPORTED"},
    {static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE), "WBEM_E_INVALID_NAMESPACE"},
    {static_cast<HRESULT>(WBEM_E_INVALID_CLASS), "WBEM_E_INVALID_CLASS"},
    {static_cast<HRESULT>(WBEM_E_INVALID_QUERY), "WBEM_E_INVALID_QUERY"},
    {static_cast<HRESULT>(WBEM_E_INVALID_QUERY_TYPE), "WBEM_E_INVALID_QUERY_TYPE"},
    {static_cast<HRESULT>(WBEM_E_SHUTTING_DOWN), "WBEM_E_SHUTTING_DOWN"},
    {static_cast<HRESULT>(WBEM_E_TRANSPORT_FAILURE), "WBEM_E_TRANSPORT_FAILURE"},
    {static_cast<HRESULT>(WBEM_E_INVALID_OPERATION), "WBEM_E_INVALID_OPERATION"},
    {static_cast<HRESULT>(WBEM_E_INVALID_OBJECT_PATH), "WBEM_E_INVALID_OBJECT_PATH"},
    {static_cast<HRESULT>(WBEM_E_QUOTA_VIOLATION), "WBEM_E_QUOTA_VIOLATION"},
    {static_cast<HRESULT>(WBEM_E_TIMED_OUT), "WBEM_E_TIMED_OUT"},
    {static_cast<HRESULT>(WBEM_E_CALL_CANCELLED), "WBEM_E_CALL_CANCELLED"},
    {static_cast<HRESULT>(0x800706BA), "RPC_S_SERVER_UNAVAILABLE"},  // HRESULT_FROM_WIN32(1722)
    {RPC_E_DISCONNECTED, "RPC_E_DISCONNECTED"},
    {E_NOINTERFACE, "E_NOINTERFACE"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
    {E_INVALIDARG, "E_INVALIDARG"},
    {E_POINTER, "E_POINTER"},
    {E_FAIL, "E_FAIL"},
    {E_ACCESSDENIED, "E_ACCESSDENIED"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
    {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED"},
    {RPC_E_CHANGED_MODE, "RPC_E_CHANGED_MODE"},
    {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE"},
};

}  // namespace

ComStart::ComStart(Apartment apartment, Security security) : hr_(CoInitializeEx(nullptr, InitFlags(apartment))) {
  // S_OK and S_FALSE both count one initialisation to balance; RPC_E_CHANGED_MODE
  // (the thread already runs COM in the other mode) does not.
  joined_ = SUCCEEDED(hr_);
  if (hr_ == RPC_E_CHANGED_MODE) hr_ = S_FALSE;
  if (FAILED(hr_)) return;
  if (security == Security::SetForProcess) {
    HRESULT expected = E_PENDING;
    const HRESULT set = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    g_security.compare_exchange_strong(expected, set);
  } else {
    HRESULT expected = E_PENDING;
    g_security.compare_exchange_strong(expected, S_FALSE);
  }
}

ComStart::~ComStart() {
  if (joined_) CoUninitialize();
}

HRESULT EnsureComForThisThread(Apartment preferred) {
  // Nothing is kept per thread: no destructor runs at the thread's end.
  if (ThreadHasApartment()) return S_FALSE;
  const HRESULT hr = CoInitializeEx(nullptr, InitFlags(preferred));
  return hr == RPC_E_CHANGED_MODE ? S_FALSE : hr;
}

HRESULT ProcessSecurity() { return g_security; }

HRESULT SetProxySecurity(IUnknown* proxy) {
  HRESULT hr = CoSetProxyBlanket(proxy, RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, COLE_DEFAULT_PRINCIPAL,
                                 RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  return hr == E_NOINTERFACE ? S_FALSE : hr;
}

void OwningThread::Check(const char* what) const {
#if !defined(NDEBUG) || defined(PCINFO_CHECK_THREADS)
  if (GetCurrentThreadId() != id_)
    throw std::logic_error(std::string(what) +
                           " of the Windows backend used on a thread other than the one that made it");
#else
  (void)what;
#endif
}

Bstr::Bstr(std::wstring_view text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  if (!b_) throw Error(ErrorCode::ProviderFailure, "out of memory for a BSTR");
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string Utf8FromBstr(BSTR text) {
  if (!text) return {};
  return Utf8FromWide(std::wstring_view(text, SysStringLen(text)));
}

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string HResultText(HRESULT hr) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lx", static_cast<unsigned long>(static_cast<ULONG>(hr)));
  for (const NamedResult& n : kNames)
    if (n.hr == hr) return std::string(hex) + " (" + n.name + ")";
  return hex;
}

void Fail(ErrorCode code, const std::string& what, HRESULT hr) { throw Error(code, what + ": " + HResultText(hr)); }

ErrorCode QueryErrorCode(HRESULT hr) {
  switch (static_cast<ULONG>(hr)) {
    case static_cast<ULONG>(WBEM_E_INVALID_CLASS):
    case static_cast<ULONG>(WBEM_E_NOT_FOUND):
      return ErrorCode::InvalidClass;
    case static_cast<ULONG>(WBEM_E_INVALID_QUERY):
    case static_cast<ULONG>(WBEM_E_INVALID_QUERY_TYPE):
      return ErrorCode::InvalidQuery;
    default:
      return ErrorCode::ProviderFailure;
  }
}

}  // namespace wmi::windows
