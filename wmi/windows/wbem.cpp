#include "wmi/windows/wbem.h"

#include "wmi/live.h"
#include "wmi/windows/variant.h"

namespace wmi::windows {

namespace {

// Walks an IEnumWbemClassObject one object at a time.
class WbemResultSet : public ResultSet {
 public:
  WbemResultSet(ComPtr<IEnumWbemClassObject> enumerator, std::string what)
      : enumerator_(std::move(enumerator)), what_(std::move(what)) {}

  std::optional<Instance> Next() override {
    if (done_) return std::nullopt;
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    HRESULT hr = enumerator_->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.Out(), &returned);
    if (FAILED(hr)) {
      done_ = true;
      Fail(QueryErrorCode(hr), what_, hr);
    }
    if (returned == 0 || !object) {
      done_ = true;
      return std::nullopt;
    }
    return InstanceFromObject(*object.get());
  }

 private:
  ComPtr<IEnumWbemClassObject> enumerator_;
  std::string what_;
  bool done_ = false;
};

class WbemConnection : public Connection {
 public:
  WbemConnection(ComPtr<IWbemServices> services, std::string ns) : services_(std::move(services)), ns_(std::move(ns)) {}

  std::unique_ptr<ResultSet> ExecQuery(std::string_view query, int flags) override {
    std::string what = "ExecQuery(" + std::string(query) + ") in " + ns_;
    Bstr language(L"WQL");
    Bstr text(WideFromUtf8(query));
    ComPtr<IEnumWbemClassObject> enumerator;
    HRESULT hr = services_->ExecQuery(language.get(), text.get(), flags, nullptr, enumerator.Out());
    if (FAILED(hr)) Fail(QueryErrorCode(hr), what, hr);
    return Results(std::move(enumerator), std::move(what));
  }

  std::unique_ptr<ResultSet> InstancesOf(std::string_view class_name, int flags) override {
    std::string what = "InstancesOf(" + std::string(class_name) + ") in " + ns_;
    Bstr name(WideFromUtf8(class_name));
    ComPtr<IEnumWbemClassObject> enumerator;
    HRESULT hr = services_->CreateInstanceEnum(name.get(), flags, nullptr, enumerator.Out());
    if (FAILED(hr)) Fail(QueryErrorCode(hr), what, hr);
    return Results(std::move(enumerator), std::move(what));
  }

 private:
  static std::unique_ptr<ResultSet> Results(ComPtr<IEnumWbemClassObject> enumerator, std::string what) {
    if (!enumerator) throw Error(ErrorCode::ProviderFailure, what + ": the service returned no enumerator");
    return std::make_unique<WbemResultSet>(std::move(enumerator), std::move(what));
  }

  ComPtr<IWbemServices> services_;
  std::string ns_;
};

// System properties (__CLASS, __PATH, ...) are not part of Properties_.
bool IsSystemProperty(const std::string& name) { return name.size() >= 2 && name[0] == '_' && name[1] == '_'; }

}  // namespace

Instance InstanceFromObject(IWbemClassObject& object) {
  HRESULT hr = object.BeginEnumeration(WBEM_FLAG_NONSYSTEM_ONLY);
  if (FAILED(hr)) Fail(ErrorCode::ProviderFailure, "BeginEnumeration", hr);
  std::vector<Property> properties;
  for (;;) {
    Bstr name;
    Variant value;
    CIMTYPE type = CIM_EMPTY;
    hr = object.Next(0, name.Out(), value.Out(), &type, nullptr);
    if (hr == WBEM_S_NO_MORE_DATA) break;
    if (FAILED(hr)) {
      object.EndEnumeration();
      Fail(ErrorCode::ProviderFailure, "enumerating the properties of an instance", hr);
    }
    std::string n = Utf8FromBstr(name.get());
    if (IsSystemProperty(n)) continue;
    properties.push_back(Property{std::move(n), FromVariant(value.get(), type)});
  }
  object.EndEnumeration();
  return Instance(std::move(properties));
}

WbemProvider::WbemProvider() { EnsureComForThisThread(); }

ComPtr<IWbemServices> WbemProvider::ConnectServices(const std::string& ns) {
  HRESULT hr = EnsureComForThisThread();
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "COM is not available on this thread", hr);
  if (!locator_) {
    hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                          reinterpret_cast<void**>(locator_.Out()));
    if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "no WMI service (WbemLocator)", hr);
  }
  // The local computer ".", as the monikers name it.
  Bstr path(L"\\\\.\\" + WideFromUtf8(ns));
  ComPtr<IWbemServices> services;
  hr = locator_->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Out());
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "connecting to " + ns, hr);
  if (!services) throw Error(ErrorCode::ConnectFailed, "connecting to " + ns + ": no service object");
  // Impersonation, as the scripting interface's default. A service running in
  // this process (as under Wine) has no proxy to set it on: E_NOINTERFACE.
  hr = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  if (FAILED(hr) && hr != E_NOINTERFACE) Fail(ErrorCode::ConnectFailed, "setting the proxy blanket for " + ns, hr);
  return services;
}

std::unique_ptr<Connection> WbemProvider::ConnectNamespace(const std::string& ns) {
  return std::make_unique<WbemConnection>(ConnectServices(ns), ns);
}

}  // namespace wmi::windows

namespace wmi {

std::unique_ptr<Provider> MakeLiveProvider() { return std::make_unique<windows::WbemProvider>(); }

}  // namespace wmi
