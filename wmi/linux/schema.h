// The classes the Linux backend knows: for each its WMI property list (names
// and CIM types as the WMI class documentation gives them), the CIM classes
// it derives from, so that queries on those ancestors find its instances, and
// the builder of its instances. The classes themselves are the rows of
// classes.inc.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wmi {
class Instance;
}

namespace wmi::lx {

class Context;
struct ClassDef;
using InstanceList = std::vector<Instance>;
// Makes every instance of a class from what the context reads.
using BuildFn = InstanceList (*)(const ClassDef&, Context&);

// How the scripting interface delivers a CIM type.
enum class CimType {
  Text,     // string
  Integer,  // sint8 ... uint32
  Big,      // uint64, sint64: delivered as text
  Boolean,
  Real,       // real32, real64
  DateTime,   // yyyymmddHHMMSS.mmmmmm+UUU, text
  Reference,  // object path, text
};

struct PropertyDef {
  std::string name;
  CimType type;
  bool array;
};

struct ClassDef {
  std::string name;
  std::vector<std::string> ancestors;   // nearest first, e.g. CIM_Processor, CIM_LogicalDevice, ...
  std::vector<PropertyDef> properties;  // in alphabetical order, case ignored
  BuildFn build = nullptr;

  const PropertyDef* Find(std::string_view property) const;
  bool DerivesFrom(std::string_view ancestor) const;  // case ignored
};

// Every class the backend knows, in no particular order.
std::span<const ClassDef> KnownClasses();
const ClassDef* FindClassDef(std::string_view name);  // case ignored

}  // namespace wmi::lx
