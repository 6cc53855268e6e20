#include "wmi/text.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "wmi/error.h"

namespace wmi {

namespace {

std::string RealText(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

[[noreturn]] void Mismatch(const char* op, const Value& v) {
  throw Error(ErrorCode::TypeMismatch, std::string(op) + ": cannot turn " + Describe(v) + " into text");
}

}  // namespace

std::string ScalarText(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Integer:
      return std::to_string(v.integer());
    case Value::Kind::Real:
      return RealText(v.real());
    case Value::Kind::Boolean:
      return v.boolean() ? "True" : "False";
    case Value::Kind::Text:
      return v.text();
    default:
      Mismatch("text", v);
  }
}

std::string Join(std::string_view label, const Value& v) {
  if (v.is_null()) return std::string(label);
  if (!v.is_scalar()) Mismatch("join", v);
  std::string out(label);
  out += ScalarText(v);
  return out;
}

std::string Convert(const Value& v) {
  if (!v.is_scalar()) Mismatch("convert", v);
  return ScalarText(v);
}

std::string Add(std::string_view text, const Value& v) {
  if (v.kind() != Value::Kind::Text) Mismatch("add", v);
  std::string out(text);
  out += v.text();
  return out;
}

std::int32_t SafeUpperBound(const Value& v, std::int16_t dimension) {
  if (!v.is_array()) return -1;
  if (dimension != -1 && dimension != 1) return -1;  // only one-dimensional arrays exist
  return static_cast<std::int32_t>(v.elements().size()) - 1;
}

std::int32_t UpperBound(const Value& v) {
  if (!v.is_array()) Mismatch("upper bound", v);
  return static_cast<std::int32_t>(v.elements().size()) - 1;
}

std::string Describe(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Null:
      return "Null";
    case Value::Kind::Integer:
      return "integer " + std::to_string(v.integer());
    case Value::Kind::Real:
      return "real " + RealText(v.real());
    case Value::Kind::Boolean:
      return v.boolean() ? "boolean True" : "boolean False";
    case Value::Kind::Text:
      return "text \"" + v.text() + "\"";
    case Value::Kind::Array: {
      std::string out = "array [";
      for (std::size_t i = 0; i < v.elements().size(); ++i) {
        if (i) out += ", ";
        out += Describe(v.elements()[i]);
      }
      return out + "]";
    }
    case Value::Kind::Object:
      return "object " + v.object().class_name;
  }
  return "?";
}

std::size_t LineControlAt(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char c = at(0);
  if (c < 0x20 || c == 0x7F) return 1;
  if (c == 0xC2 && i + 1 < s.size() && at(1) >= 0x80 && at(1) <= 0x9F) return 2;
  if (c == 0xE2 && i + 2 < s.size() && at(1) == 0x80 && at(2) >= 0xA8 && at(2) <= 0xAE) return 3;  // U+2028-U+202E
  if (c == 0xE2 && i + 2 < s.size() && at(1) == 0x81 && at(2) >= 0xA6 && at(2) <= 0xA9) return 3;  // U+2066-U+2069
  return 0;
}

std::string EscapeLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscapedLine(out, text);
  return out;
}

void AppendEscapedLine(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::size_t plain = 0;  // start of the run of bytes kept as they are
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != 0x7F && c != 0xC2 && c != 0xE2) {  // the bytes that start none of them
      ++i;
      continue;
    }
    const std::size_t n = LineControlAt(text, i);
    if (n == 0 || c == '\t') {
      ++i;
      continue;
    }
    out.append(text.substr(plain, i - plain));
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (n == 1) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      // The code point: C2 xx is U+00xx; E2 80 xx is U+20xx with xx - 0x80, E2 81 xx is U+20xx with xx - 0x40.
      const auto last = static_cast<unsigned char>(text[i + n - 1]);
      const unsigned low = n == 2                                            ? last
                           : static_cast<unsigned char>(text[i + 1]) == 0x80 ? last - 0x80u
                                                                             : last - 0x40u;
      out += n == 2 ? "\\u00" : "\\u20";
      out += kHex[low >> 4];
      out += kHex[low & 15];
    }
    i += n;
    plain = i;
  }
  out.append(text.substr(plain));
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace wmi
