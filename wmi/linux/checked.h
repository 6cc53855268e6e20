// Values read from the kernel's files and from devices, checked before they
// become property values. Numbers: parsed, ranged and converted without
// overflow; a value out of range is nullopt (a Null property), never a
// wrapped or invented one. Text: control characters replaced, so that a
// device or the kernel cannot write lines or terminal sequences into the
// report. Every builder reads numbers and device text through these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wmi::lx {

using OptInt = std::optional<std::int64_t>;
using OptU64 = std::optional<std::uint64_t>;

// v when it lies in [lo, hi]; nullopt when missing or outside.
OptInt InRange(OptInt v, std::int64_t lo, std::int64_t hi);
// The text as a number (ParseInt: decimal, or hex with 0x) in [lo, hi].
OptInt ParseIntIn(std::string_view s, std::int64_t lo, std::int64_t hi);

// Arithmetic that gives nullopt instead of overflowing (or on a missing operand).
OptInt Mul(OptInt a, OptInt b);
OptInt Add(OptInt a, OptInt b);
OptInt Sub(OptInt a, OptInt b);
OptU64 MulU(OptU64 a, OptU64 b);
OptU64 AddU(OptU64 a, OptU64 b);
// A non-negative number as unsigned; nullopt when missing or negative.
OptU64 Unsigned(OptInt v);
// v / d rounded to the nearest integer (halves away from zero); nullopt for d == 0.
OptInt DivRound(OptInt v, std::int64_t d);

// A decimal number with an optional fraction ("2596.000", "-1.5e3") rounded
// to the nearest integer; nullopt for "nan", "inf", text that is not a number
// and values outside the 64-bit range.
OptInt ParseRounded(std::string_view s);

// Text fit to stand on one line of the report: each control character
// (C0, DEL, and C1 written in UTF-8), the line and paragraph separators and
// the bidirectional controls (wmi::LineControlAt) become '?', a tab a blank.
std::string CleanText(std::string_view s);
// Whether CleanText would change the text.
bool HasControl(std::string_view s);

}  // namespace wmi::lx
