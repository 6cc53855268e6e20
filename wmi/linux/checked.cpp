#include "wmi/linux/checked.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "wmi/linux/tree.h"
#include "wmi/text.h"

namespace wmi::lx {

OptInt InRange(OptInt v, std::int64_t lo, std::int64_t hi) {
  if (!v || *v < lo || *v > hi) return std::nullopt;
  return v;
}

OptInt ParseIntIn(std::string_view s, std::int64_t lo, std::int64_t hi) { return InRange(ParseInt(s), lo, hi); }

OptInt Mul(OptInt a, OptInt b) {
  std::int64_t r;
  if (!a || !b || __builtin_mul_overflow(*a, *b, &r)) return std::nullopt;
  return r;
}

OptInt Add(OptInt a, OptInt b) {
  std::int64_t r;
  if (!a || !b || __builtin_add_overflow(*a, *b, &r)) return std::nullopt;
  return r;
}

OptInt Sub(OptInt a, OptInt b) {
  std::int64_t r;
  if (!a || !b || __builtin_sub_overflow(*a, *b, &r)) return std::nullopt;
  return r;
}

OptU64 MulU(OptU64 a, OptU64 b) {
  std::uint64_t r;
  if (!a || !b || __builtin_mul_overflow(*a, *b, &r)) return std::nullopt;
  return r;
}

OptU64 AddU(OptU64 a, OptU64 b) {
  std::uint64_t r;
  if (!a || !b || __builtin_add_overflow(*a, *b, &r)) return std::nullopt;
  return r;
}

OptU64 Unsigned(OptInt v) {
  if (!v || *v < 0) return std::nullopt;
  return static_cast<std::uint64_t>(*v);
}

OptInt DivRound(OptInt v, std::int64_t d) {
  if (!v || d == 0 || (d == -1 && *v == std::numeric_limits<std::int64_t>::min())) return std::nullopt;
  std::int64_t q = *v / d, r = *v % d;
  // |r| * 2 >= |d| rounds away from zero; computed without overflow.
  std::uint64_t ar = r < 0 ? 0 - static_cast<std::uint64_t>(r) : static_cast<std::uint64_t>(r);
  std::uint64_t ad = d < 0 ? 0 - static_cast<std::uint64_t>(d) : static_cast<std::uint64_t>(d);
  if (ar >= ad - ar) q += ((*v < 0) != (d < 0)) ? -1 : 1;
  return q;
}

OptInt ParseRounded(std::string_view s) {
  std::string t = Trim(s);
  if (t.empty()) return std::nullopt;
  for (char c : t)  // digits, sign, point and exponent only: no "nan", "inf" or hex floats
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  double d = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(d)) return std::nullopt;
  double r = std::round(d);
  // 2^63 is exactly representable; every double below it converts without overflow.
  if (r >= 9223372036854775808.0 || r < -9223372036854775808.0) return std::nullopt;
  return static_cast<std::int64_t>(r);
}

std::string CleanText(std::string_view s) {
  if (!HasControl(s)) return std::string(s);
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = LineControlAt(s, i);
    if (n == 0) {
      out += s[i++];
      continue;
    }
    out += s[i] == '\t' ? ' ' : '?';
    i += n;
  }
  return out;
}

bool HasControl(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (LineControlAt(s, i)) return true;
  return false;
}

}  // namespace wmi::lx
