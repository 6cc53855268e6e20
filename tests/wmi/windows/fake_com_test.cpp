// The Windows backend over fake COM objects (IWbemLocator, IWbemServices,
// IEnumWbemClassObject, IWbemClassObject): the conditions of real machines
// that Wine's service cannot produce — a provider that keeps the enumerator
// waiting, a process whose COM security was set too late, use from the wrong
// thread — and the window's wait that stays responsive meanwhile. Cross-built
// with GoogleTest and run under Wine by the stage (or on Windows).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "browser/browser.h"
#include "browser/dump_file.h"
#include "browser/window.h"
#include "cli/console.h"
#include "queries/pane.h"
#include "wmi/error.h"
#include "wmi/windows/com.h"
#include "wmi/windows/wbem.h"

// <windows.h> defines Yield() away (a 16-bit relic); the window's method is ours.
#undef Yield

namespace {

using wmi::windows::ComPtr;

// IUnknown for a fake with one interface, and IClientSecurity when asked for
// (a proxy has it; an object in this process, as Wine's service, does not).
struct Blanket {
  DWORD authn = 0, authz = 0, level = 0, impersonation = 0, capabilities = 0;
  OLECHAR* principal = nullptr;
};

class Security : public IClientSecurity {
 public:
  HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                         DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD authn, DWORD authz, OLECHAR* principal, DWORD level,
                                       DWORD impersonation, void*, DWORD capabilities) override {
    blankets.push_back(Blanket{authn, authz, level, impersonation, capabilities, principal});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }

  std::vector<Blanket> blankets;
};

// The free-threaded marshaler of `outer`, made once and kept (a test's
// objects are few): marshalled, the object crosses apartments as itself.
IUnknown* FreeThreaded(IUnknown* outer) {
  static std::mutex mutex;
  static std::map<IUnknown*, IUnknown*> made;
  std::lock_guard lock(mutex);
  IUnknown*& ftm = made[outer];
  if (!ftm) CoCreateFreeThreadedMarshaler(outer, &ftm);
  return ftm;
}

#define PCINFO_FAKE_UNKNOWN(Interface)                                              \
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }                     \
  ULONG STDMETHODCALLTYPE Release() override {                                      \
    ULONG n = --refs_;                                                              \
    if (n == 0) delete this;                                                        \
    return n;                                                                       \
  }                                                                                 \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {       \
    *out = nullptr;                                                                 \
    if (iid == IID_IUnknown || iid == __uuidof(Interface))                          \
      *out = static_cast<Interface*>(this);                                         \
    else if (iid == IID_IClientSecurity && is_proxy)                                \
      *out = static_cast<IClientSecurity*>(this);                                   \
    else if (iid == IID_IMarshal && free_threaded)                                  \
      return FreeThreaded(static_cast<Interface*>(this))->QueryInterface(iid, out); \
    if (!*out) return E_NOINTERFACE;                                                \
    AddRef();                                                                       \
    return S_OK;                                                                    \
  }                                                                                 \
  bool is_proxy = false;                                                            \
  bool free_threaded = false; /* marshalled as the pointer itself */                \
                                                                                    \
 private:                                                                           \
  ULONG refs_ = 1;                                                                  \
                                                                                    \
 public:

// An instance with a few string and uint32 properties.
class FakeObject final : public IWbemClassObject, public Security {
 public:
  PCINFO_FAKE_UNKNOWN(IWbemClassObject)

