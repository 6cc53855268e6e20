#include "wmi/linux/schema.h"

#include <algorithm>
#include <cctype>

#include "wmi/instance.h"
#include "wmi/linux/tree.h"
#include "wmi/text.h"

namespace wmi::lx {

// The builders named in classes.inc, each defined in the file of its source.
#define PCINFO_CLASS(name, build, ancestors, properties) InstanceList build(const ClassDef&, Context&);
#include "wmi/linux/classes.inc"
#undef PCINFO_CLASS

InstanceList NoInstances(const ClassDef&, Context&) { return {}; }

namespace {

// What @dev, @ctl and @res stand for in the property lists of classes.inc.
constexpr std::string_view kDevice =
    "Availability:i Caption:s ConfigManagerErrorCode:i ConfigManagerUserConfig:b CreationClassName:s Description:s "
    "DeviceID:s ErrorCleared:b ErrorDescription:s InstallDate:d LastErrorCode:i Name:s PNPDeviceID:s "
    "PowerManagementCapabilities:i[] PowerManagementSupported:b Status:s StatusInfo:i SystemCreationClassName:s "
    "SystemName:s";
constexpr std::string_view kController =
    "@dev Manufacturer:s MaxNumberControlled:i ProtocolSupported:i TimeOfLastReset:d";
constexpr std::string_view kResource =
    "Caption:s CreationClassName:s CSCreationClassName:s CSName:s Description:s InstallDate:d Name:s Status:s";

constexpr std::string_view kNumericSensor =
    "Accuracy:i CurrentReading:i IsLinear:b LowerThresholdCritical:i LowerThresholdFatal:i "
    "LowerThresholdNonCritical:i MaxReadable:i MinReadable:i NominalReading:i NormalMax:i NormalMin:i Resolution:i "
    "Tolerance:i UpperThresholdCritical:i UpperThresholdFatal:i UpperThresholdNonCritical:i";

constexpr std::string_view kLogicalDevice = "CIM_LogicalDevice CIM_LogicalElement CIM_ManagedSystemElement";

struct RawClass {
  std::string_view name;
  BuildFn build;
  std::string_view ancestors;  // "@" stands for the chain of CIM_LogicalDevice
  std::string_view properties;
};

#define PCINFO_CLASS(name, build, ancestors, properties) {#name, build, ancestors, properties},
constexpr RawClass kClasses[] = {
#include "wmi/linux/classes.inc"
};
#undef PCINFO_CLASS

void AddProperties(std::string_view text, std::vector<PropertyDef>& out) {
  for (const std::string& word : Words(text)) {
    if (word == "@dev") {
      AddProperties(kDevice, out);
      continue;
    }
    if (word == "@ctl") {
      AddProperties(kController, out);
      continue;
    }
    if (word == "@res") {
      AddProperties(kResource, out);
      continue;
    }
    if (word == "@probe") {
      AddProperties(kNumericSensor, out);
      continue;
    }
    auto colon = word.find(':');
    std::string name = word.substr(0, colon);
    std::string type = word.substr(colon + 1);
    bool array = type.size() > 2 && type.substr(type.size() - 2) == "[]";
    CimType t = CimType::Text;
    switch (type[0]) {
      case 'i':
        t = CimType::Integer;
        break;
      case 'l':
        t = CimType::Big;
        break;
      case 'b':
        t = CimType::Boolean;
        break;
      case 'r':
        t = CimType::Real;
        break;
      case 'd':
        t = CimType::DateTime;
        break;
      case 'o':
        t = CimType::Reference;
        break;
      default:
        t = CimType::Text;
        break;
    }
    auto same = [&](const PropertyDef& p) { return EqualsIgnoreCase(p.name, name); };
    if (std::find_if(out.begin(), out.end(), same) == out.end()) out.push_back({name, t, array});
  }
}

bool LessIgnoreCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

std::vector<ClassDef> BuildClasses() {
  std::vector<ClassDef> classes;
  for (const RawClass& raw : kClasses) {
    ClassDef def;
    def.name = std::string(raw.name);
    def.build = raw.build;
    for (const std::string& a : Words(raw.ancestors)) {
      if (a == "@") {
        for (const std::string& b : Words(kLogicalDevice)) def.ancestors.push_back(b);
      } else {
        def.ancestors.push_back(a);
      }
    }
    AddProperties(raw.properties, def.properties);
    std::sort(def.properties.begin(), def.properties.end(),
              [](const PropertyDef& a, const PropertyDef& b) { return LessIgnoreCase(a.name, b.name); });
    classes.push_back(std::move(def));
  }
  return classes;
}

}  // namespace

const PropertyDef* ClassDef::Find(std::string_view property) const {
  for (const PropertyDef& p : properties)
    if (EqualsIgnoreCase(p.name, property)) return &p;
  return nullptr;
}

bool ClassDef::DerivesFrom(std::string_view ancestor) const {
  for (const std::string& a : ancestors)
    if (EqualsIgnoreCase(a, ancestor)) return true;
  return false;
}

std::span<const ClassDef> KnownClasses() {
  static const std::vector<ClassDef> classes = BuildClasses();
  return classes;
}

const ClassDef* FindClassDef(std::string_view name) {
  for (const ClassDef& c : KnownClasses())
    if (EqualsIgnoreCase(c.name, name)) return &c;
  return nullptr;
}

}  // namespace wmi::lx
