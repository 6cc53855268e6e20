// The rules by which a WMI value becomes text. Three operations differ in how
// they treat Null and arrays, and callers rely on the difference.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wmi/value.h"

namespace wmi {

// Text of a scalar: integers in decimal without grouping, booleans True/False,
// text unchanged, reals in shortest round-trip form with a ".". Throws
// Error(TypeMismatch) for Null, arrays and objects.
std::string ScalarText(const Value& v);

// Join: a label followed by a value. Null gives the label alone; a scalar gives
// label + its text; an array or an object fails.
std::string Join(std::string_view label, const Value& v);

// Convert: a value alone to text. Null, arrays and objects fail.
std::string Convert(const Value& v);

// Add: text plus a value. Only text plus text succeeds; text plus Null yields
// Null (whose conversion then fails); text plus a number, boolean, array or
// object fails. Either way the caller gets no line, so Null and the other
// failures all throw.
std::string Add(std::string_view text, const Value& v);

// The upper bound of dimension `dimension` (-1 means dimension 1) of an array
// value, or -1 when the value is not an array or the dimension does not exist.
std::int32_t SafeUpperBound(const Value& v, std::int16_t dimension = -1);

// Upper bound of dimension 1; throws Error(TypeMismatch) when not an array.
std::int32_t UpperBound(const Value& v);

// Compares ASCII text without regard to case (names of classes, properties, namespaces).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace wmi
