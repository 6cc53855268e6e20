#include "wmi/windows/wbem.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "wmi/live.h"
#include "wmi/text.h"
#include "wmi/windows/variant.h"

namespace wmi::windows {

namespace {

// What a worker's connection and its caller share. The worker holds it (and
// its own locator reference) to the end: a caller that gave up leaves it
// behind safely.
struct ConnectJob {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;      // the worker has its answer
  bool finished = false;  // the caller took it, or went away
  HRESULT connect = E_PENDING;
  HRESULT marshal = E_PENDING;
  IStream* stream = nullptr;  // the services object, marshalled for the caller
};

struct ProcessWaitLimit {
  std::mutex mutex;  // taken before a job's own mutex, never while holding it
  std::chrono::milliseconds limit{0};
  std::shared_ptr<const std::function<void(const std::string&)>> on_give_up;
  // The connections given up for the limit, by namespace, while their worker
  // still waits on the service: a later connection there fails at once
  // rather than waiting the limit again and leaving another thread behind.
  std::map<std::string, std::shared_ptr<ConnectJob>> given_up;
};

ProcessWaitLimit& TheWaitLimit() {
  static ProcessWaitLimit* limit = new ProcessWaitLimit;  // outlives every provider
  return *limit;
}

// The two properties of a class object that a schema query gives.
Instance ClassFromObject(IWbemClassObject& object) {
  std::vector<Property> properties;
  for (const wchar_t* name : {L"__CLASS", L"__SUPERCLASS"}) {
    Variant value;
    CIMTYPE type = CIM_STRING;
    HRESULT hr = object.Get(name, 0, value.Out(), &type, nullptr);
    if (FAILED(hr)) Fail(ErrorCode::ProviderFailure, "reading " + Utf8FromWide(name) + " of a class", hr);
    properties.push_back(Property{Utf8FromWide(name), FromVariant(value.get(), type)});
  }
  return Instance(std::move(properties));
}

// Walks an IEnumWbemClassObject, asking for `batch` objects a call and
// handing them out one by one. Each Next waits a short while; a wait that
// times out with nothing (WBEM_S_TIMEDOUT: the service is still working, not
// the end) runs the wait hook and tries again, until the wait limit.
class WbemResultSet : public ResultSet {
 public:
  WbemResultSet(ComPtr<IEnumWbemClassObject> enumerator, std::string what, std::shared_ptr<const WaitHook> hook,
                const CallSettings& settings, bool schema, OwningThread thread,
                std::shared_ptr<const std::function<void(const std::string&)>> on_give_up)
      : enumerator_(std::move(enumerator)),
        what_(std::move(what)),
        hook_(std::move(hook)),
        settings_(settings),
        schema_(schema),
        thread_(thread),
        on_give_up_(std::move(on_give_up)) {
    settings_.batch = std::clamp<ULONG>(settings_.batch, 1, 256);
  }

  std::optional<Instance> Next() override {
    thread_.Check("a result set");
    if (buffer_.empty() && !done_) Fetch();
    if (!buffer_.empty()) {
      ComPtr<IWbemClassObject> object = std::move(buffer_.front());
      buffer_.pop_front();
      return schema_ ? ClassFromObject(*object.get()) : InstanceFromObject(*object.get());
    }
    if (FAILED(failure_)) {
      const HRESULT hr = std::exchange(failure_, S_OK);
      Fail(QueryErrorCode(hr), what_, hr);
    }
    return std::nullopt;
  }

