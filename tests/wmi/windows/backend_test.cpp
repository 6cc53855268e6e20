// Checks of the Windows backend, run under Wine (or on Windows): VARIANT to
// value conversion on constructed VARIANTs, HRESULT translation, and the live
// WMI service through the backend. Prints one line per failed check and a
// closing count; exits 1 when any check failed.
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "wmi/error.h"
#include "wmi/recorded/capture.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/windows/com.h"
#include "wmi/windows/variant.h"
#include "wmi/windows/wbem.h"

using wmi::Value;
using namespace wmi::windows;

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

void CheckValue(const Value& got, const Value& want, const std::string& what) {
  Check(got == want, what + ": got " + wmi::Describe(got) + ", want " + wmi::Describe(want));
}

using Builder = std::function<void(VARIANT&)>;

Builder I4(LONG n) {
  return [n](VARIANT& v) {
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
  };
}
Builder I2(SHORT n) {
  return [n](VARIANT& v) {
    V_VT(&v) = VT_I2;
    V_I2(&v) = n;
  };
}
Builder UI1(BYTE n) {
  return [n](VARIANT& v) {
    V_VT(&v) = VT_UI1;
    V_UI1(&v) = n;
  };
}
Builder Str(const wchar_t* s) {
  return [s](VARIANT& v) {
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
  };
}

// A one-dimensional SAFEARRAY of `vt` with lower bound `lower`, holding `items`.
template <class T>
Builder Array(VARTYPE vt, LONG lower, std::vector<T> items) {
  return [vt, lower, items](VARIANT& v) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lower};
    SAFEARRAY* sa = SafeArrayCreate(vt, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
      LONG index = lower + i;
      T item = items[static_cast<std::size_t>(i)];
      if constexpr (std::is_same_v<T, const wchar_t*>) {
        BSTR b = SysAllocString(item);
        SafeArrayPutElement(sa, &index, b);  // copies
        SysFreeString(b);
      } else {
        SafeArrayPutElement(sa, &index, &item);
      }
    }
    V_VT(&v) = static_cast<VARTYPE>(VT_ARRAY | vt);
    V_ARRAY(&v) = sa;
  };
}

struct VariantCase {
  const char* name;
  Builder build;
  CIMTYPE type;
  Value want;
};

std::vector<Value> Values(std::initializer_list<Value> v) { return std::vector<Value>(v); }