  struct Prop {
    std::wstring name;
    std::wstring text;  // CIM_STRING when `number` is negative
    long number = -1;   // CIM_UINT32 otherwise
    // Another CIM type for the text, as uint64 and datetime arrive; with
    // CIM_FLAG_ARRAY the value is Null.
    CIMTYPE type = CIM_EMPTY;
  };
  explicit FakeObject(std::vector<Prop> props) : props_(std::move(props)) {}
  // A class object of a schema query: its __CLASS and __SUPERCLASS.
  FakeObject(std::wstring class_name, std::wstring superclass)
      : class_(std::move(class_name)), superclass_(std::move(superclass)) {}

  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(LONG, BSTR* name, VARIANT* value, CIMTYPE* type, LONG*) override {
    if (next_ >= props_.size()) return WBEM_S_NO_MORE_DATA;
    const Prop& p = props_[next_++];
    *name = SysAllocString(p.name.c_str());
    VariantInit(value);
    if (p.type & CIM_FLAG_ARRAY) {
      V_VT(value) = VT_NULL;
      *type = p.type;
    } else if (p.number < 0) {
      V_VT(value) = VT_BSTR;
      V_BSTR(value) = SysAllocString(p.text.c_str());
      *type = p.type != CIM_EMPTY ? p.type : static_cast<CIMTYPE>(CIM_STRING);
    } else {
      V_VT(value) = VT_I4;
      V_I4(value) = p.number;
      *type = CIM_UINT32;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EndEnumeration() override { return S_OK; }

  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG*) override {
    const std::wstring n = name;
    if (n != L"__CLASS" && n != L"__SUPERCLASS") return WBEM_E_NOT_FOUND;
    const std::wstring& text = n == L"__CLASS" ? class_ : superclass_;
    VariantInit(value);
    if (!text.empty()) {
      V_VT(value) = VT_BSTR;
      V_BSTR(value) = SysAllocString(text.c_str());
    } else {
      V_VT(value) = VT_NULL;
    }
    if (type) *type = CIM_STRING;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

 private:
  std::vector<Prop> props_;
  std::wstring class_, superclass_;
  std::size_t next_ = 0;
};

// An enumerator that plays a script: each Next takes one step, a timeout, a
// failure or an object; after the script, the end (WBEM_S_FALSE).
class FakeEnum final : public IEnumWbemClassObject, public Security {
 public:
  PCINFO_FAKE_UNKNOWN(IEnumWbemClassObject)

  struct Step {
    HRESULT hr;
    FakeObject* object = nullptr;  // owned by the step until handed out
  };
  static Step Timeout() { return Step{static_cast<HRESULT>(WBEM_S_TIMEDOUT)}; }
  static Step Failure(HRESULT hr) { return Step{hr}; }
  static Step Object(std::vector<FakeObject::Prop> props) {
    return Step{WBEM_S_NO_ERROR, new FakeObject(std::move(props))};
  }
  static Step Class(std::wstring name, std::wstring superclass) {
    return Step{WBEM_S_NO_ERROR, new FakeObject(std::move(name), std::move(superclass))};
  }

  explicit FakeEnum(std::deque<Step> script) : script_(std::move(script)) {}
  ~FakeEnum() {
    for (Step& s : script_)
      if (s.object) s.object->Release();
  }

  // Hands out up to `count` objects that stand next in the script: all of
  // them (WBEM_S_NO_ERROR), fewer at the end (WBEM_S_FALSE) or before a
  // timeout (WBEM_S_TIMEDOUT); with none, the script's next step.
  HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
    timeouts.push_back(timeout);
    counts.push_back(count);
    *returned = 0;
    if (count == 0) return WBEM_E_INVALID_PARAMETER;
    while (*returned < count && !script_.empty() && script_.front().object) {
      objects[(*returned)++] = script_.front().object;  // the caller's reference now
      script_.pop_front();
    }
    if (*returned == count) return WBEM_S_NO_ERROR;
    if (script_.empty()) return WBEM_S_FALSE;
    if (*returned > 0) return WBEM_S_TIMEDOUT;
    Step s = script_.front();
    script_.pop_front();
    return s.hr;
  }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

  std::vector<LONG> timeouts;
  std::vector<ULONG> counts;

 private:
  std::deque<Step> script_;
};

// A services object that hands out one enumerator for every query.
class FakeServices final : public IWbemServices, public Security {
 public:
  PCINFO_FAKE_UNKNOWN(IWbemServices)

  explicit FakeServices(FakeEnum* enumerator) : enumerator_(enumerator) {}  // takes a reference
  ~FakeServices() {
    if (enumerator_) enumerator_->Release();
  }

  HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext*,
                                      IEnumWbemClassObject** out) override {
    queries.push_back(std::wstring(language) + L": " + query);
    query_flags.push_back(flags);
    return HandOut(out);
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR name, LONG flags, IWbemContext*,
                                               IEnumWbemClassObject** out) override {
    queries.push_back(std::wstring(L"instances of ") + name);
    query_flags.push_back(flags);
    return HandOut(out);
  }

  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**,
                                          IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                  IEnumWbemClassObject**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                       IWbemObjectSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                       IWbemClassObject**, IWbemCallResult**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                            IWbemObjectSink*) override {
    return E_NOTIMPL;
  }

  std::vector<std::wstring> queries;
  std::vector<LONG> query_flags;

 private:
  HRESULT HandOut(IEnumWbemClassObject** out) {
    *out = enumerator_;
    enumerator_->AddRef();
    return WBEM_S_NO_ERROR;
  }
  FakeEnum* enumerator_;
};

class FakeLocator final : public IWbemLocator, public Security {
 public:
  PCINFO_FAKE_UNKNOWN(IWbemLocator)

  explicit FakeLocator(FakeServices* services) : services_(services) {}  // takes a reference
  ~FakeLocator() { services_->Release(); }

  HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR path, const BSTR, const BSTR, const BSTR, LONG flags, const BSTR,
                                          IWbemContext*, IWbemServices** out) override {
    {
      std::unique_lock lock(gate_mutex);
      paths.push_back(path);
      flags_seen.push_back(flags);
      thread_ids.push_back(GetCurrentThreadId());
      // A service that hangs until the test opens the gate.
      gate_changed.wait(lock, [&] { return gate_open; });
    }
    *out = services_;
    services_->AddRef();
    returned = true;
    return WBEM_S_NO_ERROR;
  }
  void OpenGate() {
    std::lock_guard lock(gate_mutex);
    gate_open = true;
    gate_changed.notify_all();
  }

  std::vector<std::wstring> paths;
  std::vector<LONG> flags_seen;
  std::vector<DWORD> thread_ids;
  std::mutex gate_mutex;
  std::condition_variable gate_changed;
  bool gate_open = true;
  std::atomic<bool> returned{false};

 private:
  FakeServices* services_;
};

// One enumerator behind services behind a locator; the test keeps pointers to
// look at what the backend did, the provider holds the references.
struct FakeService {
  explicit FakeService(std::deque<FakeEnum::Step> script, bool proxies = true) {
    enumerator = new FakeEnum(std::move(script));
    enumerator->is_proxy = proxies;
    services = new FakeServices(enumerator);
    services->is_proxy = proxies;
    locator = new FakeLocator(services);
  }
  // The provider over the locator, which it takes.
  std::unique_ptr<wmi::windows::WbemProvider> Provider(wmi::windows::CallSettings settings = {}) {
    return std::make_unique<wmi::windows::WbemProvider>(ComPtr<IWbemLocator>(locator), settings);
  }

  FakeEnum* enumerator;
  FakeServices* services;
  FakeLocator* locator;
};

