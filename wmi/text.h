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

// The length in bytes of the character at s[i] when a line must show it rather
// than act on it: a C0 control or DEL (1 byte), a C1 control (2, in UTF-8), the
// line or paragraph separator U+2028 / U+2029, or a bidirectional embedding,
// override or isolate control U+202A to U+202E, U+2066 to U+2069 (3). 0 for
// any other character, and for bytes that are not UTF-8.
std::size_t LineControlAt(std::string_view s, std::size_t i);

// `text` as one line of a report shows it (the pane, the console, a dump file,
// diff): CR and LF become \r and \n, the other characters of LineControlAt
// (tab excepted) \xHH, \u00HH or \u20HH, so that a value can neither start a
// line of its own, nor move the terminal's cursor, nor turn the lines after it
// around. Everything else is kept, backslashes and bytes that are not UTF-8
// included: escaping twice gives what escaping once gives.
std::string EscapeLine(std::string_view text);
// EscapeLine(text) appended to `out`.
void AppendEscapedLine(std::string& out, std::string_view text);

// Compares ASCII text without regard to case (names of classes, properties, namespaces).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace wmi
