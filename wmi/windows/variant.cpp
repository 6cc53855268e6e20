#include "wmi/windows/variant.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>
#include <utility>

namespace wmi::windows {

namespace {

// Integers carry the CIM type's own width: a uint16 delivered in a VT_I2 as
// -1 is 65535, a uint8 widened to VT_I4 keeps its low byte, a uint32 in a
// VT_I4 is never negative.
std::int64_t Narrow(std::int64_t raw, CIMTYPE base) {
  switch (base) {
    case CIM_UINT8:
      return static_cast<std::uint8_t>(raw);
    case CIM_SINT8:
      return static_cast<std::int8_t>(raw);
    case CIM_UINT16:
    case CIM_CHAR16:
      return static_cast<std::uint16_t>(raw);
    case CIM_SINT16:
      return static_cast<std::int16_t>(raw);
    case CIM_UINT32:
      return static_cast<std::uint32_t>(raw);
    case CIM_SINT32:
      return static_cast<std::int32_t>(raw);
    default:
      return raw;
  }
}

Value Integer(std::int64_t raw, CIMTYPE base) { return Value(Narrow(raw, base)); }

Value Unsigned64(std::uint64_t u, CIMTYPE base) {
  if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return Value(std::to_string(u));
  return Integer(static_cast<std::int64_t>(u), base);
}

// The double whose shortest decimal form is the float's own, so that 0.1f
// reads as 0.1, as the scripting interface shows a single-precision value.
double WidenReal(float f) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, f);
  double d = f;
  if (res.ec == std::errc()) std::from_chars(buf, res.ptr, d);
  return d;
}

std::string ClassOf(IUnknown* unknown) {
  if (!unknown) return {};
  ComPtr<IWbemClassObject> object;
  if (FAILED(unknown->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(object.Out())))) return {};
  Variant name;
  if (FAILED(object->Get(L"__CLASS", 0, name.Out(), nullptr, nullptr)) || V_VT(&name.get()) != VT_BSTR) return {};
  return Utf8FromBstr(V_BSTR(&name.get()));
}

Value Opaque(VARTYPE vt) { return Value(Object{"VARIANT type " + std::to_string(vt)}); }

// One scalar of VARIANT type `vt` stored at `p` (a VARIANT's value or an
// array element).
Value Scalar(VARTYPE vt, const void* p, CIMTYPE base) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
      return Value();
    case VT_I1:
      return Integer(*static_cast<const signed char*>(p), base);
    case VT_UI1:
      return Integer(*static_cast<const unsigned char*>(p), base);
    case VT_I2:
      return Integer(*static_cast<const SHORT*>(p), base);
    case VT_UI2:
      return Integer(*static_cast<const USHORT*>(p), base);
    case VT_I4:
      return Integer(*static_cast<const LONG*>(p), base);
    case VT_UI4:
      return Integer(*static_cast<const ULONG*>(p), base);
    case VT_INT:
      return Integer(*static_cast<const INT*>(p), base);
    case VT_UINT:
      return Integer(*static_cast<const UINT*>(p), base);
    case VT_I8:
      return Integer(*static_cast<const LONGLONG*>(p), base);
    case VT_UI8:
      return Unsigned64(*static_cast<const ULONGLONG*>(p), base);
    case VT_R4:
      return Value(WidenReal(*static_cast<const FLOAT*>(p)));
    case VT_R8:
      return Value(*static_cast<const DOUBLE*>(p));
    case VT_BOOL:
      return Value(*static_cast<const VARIANT_BOOL*>(p) != VARIANT_FALSE);
    case VT_BSTR:
      return Value(Utf8FromBstr(*static_cast<const BSTR*>(p)));
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return Value(Object{ClassOf(*static_cast<IUnknown* const*>(p))});
    default:
      return Opaque(vt);
  }
}