const std::vector<FakeObject::Prop> kDisk = {{L"Caption", L"\u30c7\u30a3\u30b9\u30af"}, {L"Index", L"", 0}};

wmi::Instance Disk() {
  return wmi::Instance(
      {{"Caption", wmi::Value("\xe3\x83\x87\xe3\x82\xa3\xe3\x82\xb9\xe3\x82\xaf")}, {"Index", wmi::Value(0)}});
}

std::optional<wmi::ErrorCode> FailureOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const wmi::Error& e) {
    return e.code();
  }
  return std::nullopt;
}

// --- the wait: a Next that times out is not the end ------------------------

TEST(Wait, ANextThatTimesOutThreeTimesThenReturnsGivesTheInstance) {
  FakeService fake({FakeEnum::Timeout(), FakeEnum::Timeout(), FakeEnum::Timeout(), FakeEnum::Object(kDisk)});
  auto provider = fake.Provider();
  int hook_calls = 0;
  provider->SetWaitHook([&] {
    ++hook_calls;
    return true;
  });
  auto results = provider->Connect("winmgmts:\\\\.\\root\\cimv2")->ExecQuery("Select * from Win32_DiskDrive", 48);
  std::optional<wmi::Instance> first = results->Next();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->Properties(), Disk().Properties());
  EXPECT_EQ(hook_calls, 3);  // once after each timeout, never after the answer
  EXPECT_FALSE(results->Next().has_value());
  EXPECT_EQ(hook_calls, 3);
  // Every wait is short: never WBEM_INFINITE. The answer came with the end
  // (fewer than asked): no call after it.
  ASSERT_EQ(fake.enumerator->timeouts.size(), 4u);
  for (LONG t : fake.enumerator->timeouts) EXPECT_EQ(t, wmi::windows::CallSettings{}.next_timeout_ms);
}

TEST(Wait, WithoutAHookTheWaitGoesOnUntilTheAnswer) {
  std::deque<FakeEnum::Step> script(20, FakeEnum::Timeout());
  script.push_back(FakeEnum::Object(kDisk));
  FakeService fake(std::move(script));
  auto provider = fake.Provider();
  auto results = provider->Connect("winmgmts:")->InstancesOf("Win32_DiskDrive", 16);
  ASSERT_TRUE(results->Next().has_value());
  EXPECT_EQ(fake.services->queries, std::vector<std::wstring>{L"instances of Win32_DiskDrive"});
}

TEST(Wait, AHookThatSaysStopEndsTheWaitWithCancelled) {
  std::deque<FakeEnum::Step> script(50, FakeEnum::Timeout());
  script.push_back(FakeEnum::Object(kDisk));
  FakeService fake(std::move(script));
  auto provider = fake.Provider();
  int hook_calls = 0;
  provider->SetWaitHook([&] { return ++hook_calls < 4; });
  auto results = provider->Connect("winmgmts:\\\\.\\root\\cimv2")->ExecQuery("Select * from Win32_Product", 48);
  EXPECT_EQ(FailureOf([&] { results->Next(); }), wmi::ErrorCode::Cancelled);
  EXPECT_EQ(hook_calls, 4);
  EXPECT_EQ(fake.enumerator->timeouts.size(), 4u);
  // A stopped result set is over: no further call reaches the service.
  EXPECT_FALSE(results->Next().has_value());
  EXPECT_EQ(fake.enumerator->timeouts.size(), 4u);
}

TEST(Wait, AFailureAfterTimeoutsIsTheQuerysFailure) {
  FakeService fake({FakeEnum::Timeout(), FakeEnum::Failure(static_cast<HRESULT>(WBEM_E_INVALID_CLASS))});
  auto provider = fake.Provider();
  auto results = provider->Connect("winmgmts:\\\\.\\root\\cimv2")->ExecQuery("Select * from Win32_NoSuch", 48);
  EXPECT_EQ(FailureOf([&] { results->Next(); }), wmi::ErrorCode::InvalidClass);
}

// --- batches: one round trip for many instances --------------------------------

TEST(Batches, NextAsksForManyObjectsAndHandsThemOutOneByOne) {
  std::deque<FakeEnum::Step> script;
  for (int i = 0; i < 40; ++i) script.push_back(FakeEnum::Object(kDisk));
  FakeService fake(std::move(script));
  auto provider = fake.Provider();
  auto results = provider->Connect("winmgmts:")->ExecQuery("Select * from Win32_DiskDrive", 48);
  int n = 0;
  while (auto instance = results->Next()) {
    EXPECT_EQ(instance->Properties(), Disk().Properties());
    ++n;
  }
  EXPECT_EQ(n, 40);
  // 32, then the 8 left with the end: two round trips, not 41.
  EXPECT_EQ(fake.enumerator->counts, (std::vector<ULONG>{32, 32}));
}

TEST(Batches, APartBeforeATimeoutAndAFailureAfterObjectsKeepTheirOrder) {
  FakeService fake({FakeEnum::Object(kDisk), FakeEnum::Object(kDisk), FakeEnum::Timeout(), FakeEnum::Object(kDisk),
                    FakeEnum::Failure(static_cast<HRESULT>(WBEM_E_PROVIDER_FAILURE))});
  auto provider = fake.Provider();
  int hook_calls = 0;
  provider->SetWaitHook([&] {
    ++hook_calls;
    return true;
  });
  auto results = provider->Connect("winmgmts:")->ExecQuery("Select * from Win32_DiskDrive", 48);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(results->Next().has_value()) << i;
  EXPECT_EQ(hook_calls, 1);  // the timeout with nothing in hand
  // The instances that came first, then the failure: the dump's file stays.
  EXPECT_EQ(FailureOf([&] { results->Next(); }), wmi::ErrorCode::ProviderFailure);
  EXPECT_FALSE(results->Next().has_value());
}

