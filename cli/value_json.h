// A WMI value as JSON, for the companion's machine-readable outputs (diff
// --json, array columns of the inventory database).
#pragma once

#include <nlohmann/json.hpp>

#include "wmi/value.h"

namespace cli {

inline nlohmann::ordered_json ToJson(const wmi::Value& v) {
  switch (v.kind()) {
    case wmi::Value::Kind::Null:
      return nullptr;
    case wmi::Value::Kind::Integer:
      return v.integer();
    case wmi::Value::Kind::Real:
      return v.real();
    case wmi::Value::Kind::Boolean:
      return v.boolean();
    case wmi::Value::Kind::Text:
      return v.text();
    case wmi::Value::Kind::Array: {
      nlohmann::ordered_json a = nlohmann::ordered_json::array();
      for (const wmi::Value& e : v.elements()) a.push_back(ToJson(e));
      return a;
    }
    case wmi::Value::Kind::Object:
      return nlohmann::ordered_json{{"object", v.object().class_name}};
  }
  return nullptr;
}

// JSON text of the value; invalid UTF-8 in text is replaced, never thrown on.
inline std::string JsonText(const wmi::Value& v) {
  return ToJson(v).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace cli
