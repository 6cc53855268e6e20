// One WMI instance: its properties in provider order (Properties_), read by
// name without regard to case, as WMI does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/value.h"

namespace wmi {

struct Property {
  std::string name;
  Value value;
  // The CIM type the provider reports for the property ("uint64", "string[]",
  // the names a capture's types use), "" when it does not say. What the
  // provider says about the property, not what it holds: properties compare
  // by name and value.
  std::string type = {};
  bool operator==(const Property& other) const { return name == other.name && value == other.value; }
};

class Instance {
 public:
  Instance() = default;
  explicit Instance(std::vector<Property> properties) : properties_(std::move(properties)) {}

  // Properties_: every property in provider order.
  const std::vector<Property>& Properties() const { return properties_; }

  // Get property: throws Error(NotFound) when the instance has no such property.
  const Value& Get(std::string_view name) const;

  // Get property element: element `index` of an array property. Throws
  // NotFound, TypeMismatch (not an array) or OutOfRange.
  const Value& GetElement(std::string_view name, std::int32_t index) const;

  // Property-set item lookup by name (flags 0); throws Error(NotFound).
  const Property& Item(std::string_view name) const;

  // Null when absent; for builders and tests.
  const Property* Find(std::string_view name) const;

 private:
  std::vector<Property> properties_;
};

}  // namespace wmi