// --- the wait limit: a stuck provider is given up and named ----------------------

TEST(WaitLimit, AResultSetWithoutAnAnswerForTheLimitIsGivenUpAndNamed) {
  FakeService fake(std::deque<FakeEnum::Step>(1000, FakeEnum::Timeout()));
  std::vector<std::string> named;
  wmi::windows::SetWaitLimit(std::chrono::seconds(0), [&](const std::string& what) { named.push_back(what); });
  wmi::windows::CallSettings settings;
  settings.next_timeout_ms = 100;
  settings.wait_limit = std::chrono::milliseconds(1000);
  auto provider = fake.Provider(settings);
  auto results = provider->Connect("winmgmts:")->ExecQuery("Select * from Win32_Printer", 48);
  EXPECT_EQ(FailureOf([&] { results->Next(); }), wmi::ErrorCode::ProviderFailure);
  // Each timed-out Next counts its 100 ms: given up after ten.
  EXPECT_EQ(fake.enumerator->timeouts.size(), 10u);
  EXPECT_EQ(named, std::vector<std::string>{"ExecQuery(Select * from Win32_Printer) in root\\cimv2"});
  EXPECT_FALSE(results->Next().has_value());
  wmi::windows::SetWaitLimit(std::chrono::seconds(0), nullptr);
  EXPECT_EQ(wmi::windows::SettingsForSecurity(S_OK).wait_limit.count(), 0);
}

// --- the CIM type of each property, as the service reports it ----------------

TEST(Types, EachPropertyCarriesTheCimTypeTheServiceReports) {
  FakeService fake({FakeEnum::Object({{L"Caption", L"Disk 0"},
                                      {L"Index", L"", 0},
                                      {L"Size", L"500107862016", -1, CIM_UINT64},
                                      {L"InstallDate", L"20240131235959.000000+540", -1, CIM_DATETIME},
                                      {L"Capabilities", L"", -1, CIM_UINT16 | CIM_FLAG_ARRAY}})});
  auto provider = fake.Provider();
  std::optional<wmi::Instance> disk =
      provider->Connect("winmgmts:")->ExecQuery("Select * from Win32_DiskDrive")->Next();
  ASSERT_TRUE(disk);
  std::vector<std::pair<std::string, std::string>> types;
  for (const wmi::Property& p : disk->Properties()) types.emplace_back(p.name, p.type);
  EXPECT_EQ(types, (std::vector<std::pair<std::string, std::string>>{{"Caption", "string"},
                                                                     {"Index", "uint32"},
                                                                     {"Size", "uint64"},
                                                                     {"InstallDate", "datetime"},
                                                                     {"Capabilities", "uint16[]"}}));
  EXPECT_EQ(disk->Get("Size"), wmi::Value("500107862016"));
  EXPECT_TRUE(disk->Get("Capabilities").is_null());
}

// --- the schema: which class derives from which ----------------------------------

TEST(Schema, AQueryOfMetaClassGivesEachClassWithItsSuperclass) {
  FakeService fake({FakeEnum::Class(L"Win32_Binary", L"Win32_MSIResource"), FakeEnum::Class(L"CIM_Setting", L"")});
  auto provider = fake.Provider();
  auto results = provider->Connect("winmgmts:")->ExecQuery("Select * from meta_class", 48);
  auto binary = results->Next();
  ASSERT_TRUE(binary.has_value());
  EXPECT_EQ(binary->Properties(),
            wmi::Instance({{"__CLASS", wmi::Value("Win32_Binary")}, {"__SUPERCLASS", wmi::Value("Win32_MSIResource")}})
                .Properties());
  auto root = results->Next();
  ASSERT_TRUE(root.has_value());
  EXPECT_TRUE(root->Get("__SUPERCLASS").is_null());
  EXPECT_TRUE(wmi::windows::IsSchemaQuery("SELECT * FROM Meta_Class WHERE __this ISA 'CIM_Setting'"));
  EXPECT_FALSE(wmi::windows::IsSchemaQuery("Select * from Win32_Meta_ClassX"));
  EXPECT_FALSE(wmi::windows::IsSchemaQuery("Select * from Win32_BIOS"));
}

// --- connection: the bounded wait, the blanket ------------------------------

TEST(Connect, AsksForTheBoundedWaitAndSetsPacketPrivacyOnTheServices) {
  FakeService fake({});
  auto provider = fake.Provider();
  auto connection = provider->Connect("winmgmts:\\\\.\\root\\cimv2\\security\\microsoftvolumeencryption");
  ASSERT_EQ(fake.locator->paths.size(), 1u);
  EXPECT_EQ(fake.locator->paths[0], L"\\\\.\\root\\cimv2\\security\\microsoftvolumeencryption");
  EXPECT_EQ(fake.locator->flags_seen[0], WBEM_FLAG_CONNECT_USE_MAX_WAIT);
  ASSERT_EQ(fake.services->blankets.size(), 1u);
  const Blanket& b = fake.services->blankets[0];
  EXPECT_EQ(b.authn, static_cast<DWORD>(RPC_C_AUTHN_DEFAULT));
  EXPECT_EQ(b.level, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_PKT_PRIVACY));
  EXPECT_EQ(b.impersonation, static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE));
  connection->ExecQuery("Select * from Win32_EncryptableVolume", 48);
  EXPECT_EQ(fake.services->queries, std::vector<std::wstring>{L"WQL: Select * from Win32_EncryptableVolume"});
  EXPECT_EQ(fake.services->query_flags, std::vector<LONG>{48});
}