void VariantConversion() {
  const std::vector<VariantCase> cases = {
      {"VT_NULL", [](VARIANT& v) { V_VT(&v) = VT_NULL; }, CIM_STRING, Value()},
      {"VT_EMPTY", [](VARIANT& v) { V_VT(&v) = VT_EMPTY; }, CIM_UINT32, Value()},
      {"uint32 in VT_I4", I4(42), CIM_UINT32, Value(42)},
      {"uint32 above 2^31 in VT_I4", I4(-1), CIM_UINT32, Value(std::int64_t{4294967295})},
      {"sint32 in VT_I4", I4(-7), CIM_SINT32, Value(-7)},
      {"uint16 in VT_I4", I4(65535), CIM_UINT16, Value(65535)},
      {"uint16 in VT_I2 with the top bit set", I2(-1), CIM_UINT16, Value(65535)},
      {"uint16 in a VT_I4 wider than 16 bits", I4(70000), CIM_UINT16, Value(70000 & 0xFFFF)},
      {"sint16 in VT_I4", I4(65535), CIM_SINT16, Value(-1)},
      {"sint16 in VT_I2", I2(-300), CIM_SINT16, Value(-300)},
      {"uint8 in VT_UI1", UI1(200), CIM_UINT8, Value(200)},
      {"uint8 in VT_I4", I4(511), CIM_UINT8, Value(255)},
      {"sint8 in VT_I2", I2(-5), CIM_SINT8, Value(-5)},
      {"char16 in VT_I2", I2(static_cast<SHORT>(0x8000)), CIM_CHAR16, Value(0x8000)},
      {"VT_I1",
       [](VARIANT& v) {
         V_VT(&v) = VT_I1;
         V_I1(&v) = -3;
       },
       CIM_EMPTY, Value(-3)},
      {"VT_UI2",
       [](VARIANT& v) {
         V_VT(&v) = VT_UI2;
         V_UI2(&v) = 60000;
       },
       CIM_EMPTY, Value(60000)},
      {"VT_UI4",
       [](VARIANT& v) {
         V_VT(&v) = VT_UI4;
         V_UI4(&v) = 4000000000u;
       },
       CIM_EMPTY, Value(std::int64_t{4000000000})},
      {"VT_I8",
       [](VARIANT& v) {
         V_VT(&v) = VT_I8;
         V_I8(&v) = -9000000000LL;
       },
       CIM_SINT64, Value(std::int64_t{-9000000000LL})},
      {"VT_UI8 above the int64 range",
       [](VARIANT& v) {
         V_VT(&v) = VT_UI8;
         V_UI8(&v) = 9223372036854775809ULL;
       },
       CIM_UINT64, Value("9223372036854775809")},
      {"VT_INT",
       [](VARIANT& v) {
         V_VT(&v) = VT_INT;
         V_INT(&v) = -12;
       },
       CIM_EMPTY, Value(-12)},
      {"VT_UINT",
       [](VARIANT& v) {
         V_VT(&v) = VT_UINT;
         V_UINT(&v) = 12;
       },
       CIM_EMPTY, Value(12)},
      {"VT_R4 keeps its shortest form",
       [](VARIANT& v) {
         V_VT(&v) = VT_R4;
         V_R4(&v) = 0.1f;
       },
       CIM_REAL32, Value(0.1)},
      {"VT_R8",
       [](VARIANT& v) {
         V_VT(&v) = VT_R8;
         V_R8(&v) = 2.5;
       },
       CIM_REAL64, Value(2.5)},
      {"VT_BOOL true",
       [](VARIANT& v) {
         V_VT(&v) = VT_BOOL;
         V_BOOL(&v) = VARIANT_TRUE;
       },
       CIM_BOOLEAN, Value(true)},
      {"VT_BOOL false",
       [](VARIANT& v) {
         V_VT(&v) = VT_BOOL;
         V_BOOL(&v) = VARIANT_FALSE;
       },
       CIM_BOOLEAN, Value(false)},
      {"VT_BSTR ASCII", Str(L"Wine Disk Drive"), CIM_STRING, Value("Wine Disk Drive")},
      {"VT_BSTR Japanese to UTF-8", Str(L"\u65e5\u672c\u8a9e"), CIM_STRING,
       Value("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e")},
      {"VT_BSTR surrogate pair to UTF-8", Str(L"\U0001F600"), CIM_STRING, Value("\xf0\x9f\x98\x80")},
      {"uint64 arrives as text", Str(L"18446744073709551615"), CIM_UINT64, Value("18446744073709551615")},
      {"datetime arrives as text", Str(L"20140101000000.000000+000"), CIM_DATETIME, Value("20140101000000.000000+000")},
      {"null BSTR",
       [](VARIANT& v) {
         V_VT(&v) = VT_BSTR;
         V_BSTR(&v) = nullptr;
       },
       CIM_STRING, Value("")},
      {"null VT_UNKNOWN",
       [](VARIANT& v) {
         V_VT(&v) = VT_UNKNOWN;
         V_UNKNOWN(&v) = nullptr;
       },
       CIM_OBJECT, Value(wmi::Object{""})},
      {"VT_DATE has no WMI value",
       [](VARIANT& v) {
         V_VT(&v) = VT_DATE;
         V_DATE(&v) = 1.0;
       },
       CIM_EMPTY, Value(wmi::Object{"VARIANT type 7"})},
      {"uint16 array in VT_I4 elements", Array<LONG>(VT_I4, 0, {1, -1, 65536 + 3}), CIM_UINT16 | CIM_FLAG_ARRAY,
       Value(Values({1, 65535, 3}))},
      {"uint16 array in VT_I2 elements", Array<SHORT>(VT_I2, 0, {-1, 2}), CIM_UINT16 | CIM_FLAG_ARRAY,
       Value(Values({65535, 2}))},
      {"sint16 array in VT_I4 elements", Array<LONG>(VT_I4, 0, {65535, 7}), CIM_SINT16 | CIM_FLAG_ARRAY,
       Value(Values({-1, 7}))},
      {"uint8 array in VT_UI1 elements", Array<BYTE>(VT_UI1, 0, {0, 255}), CIM_UINT8 | CIM_FLAG_ARRAY,
       Value(Values({0, 255}))},
      {"uint8 array in VT_I4 elements", Array<LONG>(VT_I4, 0, {511, 1}), CIM_UINT8 | CIM_FLAG_ARRAY,
       Value(Values({255, 1}))},
      {"uint32 array in VT_I4 elements", Array<LONG>(VT_I4, 0, {-2}), CIM_UINT32 | CIM_FLAG_ARRAY,
       Value(Values({std::int64_t{4294967294}}))},
      {"array with lower bound 1 is indexed from 0", Array<LONG>(VT_I4, 1, {7, 8, 9}), CIM_SINT32 | CIM_FLAG_ARRAY,
       Value(Values({7, 8, 9}))},
      {"empty array", Array<LONG>(VT_I4, 0, {}), CIM_UINT16 | CIM_FLAG_ARRAY, Value(std::vector<Value>{})},
      {"string array", Array<const wchar_t*>(VT_BSTR, 0, {L"a", L"\u03b2"}), CIM_STRING | CIM_FLAG_ARRAY,
       Value(Values({"a", "\xce\xb2"}))},
      {"boolean array", Array<VARIANT_BOOL>(VT_BOOL, 0, {VARIANT_TRUE, VARIANT_FALSE}), CIM_BOOLEAN | CIM_FLAG_ARRAY,
       Value(Values({true, false}))},
      {"real32 array", Array<FLOAT>(VT_R4, 0, {1.5f, 0.2f}), CIM_REAL32 | CIM_FLAG_ARRAY, Value(Values({1.5, 0.2}))},
      {"VARIANT array",
       [](VARIANT& v) {
         SAFEARRAYBOUND bound{2, 0};
         SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &bound);
         VARIANT e;
         VariantInit(&e);
         V_VT(&e) = VT_I4;
         V_I4(&e) = -1;
         LONG i = 0;
         SafeArrayPutElement(sa, &i, &e);
         V_VT(&e) = VT_BSTR;
         V_BSTR(&e) = SysAllocString(L"x");
         i = 1;
         SafeArrayPutElement(sa, &i, &e);
         VariantClear(&e);
         V_VT(&v) = VT_ARRAY | VT_VARIANT;
         V_ARRAY(&v) = sa;
       },
       CIM_UINT16 | CIM_FLAG_ARRAY, Value(Values({65535, "x"}))},
      {"null SAFEARRAY",
       [](VARIANT& v) {
         V_VT(&v) = VT_ARRAY | VT_I4;
         V_ARRAY(&v) = nullptr;
       },
       CIM_SINT32 | CIM_FLAG_ARRAY, Value()},
  };
  for (const VariantCase& c : cases) {
    Variant v;
    c.build(*v.Out());
    CheckValue(FromVariant(v.get(), c.type), c.want, std::string("FromVariant ") + c.name);
  }
}

