// A WMI value: Null, a scalar (integer, real, boolean, text), a one-dimensional
// array indexed from 0, or an object (an embedded object, which has no text).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace wmi {

class Value;

// An embedded object or other non-scalar that the text rules cannot convert.
struct Object {
  std::string class_name;
  bool operator==(const Object&) const = default;
};

class Value {
 public:
  enum class Kind { Null, Integer, Real, Boolean, Text, Array, Object };

  Value() = default;  // Null
  Value(std::int64_t v) : data_(v) {}
  Value(int v) : data_(static_cast<std::int64_t>(v)) {}
  Value(double v) : data_(v) {}
  Value(bool v) : data_(v) {}
  Value(std::string v) : data_(std::move(v)) {}
  Value(const char* v) : data_(std::string(v)) {}
  Value(std::vector<Value> elements) : data_(std::move(elements)) {}
  Value(Object o) : data_(std::move(o)) {}

  static Value Null() { return Value(); }

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_array() const { return kind() == Kind::Array; }
  bool is_scalar() const {
    Kind k = kind();
    return k == Kind::Integer || k == Kind::Real || k == Kind::Boolean || k == Kind::Text;
  }

  // Accessors; calling one of the wrong kind is a programming error (std::bad_variant_access).
  std::int64_t integer() const { return std::get<std::int64_t>(data_); }
  double real() const { return std::get<double>(data_); }
  bool boolean() const { return std::get<bool>(data_); }
  const std::string& text() const { return std::get<std::string>(data_); }
  const std::vector<Value>& elements() const { return std::get<std::vector<Value>>(data_); }
  const Object& object() const { return std::get<Object>(data_); }

  bool operator==(const Value&) const = default;

 private:
  std::variant<std::monostate, std::int64_t, double, bool, std::string, std::vector<Value>, Object> data_;
};

// Debug description of a value (for test messages), not one of the text rules.
std::string Describe(const Value& v);

}  // namespace wmi
