#include "wmi/windows/wbem.h"

#include "wmi/live.h"
#include "wmi/windows/variant.h"

namespace wmi::windows {

namespace {

// Walks an IEnumWbemClassObject one object at a time. Each Next waits a short
// while; a wait that times out (WBEM_S_TIMEDOUT: the service is still
// working, not the end) runs the wait hook and tries again.
class WbemResultSet : public ResultSet {
 public:
  WbemResultSet(ComPtr<IEnumWbemClassObject> enumerator, std::string what, std::shared_ptr<const WaitHook> hook,
                LONG timeout_ms, OwningThread thread)
      : enumerator_(std::move(enumerator)),
        what_(std::move(what)),
        hook_(std::move(hook)),
        timeout_ms_(timeout_ms),
        thread_(thread) {}

  std::optional<Instance> Next() override {
    thread_.Check("a result set");
    if (done_) return std::nullopt;
    for (;;) {
      ComPtr<IWbemClassObject> object;
      ULONG returned = 0;
      HRESULT hr = enumerator_->Next(timeout_ms_, 1, object.Out(), &returned);
      if (returned == 1 && object) return InstanceFromObject(*object.get());
      if (hr == WBEM_S_TIMEDOUT) {
        if (hook_ && !hook_->KeepWaiting()) {
          done_ = true;
          throw Error(ErrorCode::Cancelled, what_ + ": the wait was stopped");
        }
        continue;
      }
      done_ = true;
      if (FAILED(hr)) Fail(QueryErrorCode(hr), what_, hr);
      return std::nullopt;
    }
  }

 private:
  ComPtr<IEnumWbemClassObject> enumerator_;
  std::string what_;
  std::shared_ptr<const WaitHook> hook_;
  LONG timeout_ms_;
  OwningThread thread_;
  bool done_ = false;
};

class WbemConnection : public Connection {
 public:
  WbemConnection(ComPtr<IWbemServices> services, std::string ns, std::shared_ptr<const WaitHook> hook,
                 CallSettings settings)
      : services_(std::move(services)), ns_(std::move(ns)), hook_(std::move(hook)), settings_(settings) {}

  std::unique_ptr<ResultSet> ExecQuery(std::string_view query, int flags) override {
    thread_.Check("a connection");
    std::string what = "ExecQuery(" + std::string(query) + ") in " + ns_;
    Bstr language(L"WQL");
    Bstr text(WideFromUtf8(query));
    ComPtr<IEnumWbemClassObject> enumerator;
    HRESULT hr = services_->ExecQuery(language.get(), text.get(), flags, nullptr, enumerator.Out());
    if (FAILED(hr)) Fail(QueryErrorCode(hr), what, hr);
    return Results(std::move(enumerator), std::move(what));
  }

  std::unique_ptr<ResultSet> InstancesOf(std::string_view class_name, int flags) override {
    thread_.Check("a connection");
    std::string what = "InstancesOf(" + std::string(class_name) + ") in " + ns_;
    Bstr name(WideFromUtf8(class_name));
    ComPtr<IEnumWbemClassObject> enumerator;
    HRESULT hr = services_->CreateInstanceEnum(name.get(), flags, nullptr, enumerator.Out());
    if (FAILED(hr)) Fail(QueryErrorCode(hr), what, hr);
    return Results(std::move(enumerator), std::move(what));
  }

 private:
  std::unique_ptr<ResultSet> Results(ComPtr<IEnumWbemClassObject> enumerator, std::string what) {
    if (!enumerator) throw Error(ErrorCode::ProviderFailure, what + ": the service returned no enumerator");
    // An enumerator is a proxy of its own, which does not take the services
    // proxy's blanket.
    if (settings_.blanket_on_enumerators) {
      HRESULT hr = SetProxySecurity(enumerator.get());
      if (FAILED(hr)) Fail(ErrorCode::ProviderFailure, "setting the proxy blanket for " + what, hr);
    }
    return std::make_unique<WbemResultSet>(std::move(enumerator), std::move(what), hook_, settings_.next_timeout_ms,
                                           thread_);
  }

  ComPtr<IWbemServices> services_;
  std::string ns_;
  std::shared_ptr<const WaitHook> hook_;
  CallSettings settings_;
  OwningThread thread_;
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

CallSettings SettingsForSecurity(HRESULT security) {
  CallSettings settings;
  settings.blanket_on_enumerators = FAILED(security);
  return settings;
}

std::unique_ptr<Connection> MakeConnection(ComPtr<IWbemServices> services, std::string ns,
                                           std::shared_ptr<const WaitHook> hook, CallSettings settings) {
  return std::make_unique<WbemConnection>(std::move(services), std::move(ns), std::move(hook), settings);
}

WbemProvider::WbemProvider() { EnsureComForThisThread(); }

WbemProvider::WbemProvider(ComPtr<IWbemLocator> locator, CallSettings settings)
    : locator_(std::move(locator)), settings_(settings) {}

ComPtr<IWbemServices> WbemProvider::ConnectServices(const std::string& ns) {
  HRESULT hr = EnsureComForThisThread();
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "COM is not available on this thread", hr);
  if (!locator_) {
    hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                          reinterpret_cast<void**>(locator_.Out()));
    if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "no WMI service (WbemLocator)", hr);
  }
  // The local computer ".", as the monikers name it. The bounded wait: a
  // service that does not answer fails the connection after two minutes at
  // most instead of holding the window for ever.
  Bstr path(L"\\\\.\\" + WideFromUtf8(ns));
  ComPtr<IWbemServices> services;
  hr = locator_->ConnectServer(path.get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr,
                               services.Out());
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "connecting to " + ns, hr);
  if (!services) throw Error(ErrorCode::ConnectFailed, "connecting to " + ns + ": no service object");
  hr = SetProxySecurity(services.get());
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "setting the proxy blanket for " + ns, hr);
  return services;
}

std::unique_ptr<Connection> WbemProvider::ConnectNamespace(const std::string& ns) {
  thread_.Check("a provider");
  ComPtr<IWbemServices> services = ConnectServices(ns);
  const CallSettings settings = settings_ ? *settings_ : SettingsForSecurity(ProcessSecurity());
  return MakeConnection(std::move(services), ns, wait_hook(), settings);
}

}  // namespace wmi::windows

namespace wmi {

std::unique_ptr<Provider> MakeLiveProvider() { return std::make_unique<windows::WbemProvider>(); }

}  // namespace wmi