void HResults() {
  struct Case {
    HRESULT hr;
    wmi::ErrorCode code;
    const char* text;
  };
  const std::vector<Case> cases = {
      {static_cast<HRESULT>(WBEM_E_INVALID_CLASS), wmi::ErrorCode::InvalidClass, "0x80041010 (WBEM_E_INVALID_CLASS)"},
      {static_cast<HRESULT>(WBEM_E_NOT_FOUND), wmi::ErrorCode::InvalidClass, "0x80041002 (WBEM_E_NOT_FOUND)"},
      {static_cast<HRESULT>(WBEM_E_INVALID_QUERY), wmi::ErrorCode::InvalidQuery, "0x80041017 (WBEM_E_INVALID_QUERY)"},
      {static_cast<HRESULT>(WBEM_E_INVALID_QUERY_TYPE), wmi::ErrorCode::InvalidQuery,
       "0x80041018 (WBEM_E_INVALID_QUERY_TYPE)"},
      {static_cast<HRESULT>(WBEM_E_FAILED), wmi::ErrorCode::ProviderFailure, "0x80041001 (WBEM_E_FAILED)"},
      {static_cast<HRESULT>(0x80001234), wmi::ErrorCode::ProviderFailure, "0x80001234"},
      // A remote provider's process gone, its proxy cut off, a call cancelled.
      {static_cast<HRESULT>(0x800706BA), wmi::ErrorCode::ProviderFailure, "0x800706ba (RPC_S_SERVER_UNAVAILABLE)"},
      {static_cast<HRESULT>(0x80010108), wmi::ErrorCode::ProviderFailure, "0x80010108 (RPC_E_DISCONNECTED)"},
      {static_cast<HRESULT>(0x80041032), wmi::ErrorCode::ProviderFailure, "0x80041032 (WBEM_E_CALL_CANCELLED)"},
  };
  for (const Case& c : cases) {
    Check(QueryErrorCode(c.hr) == c.code, "QueryErrorCode of " + std::string(c.text));
    Check(HResultText(c.hr) == c.text, "HResultText: got " + HResultText(c.hr) + ", want " + c.text);
  }
  bool thrown = false;
  try {
    Fail(wmi::ErrorCode::ConnectFailed, "connecting", static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
  } catch (const wmi::Error& e) {
    thrown = e.code() == wmi::ErrorCode::ConnectFailed &&
             std::string(e.what()) == "connecting: 0x8004100e (WBEM_E_INVALID_NAMESPACE)";
  }
  Check(thrown, "Fail throws wmi::Error with the HRESULT in its message");
  Check(Utf8FromWide(L"a\u00e9\u30c6") == "a\xc3\xa9\xe3\x83\x86", "Utf8FromWide");
  Check(WideFromUtf8("a\xc3\xa9\xe3\x83\x86") == L"a\u00e9\u30c6", "WideFromUtf8");
}

// The failure code of running `step`, or nothing when it succeeds.
std::optional<wmi::ErrorCode> FailureOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const wmi::Error& e) {
    return e.code();
  }
  return std::nullopt;
}

