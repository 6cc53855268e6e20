// VARIANT to wmi::Value, as the scripting interface presents WMI values.
#pragma once

#include "wmi/value.h"
#include "wmi/windows/com.h"

namespace wmi::windows {

// Converts a property value of CIM type `type` (CIMTYPE as IWbemClassObject
// reports it; 0 when unknown). Null and empty give Null; the integer types
// give integers, narrowed to the width of the CIM type (uint8, sint8, uint16,
// sint16, uint32, sint32, char16), whatever the VARIANT type that carries them;
// reals give reals (a 32-bit real keeps its own shortest decimal form); BSTR
// gives UTF-8 text (uint64, sint64, datetime and references arrive as text);
// arrays give arrays of the element values; interfaces give an object value
// named after the embedded object's class. Never throws wmi::Error for an
// unusual VARIANT type: it becomes an object value, which has no text.
Value FromVariant(const VARIANT& v, CIMTYPE type);

// The name a capture gives CIM type `type` ("uint64", "string[]" with
// CIM_FLAG_ARRAY), "" for CIM_EMPTY and types it does not know.
std::string CimTypeName(CIMTYPE type);

}  // namespace wmi::windows