Value FromScalarVariant(const VARIANT& v, CIMTYPE base) {
  VARTYPE vt = V_VT(&v);
  switch (vt) {
    case VT_I1:
      return Scalar(vt, &V_I1(&v), base);
    case VT_UI1:
      return Scalar(vt, &V_UI1(&v), base);
    case VT_I2:
      return Scalar(vt, &V_I2(&v), base);
    case VT_UI2:
      return Scalar(vt, &V_UI2(&v), base);
    case VT_I4:
      return Scalar(vt, &V_I4(&v), base);
    case VT_UI4:
      return Scalar(vt, &V_UI4(&v), base);
    case VT_INT:
      return Scalar(vt, &V_INT(&v), base);
    case VT_UINT:
      return Scalar(vt, &V_UINT(&v), base);
    case VT_I8:
      return Scalar(vt, &V_I8(&v), base);
    case VT_UI8:
      return Scalar(vt, &V_UI8(&v), base);
    case VT_R4:
      return Scalar(vt, &V_R4(&v), base);
    case VT_R8:
      return Scalar(vt, &V_R8(&v), base);
    case VT_BOOL:
      return Scalar(vt, &V_BOOL(&v), base);
    case VT_BSTR:
      return Scalar(vt, &V_BSTR(&v), base);
    case VT_UNKNOWN:
      return Scalar(vt, &V_UNKNOWN(&v), base);
    case VT_DISPATCH:
      return Scalar(vt, &V_DISPATCH(&v), base);
    case VT_EMPTY:
    case VT_NULL:
      return Value();
    default:
      return Opaque(vt);
  }
}

// Unlocks a SAFEARRAY's data when the walk over it ends.
class ArrayData {
 public:
  explicit ArrayData(SAFEARRAY* sa) : sa_(sa) {
    if (FAILED(SafeArrayAccessData(sa_, &data_))) data_ = nullptr;
  }
  ArrayData(const ArrayData&) = delete;
  ArrayData& operator=(const ArrayData&) = delete;
  ~ArrayData() {
    if (data_) SafeArrayUnaccessData(sa_);
  }
  const unsigned char* bytes() const { return static_cast<const unsigned char*>(data_); }

 private:
  SAFEARRAY* sa_;
  void* data_ = nullptr;
};

Value FromArray(SAFEARRAY* sa, VARTYPE element_vt, CIMTYPE base) {
  if (!sa) return Value();
  // WMI delivers one dimension; any other shape is read in storage order.
  std::size_t count = 1;
  UINT dims = SafeArrayGetDim(sa);
  for (UINT d = 1; d <= dims; ++d) {
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(sa, d, &lower)) || FAILED(SafeArrayGetUBound(sa, d, &upper)))
      return Opaque(VT_ARRAY | element_vt);
    count *= upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0;
  }
  if (dims == 0) count = 0;
  std::vector<Value> elements;
  if (count == 0) return Value(std::move(elements));
  ArrayData data(sa);
  if (!data.bytes()) return Opaque(VT_ARRAY | element_vt);
  UINT size = SafeArrayGetElemsize(sa);
  elements.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const void* p = data.bytes() + i * size;
    if (element_vt == VT_VARIANT) {
      const VARIANT& inner = *static_cast<const VARIANT*>(p);
      elements.push_back((V_VT(&inner) & VT_ARRAY) ? Opaque(V_VT(&inner)) : FromScalarVariant(inner, base));
    } else {
      elements.push_back(Scalar(element_vt, p, base));
    }
  }
  return Value(std::move(elements));
}

}  // namespace

Value FromVariant(const VARIANT& v, CIMTYPE type) {
  CIMTYPE base = type & ~CIM_FLAG_ARRAY;
  VARTYPE vt = V_VT(&v);
  if (vt & VT_ARRAY) {
    if (vt & VT_BYREF) return Opaque(vt);
    return FromArray(V_ARRAY(&v), static_cast<VARTYPE>(vt & VT_TYPEMASK), base);
  }
  return FromScalarVariant(v, base);
}

std::string CimTypeName(CIMTYPE type) {
  // A char16 is read as the character's code, an integer: uint16.
  static constexpr std::pair<CIMTYPE, const char*> kNames[] = {
      {CIM_SINT8, "sint8"},   {CIM_UINT8, "uint8"},       {CIM_SINT16, "sint16"},       {CIM_UINT16, "uint16"},
      {CIM_CHAR16, "uint16"}, {CIM_SINT32, "sint32"},     {CIM_UINT32, "uint32"},       {CIM_SINT64, "sint64"},
      {CIM_UINT64, "uint64"}, {CIM_REAL32, "real32"},     {CIM_REAL64, "real64"},       {CIM_BOOLEAN, "boolean"},
      {CIM_STRING, "string"}, {CIM_DATETIME, "datetime"}, {CIM_REFERENCE, "reference"}, {CIM_OBJECT, "object"}};
  for (const auto& [cim, name] : kNames)
    if ((type & ~CIM_FLAG_ARRAY) == cim) return (type & CIM_FLAG_ARRAY) ? std::string(name) + "[]" : name;
  return "";
}

}  // namespace wmi::windows
