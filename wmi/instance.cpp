#include "wmi/instance.h"

#include "wmi/error.h"
#include "wmi/text.h"

namespace wmi {

const Property* Instance::Find(std::string_view name) const {
  for (const Property& p : properties_)
    if (EqualsIgnoreCase(p.name, name)) return &p;
  return nullptr;
}

const Property& Instance::Item(std::string_view name) const {
  if (const Property* p = Find(name)) return *p;
  throw Error(ErrorCode::NotFound, "no property " + std::string(name));
}

const Value& Instance::Get(std::string_view name) const { return Item(name).value; }

const Value& Instance::GetElement(std::string_view name, std::int32_t index) const {
  const Value& v = Get(name);
  if (!v.is_array()) throw Error(ErrorCode::TypeMismatch, std::string(name) + " is not an array");
  if (index < 0 || static_cast<std::size_t>(index) >= v.elements().size())
    throw Error(ErrorCode::OutOfRange, std::string(name) + ": index out of range");
  return v.elements()[static_cast<std::size_t>(index)];
}

}  // namespace wmi