 private:
  // Fills the buffer with the next batch, or ends the enumeration.
  void Fetch() {
    std::chrono::milliseconds waited{0};
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
      std::vector<IWbemClassObject*> objects(settings_.batch, nullptr);
      ULONG returned = 0;
      HRESULT hr = enumerator_->Next(settings_.next_timeout_ms, settings_.batch, objects.data(), &returned);
      returned = std::min(returned, settings_.batch);
      for (ULONG i = 0; i < returned; ++i)
        if (objects[i]) buffer_.emplace_back(objects[i]);  // adopts the caller's reference
      if (hr == WBEM_S_TIMEDOUT) {
        if (!buffer_.empty()) return;  // a part of the batch came: hand it out first
        waited += std::chrono::milliseconds(std::max<LONG>(settings_.next_timeout_ms, 0));
        waited = std::max(
            waited, std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started));
        if (settings_.wait_limit.count() > 0 && waited >= settings_.wait_limit) {
          done_ = true;
          if (on_give_up_ && *on_give_up_) (*on_give_up_)(what_);
          throw Error(ErrorCode::ProviderFailure,
                      what_ + ": no answer within " + std::to_string(settings_.wait_limit.count() / 1000) + " s");
        }
        if (hook_ && !hook_->KeepWaiting()) {
          done_ = true;
          throw Error(ErrorCode::Cancelled, what_ + ": the wait was stopped");
        }
        continue;
      }
      // A failure ends the enumeration after the objects that came with it;
      // WBEM_S_FALSE (fewer than asked) is the end; a full batch may have more.
      if (FAILED(hr)) {
        done_ = true;
        failure_ = hr;
      } else if (hr != WBEM_S_NO_ERROR || returned == 0) {
        done_ = true;
      }
      return;
    }
  }

  ComPtr<IEnumWbemClassObject> enumerator_;
  std::string what_;
  std::shared_ptr<const WaitHook> hook_;
  CallSettings settings_;
  bool schema_;
  OwningThread thread_;
  std::shared_ptr<const std::function<void(const std::string&)>> on_give_up_;
  std::deque<ComPtr<IWbemClassObject>> buffer_;
  bool done_ = false;
  HRESULT failure_ = S_OK;
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
    return Results(std::move(enumerator), std::move(what), IsSchemaQuery(query));
  }

  std::unique_ptr<ResultSet> InstancesOf(std::string_view class_name, int flags) override {
    thread_.Check("a connection");
    std::string what = "InstancesOf(" + std::string(class_name) + ") in " + ns_;
    Bstr name(WideFromUtf8(class_name));
    ComPtr<IEnumWbemClassObject> enumerator;
    HRESULT hr = services_->CreateInstanceEnum(name.get(), flags, nullptr, enumerator.Out());
    if (FAILED(hr)) Fail(QueryErrorCode(hr), what, hr);
    return Results(std::move(enumerator), std::move(what), false);
  }

 private:
  std::unique_ptr<ResultSet> Results(ComPtr<IEnumWbemClassObject> enumerator, std::string what, bool schema) {
    if (!enumerator) throw Error(ErrorCode::ProviderFailure, what + ": the service returned no enumerator");
    // An enumerator is a proxy of its own, which does not take the services
    // proxy's blanket.
    if (settings_.blanket_on_enumerators) {
      HRESULT hr = SetProxySecurity(enumerator.get());
      if (FAILED(hr)) Fail(ErrorCode::ProviderFailure, "setting the proxy blanket for " + what, hr);
    }
    std::shared_ptr<const std::function<void(const std::string&)>> on_give_up;
    {
      std::lock_guard lock(TheWaitLimit().mutex);
      on_give_up = TheWaitLimit().on_give_up;
    }
    return std::make_unique<WbemResultSet>(std::move(enumerator), std::move(what), hook_, settings_, schema, thread_,
                                           std::move(on_give_up));
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
    properties.push_back(Property{std::move(n), FromVariant(value.get(), type), CimTypeName(type)});
  }
  object.EndEnumeration();
  return Instance(std::move(properties));
}

CallSettings SettingsForSecurity(HRESULT security) {
  CallSettings settings;
  settings.blanket_on_enumerators = security != S_OK;
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  std::lock_guard lock(TheWaitLimit().mutex);
  settings.wait_limit = TheWaitLimit().limit;
  // A single-threaded apartment keeps its pump running; the console's
  // connection waits no longer than its limit.
  settings.connect_on_worker =
      (SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && (type == APTTYPE_STA || type == APTTYPE_MAINSTA)) ||
      settings.wait_limit.count() > 0;
  return settings;
}

void SetWaitLimit(std::chrono::milliseconds limit, std::function<void(const std::string& what)> on_give_up) {
  std::lock_guard lock(TheWaitLimit().mutex);
  TheWaitLimit().limit = limit;
  TheWaitLimit().on_give_up = std::make_shared<const std::function<void(const std::string&)>>(std::move(on_give_up));
}