// The window's thread connects on a worker: a service that hangs leaves the
// window's pump running, and Esc stops the connection.
class WorkerConnect : public testing::TestWithParam<bool> {};

TEST_P(WorkerConnect, TheWindowsPumpRunsWhileTheServiceHangsAndEscStopsIt) {
  const bool esc = GetParam();
  FakeService fake({FakeEnum::Object(kDisk)});
  fake.services->free_threaded = true;
  fake.locator->gate_open = false;  // the service hangs
  wmi::windows::CallSettings settings;
  settings.connect_on_worker = true;
  settings.next_timeout_ms = 1;
  auto provider = fake.Provider(settings);
  int hook_calls = 0;
  provider->SetWaitHook([&] {
    if (++hook_calls == 3) {
      if (esc) return false;     // the user presses Esc
      fake.locator->OpenGate();  // the service answers
    }
    return true;
  });
  std::unique_ptr<wmi::Connection> connection;
  const auto failure = FailureOf([&] { connection = provider->Connect("winmgmts:\\\\.\\root\\cimv2"); });
  EXPECT_GE(hook_calls, 3);
  if (esc) {
    EXPECT_EQ(failure, wmi::ErrorCode::Cancelled);
    fake.locator->OpenGate();  // the service answers after all: the worker lets go
    for (int i = 0; i < 5000 && !fake.locator->returned; ++i) Sleep(1);
    EXPECT_TRUE(fake.locator->returned);
  } else {
    ASSERT_FALSE(failure);
    EXPECT_TRUE(connection->ExecQuery("Select * from Win32_DiskDrive", 48)->Next().has_value());
    EXPECT_EQ(fake.services->blankets.size(), 1u);
  }
  ASSERT_EQ(fake.locator->thread_ids.size(), 1u);
  EXPECT_NE(fake.locator->thread_ids[0], GetCurrentThreadId());  // not on the window's thread
  EXPECT_EQ(fake.locator->flags_seen[0], WBEM_FLAG_CONNECT_USE_MAX_WAIT);
}

INSTANTIATE_TEST_SUITE_P(Connect, WorkerConnect, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Esc" : "Answered"; });

// The console (multithreaded) connects on a worker too, under its wait limit:
// a service that does not answer is given up and named, a second connection
// while it still hangs is given up at once, and once it answers the next
// connection works.
TEST(Connect, TheConsolesConnectionGivesUpAfterTheWaitLimitAndNamesIt) {
  FakeService fake({FakeEnum::Object(kDisk)});
  fake.services->free_threaded = true;
  fake.locator->gate_open = false;  // the service hangs
  std::vector<std::string> named;
  wmi::windows::SetWaitLimit(std::chrono::milliseconds(300), [&](const std::string& what) { named.push_back(what); });
  std::thread console([&] {
    wmi::windows::ComStart com(wmi::windows::Apartment::Multithreaded, wmi::windows::Security::ProxyBlankets);
    wmi::windows::CallSettings settings = wmi::windows::SettingsForSecurity(S_OK);
    ASSERT_TRUE(settings.connect_on_worker);  // else the connection would hang
    auto provider = fake.Provider(settings);
    const auto connect = [&] { provider->Connect("winmgmts:\\\\.\\root\\cimv2"); };
    EXPECT_EQ(FailureOf(connect), wmi::ErrorCode::ConnectFailed);
    EXPECT_EQ(FailureOf(connect), wmi::ErrorCode::ConnectFailed);
    EXPECT_EQ(fake.locator->paths.size(), 1u);  // the second did not ask the hanging service again
    fake.locator->OpenGate();                   // the service answers after all: the worker lets go
    std::optional<wmi::ErrorCode> failure = wmi::ErrorCode::ConnectFailed;
    for (int i = 0; i < 5000 && failure; ++i) {
      if (!fake.locator->returned)
        Sleep(1);
      else
        failure = FailureOf(connect);
    }
    EXPECT_FALSE(failure);
    EXPECT_EQ(fake.locator->paths.size(), 2u);
  });
  console.join();
  wmi::windows::SetWaitLimit(std::chrono::seconds(0), nullptr);
  ASSERT_GE(named.size(), 2u);
  EXPECT_EQ(named[0], "ConnectServer(root\\cimv2)");
  EXPECT_EQ(named[1], "ConnectServer(root\\cimv2)");
}

struct SecurityCase {
  const char* name;
  HRESULT security;  // what CoInitializeSecurity gave
  bool blanket_on_enumerators;
};

class LateSecurity : public testing::TestWithParam<SecurityCase> {};

TEST_P(LateSecurity, EveryEnumeratorGetsTheBlanketWhenTheProcessSecurityCameTooLate) {
  wmi::windows::CallSettings settings = wmi::windows::SettingsForSecurity(GetParam().security);
  EXPECT_EQ(settings.blanket_on_enumerators, GetParam().blanket_on_enumerators);
  EXPECT_TRUE(settings.connect_on_worker);  // this program's main thread is single-threaded, as the window's
  settings.connect_on_worker = false;
  FakeService fake({FakeEnum::Object(kDisk)});
  auto provider = fake.Provider(settings);
  auto connection = provider->Connect("winmgmts:\\\\.\\root\\cimv2");
  auto results = connection->ExecQuery("Select * from Win32_DiskDrive", 48);
  EXPECT_TRUE(results->Next().has_value());
  EXPECT_EQ(fake.services->blankets.size(), 1u);  // the services proxy, always
  ASSERT_EQ(fake.enumerator->blankets.size(), GetParam().blanket_on_enumerators ? 1u : 0u);
  if (GetParam().blanket_on_enumerators) {
    EXPECT_EQ(fake.enumerator->blankets[0].authn, static_cast<DWORD>(RPC_C_AUTHN_DEFAULT));
    EXPECT_EQ(fake.enumerator->blankets[0].level, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_PKT_PRIVACY));
    EXPECT_EQ(fake.enumerator->blankets[0].impersonation, static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE));
  }
  connection->InstancesOf("Win32_DiskDrive", 16);
  EXPECT_EQ(fake.enumerator->blankets.size(), GetParam().blanket_on_enumerators ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Results, LateSecurity,
                         testing::Values(SecurityCase{"SetInTime", S_OK, false},
                                         SecurityCase{"LeftToTheProxies", S_FALSE, true},
                                         SecurityCase{"TooLate", RPC_E_TOO_LATE, true},
                                         SecurityCase{"Failed", E_OUTOFMEMORY, true}),
                         [](const auto& info) { return info.param.name; });