std::vector<wmi::Instance> All(wmi::ResultSet& results) {
  std::vector<wmi::Instance> out;
  while (auto i = results.Next()) out.push_back(std::move(*i));
  return out;
}

// The service as a C++ client sees it directly, to compare the backend with.
ComPtr<IWbemServices> DirectServices() {
  ComPtr<IWbemLocator> locator;
  ComPtr<IWbemServices> services;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              reinterpret_cast<void**>(locator.Out()))))
    return services;
  Bstr path(L"root\\cimv2");
  locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Out());
  return services;
}

void LiveService() {
  WbemProvider provider;
  std::unique_ptr<wmi::Connection> cimv2;
  auto connect = FailureOf([&] { cimv2 = provider.Connect("winmgmts:\\\\.\\root\\cimv2"); });
  Check(!connect && cimv2, "connect to winmgmts:\\\\.\\root\\cimv2");
  if (!cimv2) return;
  Check(!FailureOf([&] { provider.Connect("Winmgmts:"); }), "connect to the default namespace (Winmgmts:)");
  Check(FailureOf([&] { provider.Connect("winmgmts:\\\\.\\root\\nosuch"); }) == wmi::ErrorCode::ConnectFailed,
        "a namespace that does not exist fails to connect");

  // Windows fails a query of a class it does not know (WBEM_E_INVALID_CLASS);
  // Wine answers it with an empty result. Either way no instance arrives.
  std::optional<wmi::Instance> none;
  auto missing =
      FailureOf([&] { none = cimv2->ExecQuery("Select * from Win32_NoSuchClass", wmi::kCategoryFlags)->Next(); });
  Check((missing == wmi::ErrorCode::InvalidClass) || (!missing && !none),
        "a class that does not exist fails as InvalidClass or gives no instance");
  Check(FailureOf([&] { cimv2->ExecQuery("Select from where", wmi::kCategoryFlags)->Next(); }).has_value(),
        "a query the service cannot read fails");

  std::vector<wmi::Instance> processors;
  Check(!FailureOf([&] { processors = All(*cimv2->ExecQuery("Select * from Win32_Processor", wmi::kCategoryFlags)); }),
        "Select * from Win32_Processor runs");
  Check(!processors.empty(), "Win32_Processor has instances");
  for (const wmi::Instance& p : processors) {
    const wmi::Property* name = p.Find("Name");
    Check(name && name->value.kind() == Value::Kind::Text && !name->value.text().empty(),
          "Win32_Processor.Name is non-empty text");
    const wmi::Property* width = p.Find("AddressWidth");
    Check(width && width->value.kind() == Value::Kind::Integer, "Win32_Processor.AddressWidth (uint16) is an integer");
    bool system = false;
    for (const wmi::Property& prop : p.Properties()) system = system || prop.name.rfind("__", 0) == 0;
    Check(!system, "Properties_ holds no system properties");
  }

  // The backend's properties are the service's, in its order, with the values
  // IWbemClassObject::Get gives.
  ComPtr<IWbemServices> direct = DirectServices();
  Check(static_cast<bool>(direct), "direct connection for comparison");
  if (direct) {
    Bstr wql(L"WQL"), text(L"Select * from Win32_DiskDrive");
    ComPtr<IEnumWbemClassObject> e;
    direct->ExecQuery(wql.get(), text.get(), WBEM_FLAG_FORWARD_ONLY, nullptr, e.Out());
    ComPtr<IWbemClassObject> first;
    ULONG n = 0;
    if (e) e->Next(static_cast<LONG>(WBEM_INFINITE), 1, first.Out(), &n);
    Check(n == 1 && first, "Win32_DiskDrive has an instance");
    if (first) {
      wmi::Instance inst = InstanceFromObject(*first.get());
      Check(inst.Properties().size() > 5, "Win32_DiskDrive instance has properties");
      for (const wmi::Property& prop : inst.Properties()) {
        Variant v;
        CIMTYPE type = 0;
        HRESULT hr = first->Get(WideFromUtf8(prop.name).c_str(), 0, v.Out(), &type, nullptr);
        Check(SUCCEEDED(hr), "Get(" + prop.name + ") succeeds");
        CheckValue(FromVariant(v.get(), type), prop.value,
                   "Win32_DiskDrive." + prop.name + " by Get and by enumeration");
      }
      const wmi::Property* size = inst.Find("Size");
      Check(size && size->value.kind() == Value::Kind::Text, "Win32_DiskDrive.Size (uint64) arrives as text");
      Variant unknown;
      VARIANT* u = unknown.Out();
      first->AddRef();  // the VARIANT's own reference, released when it is cleared
      V_VT(u) = VT_UNKNOWN;
      V_UNKNOWN(u) = first.get();
      CheckValue(FromVariant(unknown.get(), CIM_OBJECT), Value(wmi::Object{"Win32_DiskDrive"}),
                 "an embedded object is named after its class");
    }
  }

  // A uint16 array property of the live service: integers of 16 bits.
  std::vector<wmi::Instance> enclosures;
  Check(!FailureOf(
            [&] { enclosures = All(*cimv2->ExecQuery("Select * from Win32_SystemEnclosure", wmi::kCategoryFlags)); }),
        "Select * from Win32_SystemEnclosure runs");
  for (const wmi::Instance& e : enclosures) {
    const wmi::Property* types = e.Find("ChassisTypes");
    bool ok = types && types->value.is_array() && !types->value.elements().empty();
    if (ok)
      for (const Value& t : types->value.elements())
        ok = ok && t.kind() == Value::Kind::Integer && t.integer() >= 0 && t.integer() <= 65535;
    Check(ok, "Win32_SystemEnclosure.ChassisTypes is an array of uint16 integers");
  }

  std::vector<wmi::Instance> systems;
  Check(!FailureOf([&] {
    systems = All(*provider.Connect("Winmgmts:")->InstancesOf("Win32_OperatingSystem", wmi::kReturnImmediately));
  }),
        "InstancesOf(Win32_OperatingSystem, 16) runs");
  Check(systems.size() == 1, "one Win32_OperatingSystem instance");
  missing = FailureOf([&] { none = cimv2->InstancesOf("Win32_NoSuchClass", wmi::kReturnImmediately)->Next(); });
  Check((missing == wmi::ErrorCode::InvalidClass) || (!missing && !none),
        "InstancesOf a class that does not exist fails as InvalidClass or gives no instance");
  std::vector<wmi::Instance> defaults;
  Check(!FailureOf([&] { defaults = All(*cimv2->ExecQuery("Select * from Win32_BIOS")); }),
        "ExecQuery with the default flags runs");
  Check(!defaults.empty(), "Win32_BIOS has an instance");

  // A capture of the live service reads back as the same instances.
  wmi::Snapshot snap = wmi::CaptureSnapshot(provider, "root\\cimv2", {"Win32_DiskDrive"});
  wmi::Snapshot back = wmi::ParseSnapshot(wmi::SerializeSnapshot(snap), "capture");
  std::vector<wmi::Instance> disks = All(*cimv2->ExecQuery("Select * from Win32_DiskDrive", wmi::kCategoryFlags));
  const wmi::RecordedClass* recorded = back.FindClass("root\\cimv2", "Win32_DiskDrive");
  bool same = recorded && recorded->instances.size() == disks.size();
  for (std::size_t i = 0; same && i < disks.size(); ++i)
    same = recorded->instances[i].Properties() == disks[i].Properties();
  Check(same, "captured Win32_DiskDrive reads back as the live instances");
  Check(FailureOf([&] { wmi::CaptureSnapshot(provider, "root\\nosuch", {"Win32_Processor"}); }) ==
            wmi::ErrorCode::ConnectFailed,
        "capturing a namespace that does not exist fails to connect");
}

bool IsSingleThreadedApartment() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
}

}  // namespace

int main() {
  ComStart com(Apartment::SingleThreaded, Security::SetForProcess);
  Check(com.result() == S_OK, "COM starts on the main thread");
  Check(ProcessSecurity() == S_OK, "the process's COM security is set first thing");
  Check(EnsureComForThisThread() == S_FALSE, "a thread in an apartment keeps it");
  Check(IsSingleThreadedApartment(), "the main thread joins a single-threaded apartment");
  bool worker_ok = false;
  std::thread worker([&] { worker_ok = EnsureComForThisThread() == S_OK && IsSingleThreadedApartment(); });
  worker.join();
  Check(worker_ok, "another thread joins its own single-threaded apartment");
  VariantConversion();
  HResults();
  try {
    LiveService();
  } catch (const wmi::Error& e) {
    Check(false, std::string("unexpected wmi::Error: ") + e.what());
  }
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