bool IsSchemaQuery(std::string_view query) {
  // "from" and the class name, as words, whatever the case and spacing.
  std::string lower(query);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  std::size_t at = lower.find("from");
  while (at != std::string::npos) {
    std::size_t name = lower.find_first_not_of(" \t\r\n", at + 4);
    const bool word_before = at == 0 || lower[at - 1] == ' ' || lower[at - 1] == '\t';
    if (word_before && name != at + 4 && name != std::string::npos && lower.compare(name, 10, "meta_class") == 0 &&
        (name + 10 == lower.size() || lower.find_first_of(" \t\r\n", name + 10) == name + 10))
      return true;
    at = lower.find("from", at + 4);
  }
  return false;
}

std::unique_ptr<Connection> MakeConnection(ComPtr<IWbemServices> services, std::string ns,
                                           std::shared_ptr<const WaitHook> hook, CallSettings settings) {
  return std::make_unique<WbemConnection>(std::move(services), std::move(ns), std::move(hook), settings);
}

WbemProvider::WbemProvider() { EnsureComForThisThread(); }

WbemProvider::WbemProvider(ComPtr<IWbemLocator> locator, CallSettings settings)
    : locator_(std::move(locator)), settings_(settings) {}

namespace {

std::wstring ServicePath(const std::string& ns) {
  // The local computer ".", as the monikers name it.
  return L"\\\\.\\" + WideFromUtf8(ns);
}

// The bounded wait: a service that does not answer fails the connection
// after two minutes at most instead of holding the caller for ever.
HRESULT ConnectWithin(IWbemLocator& locator, const std::wstring& path, IWbemServices** out) {
  Bstr p(path);
  return locator.ConnectServer(p.get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr,
                               out);
}

// Whether a connection to `ns` given up earlier is still waiting on the
// service; one that has its answer by now is forgotten.
bool EarlierConnectionHangs(const std::string& ns) {
  std::lock_guard lock(TheWaitLimit().mutex);
  auto& given_up = TheWaitLimit().given_up;
  auto it = given_up.find(ns);
  if (it == given_up.end()) return false;
  {
    std::lock_guard job_lock(it->second->mutex);
    if (!it->second->done) return true;
  }
  given_up.erase(it);
  return false;
}

}  // namespace