TEST(Connect, ObjectsOfThisProcessHaveNoProxyAndNeedNoBlanket) {
  // Wine's service lives in the process: no IClientSecurity anywhere.
  FakeService fake({FakeEnum::Object(kDisk)}, /*proxies=*/false);
  auto provider = fake.Provider(wmi::windows::SettingsForSecurity(RPC_E_TOO_LATE));
  std::unique_ptr<wmi::ResultSet> results;
  EXPECT_FALSE(FailureOf([&] {
    results = provider->Connect("winmgmts:\\\\.\\root\\cimv2")->ExecQuery("Select * from Win32_DiskDrive", 48);
  }));
  ASSERT_TRUE(results);
  EXPECT_TRUE(results->Next().has_value());
}

TEST(Connect, TheConsoleSetsTheProcessSecurityFirstThingAndTheWindowLeavesIt) {
  // This program's main starts COM as the console does.
  EXPECT_EQ(wmi::windows::ProcessSecurity(), S_OK);
  EXPECT_FALSE(wmi::windows::SettingsForSecurity(S_OK).blanket_on_enumerators);
  // The window's choice (no process-wide grant) and a front end that said
  // nothing both put the blanket on every proxy.
  EXPECT_TRUE(wmi::windows::SettingsForSecurity(S_FALSE).blanket_on_enumerators);
  EXPECT_TRUE(wmi::windows::SettingsForSecurity(E_PENDING).blanket_on_enumerators);
}

// --- apartments and threads ---------------------------------------------------

APTTYPE ApartmentOfThisThread() {
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier;
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return APTTYPE_CURRENT;
  return type;
}

TEST(Apartments, TheConsoleJoinsTheMultithreadedApartment) {
  HRESULT hr = E_FAIL;
  APTTYPE type = APTTYPE_CURRENT;
  std::thread([&] {
    hr = wmi::windows::EnsureComForThisThread(wmi::windows::Apartment::Multithreaded);
    type = ApartmentOfThisThread();
  }).join();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(type, APTTYPE_MTA);
}

TEST(Apartments, AThreadAlreadyInTheOtherApartmentKeepsIt) {
  HRESULT hr = E_FAIL;
  APTTYPE type = APTTYPE_CURRENT;
  std::thread([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // as a toolkit does first
    hr = wmi::windows::EnsureComForThisThread(wmi::windows::Apartment::Multithreaded);
    type = ApartmentOfThisThread();
    CoUninitialize();
  }).join();
  EXPECT_EQ(hr, S_FALSE);  // RPC_E_CHANGED_MODE is no failure
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
}

TEST(Apartments, TheWindowsThreadIsSingleThreaded) {
  HRESULT hr = E_FAIL;
  APTTYPE type = APTTYPE_CURRENT;
  std::thread([&] {
    hr = wmi::windows::EnsureComForThisThread();
    type = ApartmentOfThisThread();
  }).join();
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
}

TEST(Apartments, AComStartLeavesTheApartmentAtTheEndOfItsScope) {
  HRESULT inside = E_FAIL, after = E_FAIL;
  APTTYPE type = APTTYPE_CURRENT;
  std::thread([&] {
    {
      wmi::windows::ComStart com(wmi::windows::Apartment::SingleThreaded, wmi::windows::Security::ProxyBlankets);
      inside = com.result();
      type = ApartmentOfThisThread();
    }
    // Left: joining again is a first join (S_OK), not a second (S_FALSE).
    after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(after)) CoUninitialize();
  }).join();
  EXPECT_EQ(inside, S_OK);
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
  EXPECT_EQ(after, S_OK);
  EXPECT_EQ(wmi::windows::ProcessSecurity(), S_OK);  // the process's choice stays the first one
}

TEST(Threads, AProviderIsUsedOnlyOnTheThreadThatMadeIt) {
  FakeService fake({FakeEnum::Object(kDisk)});
  auto provider = fake.Provider();
  auto connection = provider->Connect("winmgmts:\\\\.\\root\\cimv2");
  auto results = connection->ExecQuery("Select * from Win32_DiskDrive", 48);
  int refused = 0;
  std::thread([&] {
    auto refuses = [&](const std::function<void()>& use) {
      try {
        use();
      } catch (const std::logic_error&) {
        ++refused;
      }
    };
    refuses([&] { provider->Connect("winmgmts:\\\\.\\root\\cimv2"); });
    refuses([&] { connection->ExecQuery("Select * from Win32_BIOS", 48); });
    refuses([&] { results->Next(); });
  }).join();
  EXPECT_EQ(refused, 3);
  EXPECT_EQ(fake.locator->paths.size(), 1u);  // nothing reached the service
  EXPECT_EQ(fake.enumerator->timeouts.size(), 0u);
  EXPECT_TRUE(results->Next().has_value());  // on its own thread it still works
}