ComPtr<IWbemServices> WbemProvider::ConnectOnWorker(const std::string& ns, const CallSettings& settings) {
  const std::string what = "ConnectServer(" + ns + ")";
  std::shared_ptr<const std::function<void(const std::string&)>> on_give_up;
  {
    std::lock_guard lock(TheWaitLimit().mutex);
    on_give_up = TheWaitLimit().on_give_up;
  }
  const auto give_up = [&] {
    if (on_give_up && *on_give_up) (*on_give_up)(what);
    throw Error(ErrorCode::ConnectFailed,
                what + ": no answer within " + std::to_string(settings.wait_limit.count() / 1000) + " s");
  };
  const bool bounded = settings.wait_limit.count() > 0;
  if (bounded && EarlierConnectionHangs(ns)) give_up();

  auto job = std::make_shared<ConnectJob>();
  IWbemLocator* given = locator_.get();  // a test's locator; else the worker makes its own
  if (given) given->AddRef();
  std::thread([job, given, path = ServicePath(ns)] {
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWbemLocator* locator = given;
    HRESULT hr = S_OK;
    if (!locator)
      hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                            reinterpret_cast<void**>(&locator));
    IWbemServices* services = nullptr;
    if (SUCCEEDED(hr)) hr = ConnectWithin(*locator, path, &services);
    if (SUCCEEDED(hr) && !services) hr = E_POINTER;
    HRESULT marshal = E_PENDING;
    IStream* stream = nullptr;
    if (SUCCEEDED(hr)) marshal = CoMarshalInterThreadInterfaceInStream(IID_IWbemServices, services, &stream);
    std::unique_lock lock(job->mutex);
    job->connect = hr;
    job->marshal = marshal;
    job->stream = stream;
    job->done = true;
    job->changed.notify_all();
    // The apartment stays until the caller has unmarshalled, or gone.
    job->changed.wait(lock, [&] { return job->finished; });
    if (job->stream) {
      // Not taken: release the marshalled reference here.
      IWbemServices* unused = nullptr;
      if (SUCCEEDED(
              CoGetInterfaceAndReleaseStream(job->stream, IID_IWbemServices, reinterpret_cast<void**>(&unused))) &&
          unused)
        unused->Release();
      job->stream = nullptr;
    }
    lock.unlock();
    if (services) services->Release();
    if (locator) locator->Release();
    if (SUCCEEDED(joined)) CoUninitialize();
  }).detach();

  std::unique_lock lock(job->mutex);
  const auto slice = std::chrono::milliseconds(std::max<LONG>(settings.next_timeout_ms, 1));
  const auto started = std::chrono::steady_clock::now();
  std::chrono::milliseconds waited{0};
  while (!job->changed.wait_for(lock, slice, [&] { return job->done; })) {
    // Each slice counts whole, as a timed-out Next does.
    waited =
        std::max(waited + slice,
                 std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started));
    if (bounded && waited >= settings.wait_limit) {
      // The worker releases what it gets when the service answers.
      job->finished = true;
      job->changed.notify_all();
      lock.unlock();
      {
        std::lock_guard limit_lock(TheWaitLimit().mutex);
        TheWaitLimit().given_up[ns] = job;
      }
      give_up();
    }
    lock.unlock();
    const bool keep_waiting = wait_hook()->KeepWaiting();
    lock.lock();
    if (!keep_waiting && !job->done) {
      job->finished = true;
      job->changed.notify_all();
      throw Error(ErrorCode::Cancelled, "connecting to " + ns + ": the wait was stopped");
    }
  }
  ComPtr<IWbemServices> services;
  HRESULT hr = job->connect;
  if (SUCCEEDED(hr) && SUCCEEDED(job->marshal)) {
    hr = CoGetInterfaceAndReleaseStream(job->stream, IID_IWbemServices, reinterpret_cast<void**>(services.Out()));
    job->stream = nullptr;
  }
  const HRESULT marshal = job->marshal;
  job->finished = true;
  job->changed.notify_all();
  lock.unlock();
  if (FAILED(job->connect)) Fail(ErrorCode::ConnectFailed, "connecting to " + ns, job->connect);
  // The service answered but its object cannot cross apartments: connect
  // here, as without a worker.
  if (FAILED(marshal) || FAILED(hr) || !services) return ConnectServices(ns, CallSettings{});
  // The proxy unmarshalled here is this apartment's own: its blanket too.
  hr = SetProxySecurity(services.get());
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "setting the proxy blanket for " + ns, hr);
  return services;
}

ComPtr<IWbemServices> WbemProvider::ConnectServices(const std::string& ns, const CallSettings& settings) {
  HRESULT hr = EnsureComForThisThread();
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "COM is not available on this thread", hr);
  if (settings.connect_on_worker) return ConnectOnWorker(ns, settings);
  if (!locator_) {
    hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                          reinterpret_cast<void**>(locator_.Out()));
    if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "no WMI service (WbemLocator)", hr);
  }
  ComPtr<IWbemServices> services;
  hr = ConnectWithin(*locator_.get(), ServicePath(ns), services.Out());
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "connecting to " + ns, hr);
  if (!services) throw Error(ErrorCode::ConnectFailed, "connecting to " + ns + ": no service object");
  hr = SetProxySecurity(services.get());
  if (FAILED(hr)) Fail(ErrorCode::ConnectFailed, "setting the proxy blanket for " + ns, hr);
  return services;
}

std::unique_ptr<Connection> WbemProvider::ConnectNamespace(const std::string& ns) {
  thread_.Check("a provider");
  const CallSettings settings = settings_ ? *settings_ : SettingsForSecurity(ProcessSecurity());
  ComPtr<IWbemServices> services = ConnectServices(ns, settings);
  return MakeConnection(std::move(services), ns, wait_hook(), settings);
}

}  // namespace wmi::windows

namespace wmi {

std::unique_ptr<Provider> MakeLiveProvider() { return std::make_unique<windows::WbemProvider>(); }

}  // namespace wmi