// --- the window stays responsive during a wait ---------------------------------

// A window with the class browser's needs, whose message pump is the test's.
class TestWindow : public browser::Window {
 public:
  TestWindow(wmi::Provider& provider, std::vector<std::string> classes, std::filesystem::path info)
      : provider_(provider), classes_(std::move(classes)), info_(std::move(info)) {}

  queries::Pane& pane() override { return pane_; }
  wmi::Provider& provider() override { return provider_; }
  void Yield() override {
    ++yields;
    if (on_yield) on_yield();
  }
  int ClassCount() override { return static_cast<int>(classes_.size()); }
  int SelectedClassIndex() override { return selected_; }
  void SelectClass(int index) override {
    selected_ = index;
    browser::List1Click(*this);
  }
  std::string SelectedClass() override { return selected_ < 0 ? "" : classes_[static_cast<std::size_t>(selected_)]; }
  std::string SelectedNamespace() override { return "cimv2"; }
  void SetNamespaceListEnabled(bool) override {}
  void SetTestButtonEnabled(bool e) override { dumps += e ? 0 : 1; }
  void SetAllGetEnabled(bool) override {}
  int AutoClearValue() override { return 0; }
  void SetAutoClearValue(int) override {}
  std::optional<std::filesystem::path> InfoDirectory() override { return info_; }

  // As the window does: the wait hook runs its message pump and stops when
  // Esc was pressed or the window was closed.
  void WireWaitHook() {
    provider_.SetWaitHook([this] {
      Yield();
      return !stop_pressed;
    });
  }

  queries::TextPane pane_;
  int yields = 0;
  int dumps = 0;
  bool stop_pressed = false;
  std::function<void()> on_yield;

 private:
  wmi::Provider& provider_;
  std::vector<std::string> classes_;
  int selected_ = -1;
  std::filesystem::path info_;
};

std::filesystem::path FreshFolder(const std::string& name) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("pcinfo-fake-com-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(Responsive, ADumpWaitingOnAStalledProviderRepaintsAndEscStopsIt) {
  std::deque<FakeEnum::Step> script(100000, FakeEnum::Timeout());  // minutes of a real provider
  FakeService fake(std::move(script));
  auto provider = fake.Provider(wmi::windows::CallSettings{0, false});
  const auto info = FreshFolder("esc");
  TestWindow w(*provider, {"Win32_Product"}, info);
  w.WireWaitHook();
  w.on_yield = [&] {
    if (w.yields == 25) w.stop_pressed = true;  // the user presses Esc
  };
  w.SelectClass(0);  // the user's own click: the dump runs, and waits
  EXPECT_EQ(w.dumps, 1);
  EXPECT_EQ(w.yields, 25);  // the window's pump ran during the wait
  EXPECT_EQ(fake.enumerator->timeouts.size(), 25u);
  // The stopped dump ends as a failed query does: header and one separator,
  // and the pane is shown again.
  EXPECT_EQ(w.pane_.text(), std::string(90, '-') + "\r\n" + std::string(31, '-') + "\r\n");
  EXPECT_TRUE(w.pane_.visible());
}

TEST(Responsive, ClosingTheWindowStopsTheWaitOfEveryDumpThatFollows) {
  std::deque<FakeEnum::Step> script(100000, FakeEnum::Timeout());
  FakeService fake(std::move(script));
  auto provider = fake.Provider(wmi::windows::CallSettings{0, false});
  const auto info = FreshFolder("close");
  TestWindow w(*provider, {"Win32_Fan", "Win32_Battery", "Win32_BIOS"}, info);
  w.WireWaitHook();
  w.on_yield = [&] {
    if (w.yields == 3) w.stop_pressed = true;  // closed: it stays so
  };
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.dumps, 3);
  // Three tries of the first wait (the walk's one schema query), then the
  // close ends it; each dump stops at its first timeout.
  EXPECT_EQ(fake.enumerator->timeouts.size(), 6u);
}

// --- the AutoSave walk on Wine's own service -----------------------------------

TEST(AutoSaveOnTheService, SkipsTheClassesThatEnumerateEveryFile) {
  wmi::windows::WbemProvider provider;
  const auto info = FreshFolder("autosave");
  TestWindow w(provider, {"Win32_BIOS", "CIM_DataFile", "Win32_Directory", "CIM_LogicalFile", "Win32_OperatingSystem"},
               info);
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.dumps, 2);
  EXPECT_TRUE(std::filesystem::exists(info / "Win32_BIOS.txt"));
  EXPECT_TRUE(std::filesystem::exists(info / "Win32_OperatingSystem.txt"));
  EXPECT_FALSE(std::filesystem::exists(info / "CIM_DataFile.txt"));
  EXPECT_FALSE(std::filesystem::exists(info / "Win32_Directory.txt"));
  EXPECT_FALSE(std::filesystem::exists(info / "CIM_LogicalFile.txt"));
  EXPECT_GT(std::filesystem::file_size(info / "Win32_BIOS.txt"), 0u);
  std::filesystem::remove_all(info);
}

// --- the console: UTF-8 for WriteConsoleW, a character at a time ----------------

TEST(Console, UTF8IsHandedToTheConsoleWholeCharactersOnly) {
  struct Case {
    std::string utf8;
    std::size_t used;
    std::wstring wide;
  };
  const std::vector<Case> cases = {
      {"ab", 2, L"ab"},
      {"\xe6\x97\xa5\xe6\x9c", 3, L"\u65e5"},  // 本 cut after two of its bytes
      {"x\xf0\x9f\x98", 1, L"x"},              // an emoji cut after three
      {"\xf0\x9f\x98\x80", 4, L"\U0001F600"},  // whole: a surrogate pair
      {"\xe2\x80\x94\r\n", 5, L"\u2014\r\n"},
      {"\xff"
       "a",
       2, L"\uFFFDa"},  // not UTF-8: a replacement character
  };
  for (const Case& c : cases) {
    std::wstring wide;
    EXPECT_EQ(cli::WideFromUtf8Prefix(c.utf8, wide), c.used) << c.utf8;
    EXPECT_EQ(wide, c.wide) << c.utf8;
  }
}

TEST(Console, AWriteOfTheConsoleNeverSplitsASurrogatePair) {
  std::wstring text(8191, L'a');
  text += L"\U0001F600";  // its high half is unit 8192
  text += L"b";
  EXPECT_EQ(cli::ConsoleChunk(text.data(), text.size()), 8191u);
  EXPECT_EQ(cli::ConsoleChunk(text.data() + 8191, text.size() - 8191), 3u);
  const std::wstring plain(9000, L'x');
  EXPECT_EQ(cli::ConsoleChunk(plain.data(), plain.size()), 8192u);
}

TEST(Console, RedirectedTextIsInTheCodePageWithAQuestionMarkForWhatItLacks) {
  // 日本 and ～ in Shift_JIS; ® and ¥ are "?" (no R, no backslash).
  EXPECT_EQ(cli::BytesInCodePage(L"\u65e5\u672c \uff5e \u00ae\u00a5\r\n", 932), "\x93\xfa\x96\x7b \x81\x60 ??\r\n");
  EXPECT_EQ(cli::BytesInCodePage(L"caf\u00e9 \u65e5", 1252), "caf\xe9 ?");
  EXPECT_EQ(cli::BytesInCodePage(L"\u65e5", CP_UTF8), "\xe6\x97\xa5");
  EXPECT_NE(cli::RedirectedCodePage(), 0u);
}

// --- the dump file: replaced while another program holds it ----------------------

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A reader that holds the file open without letting it be deleted, as a
// spreadsheet or a scanner does.
HANDLE Hold(const std::filesystem::path& p) {
  return CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(DumpFileOnWindows, AHeldFileIsReplacedOnceItsReaderLetsGo) {
  const auto dir = FreshFolder("held");
  const auto target = dir / "Win32_BIOS.txt";
  std::ofstream(target, std::ios::binary) << "old";
  HANDLE reader = Hold(target);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  browser::DumpFile file([](std::string_view s) { return std::string(s); });
  std::vector<int> waits;
  file.SetRetryWait([&](int attempt) {
    waits.push_back(attempt);
    if (attempt == 2) CloseHandle(reader);  // the reader lets go
  });
  ASSERT_TRUE(file.Open(target));
  // The temporary file carries the machine's name: PCs sharing one folder
  // never write into the same one.
  wchar_t machine[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(machine, &size));
  bool named = false;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    named =
        named || e.path().filename().wstring().find(L"." + std::wstring(machine, size) + L".") != std::wstring::npos;
  EXPECT_TRUE(named);
  file.WriteLine("Name:new");
  EXPECT_TRUE(file.Close()) << file.error();
  EXPECT_EQ(waits, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(ReadAll(target), "\"Name:new\"\r\n");
  std::filesystem::remove_all(dir);
}

TEST(DumpFileOnWindows, AFileHeldThroughoutOrReadOnlyStaysAndTheReasonIsUTF8) {
  const auto dir = FreshFolder("kept");
  const auto target = dir / "Win32_BIOS.txt";
  for (bool read_only : {false, true}) {
    std::ofstream(target, std::ios::binary) << "old";
    HANDLE reader = INVALID_HANDLE_VALUE;
    if (read_only)
      SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    else
      reader = Hold(target);
    browser::DumpFile file([](std::string_view s) { return std::string(s); });
    int waits = 0;
    file.SetRetryWait([&](int) { ++waits; });
    ASSERT_TRUE(file.Open(target));
    file.WriteLine("Name:new");
    EXPECT_FALSE(file.Close()) << read_only;
    EXPECT_EQ(waits, read_only ? 0 : browser::DumpFile::kReplaceTries - 1);
    EXPECT_FALSE(file.error().empty());
    EXPECT_EQ(file.error(), wmi::windows::Utf8FromWide(wmi::windows::WideFromUtf8(file.error())));  // valid UTF-8
    EXPECT_EQ(file.error().find("Input/output error"), std::string::npos) << file.error();
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadAll(target), "old");
    std::vector<std::wstring> files;
    for (const auto& e : std::filesystem::directory_iterator(dir)) files.push_back(e.path().filename().wstring());
    EXPECT_EQ(files, std::vector<std::wstring>{L"Win32_BIOS.txt"}) << "no temporary file left";
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // As the console's wmain: COM and its security first thing.
  wmi::windows::ComStart com(wmi::windows::Apartment::SingleThreaded, wmi::windows::Security::SetForProcess);
  return RUN_ALL_TESTS();
}
