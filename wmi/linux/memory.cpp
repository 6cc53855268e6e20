// Win32_PhysicalMemoryArray (SMBIOS type 16), Win32_PhysicalMemory (17),
// Win32_MemoryArray (19) and Win32_MemoryDevice (20); the last two are also
// the instances of Win32_SMBIOSMemory. Without a readable table the modules
// and arrays come from udev's record of the DMI device
// (/run/udev/data/+dmi:id, MEMORY_DEVICE_<n>_* and MEMORY_ARRAY_*).
#include <algorithm>
#include <map>
#include <set>

#include "wmi/linux/backend.h"
#include "wmi/linux/firmware.h"
#include "wmi/linux/smbios.h"
#include "wmi/provider.h"

namespace wmi::lx {

namespace {

constexpr std::uint8_t kArray = 16, kDevice = 17, kArrayAddress = 19, kDeviceAddress = 20;

// SMBIOS memory form factors and types by their names (the names dmidecode
// and udev print), and the WMI codes they map to. SMBIOS codes without a WMI
// counterpart map to 0 (Unknown); types from DDR4 on are Unknown in WMI's
// MemoryType, which SMBIOSMemoryType completes.
struct Named {
  std::int64_t smbios;
  const char* name;
  std::int64_t wmi;
};
constexpr Named kFormFactors[] = {
    {1, "Other", 1},    {2, "Unknown", 0}, {3, "SIMM", 7},          {4, "SIP", 2},
    {5, "Chip", 0},     {6, "DIP", 3},     {7, "ZIP", 4},           {8, "Proprietary Card", 6},
    {9, "DIMM", 8},     {10, "TSOP", 9},   {11, "Row Of Chips", 0}, {12, "RIMM", 11},
    {13, "SODIMM", 12}, {14, "SRIMM", 13}, {15, "FB-DIMM", 0},      {16, "Die", 0},
};
constexpr Named kMemoryTypes[] = {
    {1, "Other", 1},   {2, "Unknown", 0},  {3, "DRAM", 2},     {4, "EDRAM", 6},
    {5, "VRAM", 7},    {6, "SRAM", 8},     {7, "RAM", 9},      {8, "ROM", 10},
    {9, "Flash", 11},  {10, "EEPROM", 12}, {11, "FEPROM", 13}, {12, "EPROM", 14},
    {13, "CDRAM", 15}, {14, "3DRAM", 16},  {15, "SDRAM", 17},  {16, "SGRAM", 18},
    {17, "RDRAM", 19}, {18, "DDR", 20},    {19, "DDR2", 21},   {20, "DDR2 FB-DIMM", 22},
    {24, "DDR3", 24},  {25, "FBD2", 25},   {26, "DDR4", 0},    {27, "LPDDR", 0},
    {28, "LPDDR2", 0}, {29, "LPDDR3", 0},  {30, "LPDDR4", 0},  {31, "Logical non-volatile device", 0},
    {32, "HBM", 0},    {33, "HBM2", 0},    {34, "DDR5", 0},    {35, "LPDDR5", 0},
    {36, "HBM3", 0},
};
// Array locations, uses and error corrections: SMBIOS's codes are WMI's, but for the PC-98 locations.
constexpr Named kLocations[] = {
    {1, "Other", 1},
    {2, "Unknown", 2},
    {3, "System Board Or Motherboard", 3},
    {4, "ISA Add-on Card", 4},
    {5, "EISA Add-on Card", 5},
    {6, "PCI Add-on Card", 6},
    {7, "MCA Add-on Card", 7},
    {8, "PCMCIA Add-on Card", 8},
    {9, "Proprietary Add-on Card", 9},
    {10, "NuBus", 10},
    {0xA0, "PC-98/C20 Add-on Card", 11},
    {0xA1, "PC-98/C24 Add-on Card", 12},
    {0xA2, "PC-98/E Add-on Card", 13},
    {0xA3, "PC-98/Local Bus Add-on Card", 14},
};
constexpr Named kUses[] = {{1, "Other", 1},        {2, "Unknown", 2},      {3, "System Memory", 3},
                           {4, "Video Memory", 4}, {5, "Flash Memory", 5}, {6, "Non-volatile RAM", 6},
                           {7, "Cache Memory", 7}};
constexpr Named kCorrections[] = {{1, "Other", 1},          {2, "Unknown", 2},       {3, "None", 3}, {4, "Parity", 4},
                                  {5, "Single-bit ECC", 5}, {6, "Multi-bit ECC", 6}, {7, "CRC", 7}};

template <std::size_t N>
std::optional<std::int64_t> ByCode(const Named (&table)[N], std::optional<std::int64_t> code) {
  if (!code) return std::nullopt;
  for (const Named& n : table)
    if (n.smbios == *code) return n.wmi;
  return std::nullopt;
}
template <std::size_t N>
std::optional<std::int64_t> SmbiosByName(const Named (&table)[N], const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  for (const Named& n : table)
    if (EqualsIgnoreCase(n.name, *name)) return n.smbios;
  return std::nullopt;
}

std::optional<std::int64_t> Known(std::optional<std::int64_t> v, std::int64_t unknown) {
  return v && *v != unknown ? v : std::nullopt;
}

// The size of a memory device in bytes: nullopt when unknown, 0 when the socket is empty.
std::optional<std::uint64_t> DeviceBytes(const SmbiosStructure& s) {
  auto size = s.Word(0x0C);
  if (!size || *size == 0xFFFF) return std::nullopt;
  if (*size == 0x7FFF) {  // the extended size, in MB, holds sizes of 32 GB and more
    auto ext = s.Dword(0x1C);
    if (!ext) return std::nullopt;
    return static_cast<std::uint64_t>(*ext & 0x7FFFFFFF) << 20;
  }
  std::uint64_t n = *size & 0x7FFF;
  return (*size & 0x8000) ? n << 10 : n << 20;  // bit 15: the unit is KB, not MB
}

// A speed in MT/s, with the 3.3 extended field where the word says 0xFFFF.
std::optional<std::int64_t> Speed(const SmbiosStructure& s, std::size_t word, std::size_t extended) {
  auto v = Field(s, word, 2);
  if (v && *v == 0xFFFF) return Field(s, extended, 4);
  return v;
}

void PhysicalMemoryCommon(Builder& b, int index) {
  PhysicalElement(b, "Physical Memory", "Physical Memory " + std::to_string(index));
}

// udev's record of the DMI device: its E: properties.
std::map<std::string, std::string> UdevDmi(Context& ctx) {
  std::map<std::string, std::string> props;
  auto text = ctx.tree().Read("/run/udev/data/+dmi:id");
  if (!text) return props;
  for (const std::string& line : Lines(*text)) {
    if (!StartsWith(line, "E:")) continue;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    props.emplace(line.substr(2, eq - 2), line.substr(eq + 1));
  }
  return props;
}

std::optional<std::string> Prop(const std::map<std::string, std::string>& p, const std::string& key) {
  auto it = p.find(key);
  if (it == p.end() || it->second.empty()) return std::nullopt;
  return it->second;
}

std::optional<std::int64_t> PropInt(const std::map<std::string, std::string>& p, const std::string& key) {
  auto v = Prop(p, key);
  return v ? ParseInt(*v) : std::nullopt;
}

// The device numbers n of udev's MEMORY_DEVICE_<n>_* properties, in order.
std::vector<int> UdevDevices(const std::map<std::string, std::string>& p) {
  std::set<int> found;
  const std::string prefix = "MEMORY_DEVICE_";
  for (const auto& [key, value] : p) {
    if (!StartsWith(key, prefix)) continue;
    auto rest = key.substr(prefix.size());
    auto n = ParseInt(rest.substr(0, rest.find('_')));
    if (n && *n >= 0 && *n < 4096) found.insert(static_cast<int>(*n));
  }
  return {found.begin(), found.end()};
}

}  // namespace

InstanceList BuildPhysicalMemoryArrays(const ClassDef& def, Context& ctx) {
  InstanceList out;
  int index = 0;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(kArray)) {
    Builder b(def, ctx);
    PhysicalElement(b, "Physical Memory Array", "Physical Memory Array " + std::to_string(index++));
    b.Int("Location", ByCode(kLocations, Field(*s, 0x04, 1)));
    b.Int("Use", ByCode(kUses, Field(*s, 0x05, 1)));
    b.Int("MemoryErrorCorrection", ByCode(kCorrections, Field(*s, 0x06, 1)));
    if (auto kb = s->Dword(0x07)) {
      if (*kb == 0x80000000) {  // the extended field, in bytes
        if (auto bytes = s->Qword(0x0F)) {
          b.Big("MaxCapacityEx", *bytes >> 10);
          // MaxCapacity is a uint32 of KB: a 2 to 4 TB array still fits.
          if ((*bytes >> 10) <= UINT32_MAX) b.Int("MaxCapacity", static_cast<std::int64_t>(*bytes >> 10));
        }
      } else {
        b.Int("MaxCapacity", static_cast<std::int64_t>(*kb)).Big("MaxCapacityEx", *kb);
      }
    }
    b.Int("MemoryDevices", Field(*s, 0x0D, 2));
    out.push_back(b.Build());
  }
  if (!out.empty()) return out;
  auto p = UdevDmi(ctx);
  if (!Prop(p, "MEMORY_ARRAY_NUM_DEVICES") && !Prop(p, "MEMORY_ARRAY_MAX_CAPACITY")) return out;
  Builder b(def, ctx);
  PhysicalElement(b, "Physical Memory Array", "Physical Memory Array 0");
  b.Int("Location", ByCode(kLocations, SmbiosByName(kLocations, Prop(p, "MEMORY_ARRAY_LOCATION"))));
  b.Int("MemoryErrorCorrection", ByCode(kCorrections, SmbiosByName(kCorrections, Prop(p, "MEMORY_ARRAY_EC_TYPE"))));
  if (auto bytes = PropInt(p, "MEMORY_ARRAY_MAX_CAPACITY"); bytes && *bytes >= 0) {
    std::uint64_t kb = static_cast<std::uint64_t>(*bytes) >> 10;
    b.Big("MaxCapacityEx", kb);
    if (kb <= UINT32_MAX) b.Int("MaxCapacity", static_cast<std::int64_t>(kb));
  }
  b.Int("MemoryDevices", PropInt(p, "MEMORY_ARRAY_NUM_DEVICES"));
  out.push_back(b.Build());
  return out;
}

InstanceList BuildPhysicalMemory(const ClassDef& def, Context& ctx) {
  InstanceList out;
  int index = 0;
  auto devices = ctx.Smbios().OfType(kDevice);
  for (const SmbiosStructure* s : devices) {
    auto bytes = DeviceBytes(*s);
    if (bytes && *bytes == 0) continue;  // an empty socket
    Builder b(def, ctx);
    PhysicalMemoryCommon(b, index++);
    b.Big("Capacity", bytes);
    b.Int("TotalWidth", Known(Field(*s, 0x08, 2), 0xFFFF)).Int("DataWidth", Known(Field(*s, 0x0A, 2), 0xFFFF));
    auto form = Field(*s, 0x0E, 1);
    if (form) b.Int("FormFactor", ByCode(kFormFactors, form).value_or(0));
    b.Text("DeviceLocator", s->String(0x10)).Text("BankLabel", s->String(0x11));
    auto type = Field(*s, 0x12, 1);
    if (type) b.Int("MemoryType", ByCode(kMemoryTypes, type).value_or(0)).Int("SMBIOSMemoryType", *type);
    b.Int("TypeDetail", Field(*s, 0x13, 2));
    b.Int("Speed", Speed(*s, 0x15, 0x54));
    b.Text("Manufacturer", s->String(0x17)).Text("SerialNumber", s->String(0x18)).Text("PartNumber", s->String(0x1A));
    if (auto attr = s->Byte(0x1B)) b.Int("Attributes", *attr & 0x0F);
    b.Int("ConfiguredClockSpeed", Speed(*s, 0x20, 0x58));
    b.Int("MinVoltage", Field(*s, 0x22, 2)).Int("MaxVoltage", Field(*s, 0x24, 2));
    b.Int("ConfiguredVoltage", Field(*s, 0x26, 2));
    out.push_back(b.Build());
  }
  if (!devices.empty()) return out;
  auto p = UdevDmi(ctx);
  for (int n : UdevDevices(p)) {
    std::string k = "MEMORY_DEVICE_" + std::to_string(n) + "_";
    auto size = PropInt(p, k + "SIZE");
    if (Prop(p, k + "PRESENT") == "0" || !size || *size <= 0) continue;
    Builder b(def, ctx);
    PhysicalMemoryCommon(b, index++);
    b.Big("Capacity", static_cast<std::uint64_t>(*size));
    b.Int("TotalWidth", PropInt(p, k + "TOTAL_WIDTH")).Int("DataWidth", PropInt(p, k + "DATA_WIDTH"));
    if (auto form = SmbiosByName(kFormFactors, Prop(p, k + "FORM_FACTOR")))
      b.Int("FormFactor", ByCode(kFormFactors, form).value_or(0));
    b.Text("DeviceLocator", Prop(p, k + "LOCATOR")).Text("BankLabel", Prop(p, k + "BANK_LOCATOR"));
    if (auto type = SmbiosByName(kMemoryTypes, Prop(p, k + "TYPE")))
      b.Int("MemoryType", ByCode(kMemoryTypes, type).value_or(0)).Int("SMBIOSMemoryType", *type);
    b.Int("Speed", PropInt(p, k + "SPEED_MTS")).Int("ConfiguredClockSpeed", PropInt(p, k + "CONFIGURED_SPEED_MTS"));
    b.Text("Manufacturer", Prop(p, k + "MANUFACTURER")).Text("SerialNumber", Prop(p, k + "SERIAL_NUMBER"));
    b.Text("PartNumber", Prop(p, k + "PART_NUMBER"));
    b.Int("Attributes", PropInt(p, k + "RANK"));
    b.Int("MinVoltage", PropInt(p, k + "MINIMUM_VOLTAGE")).Int("MaxVoltage", PropInt(p, k + "MAXIMUM_VOLTAGE"));
    b.Int("ConfiguredVoltage", PropInt(p, k + "CONFIGURED_VOLTAGE"));
    out.push_back(b.Build());
  }
  return out;
}

namespace {

// A mapped address range in KB: the 32-bit KB fields, or the 64-bit byte
// fields at `extended` when the 32-bit start says 0xFFFFFFFF.
void SetRange(Builder& b, const SmbiosStructure& s, std::size_t extended) {
  auto start = s.Dword(0x04), end = s.Dword(0x08);
  if (start && *start == 0xFFFFFFFF) {
    auto xs = s.Qword(extended), xe = s.Qword(extended + 8);
    if (xs && xe) b.Big("StartingAddress", *xs >> 10).Big("EndingAddress", *xe >> 10);
    return;
  }
  if (start && end) b.Big("StartingAddress", *start).Big("EndingAddress", *end);
}

InstanceList Ranges(const ClassDef& def, Context& ctx, std::uint8_t type, const char* caption, std::size_t extended) {
  InstanceList out;
  int index = 0;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(type)) {
    Builder b(def, ctx);
    b.Device(std::string(caption) + " " + std::to_string(index++), caption);
    b.Bool("PowerManagementSupported", false);
    b.Int("ConfigManagerErrorCode", std::nullopt).Bool("ConfigManagerUserConfig", std::nullopt);
    SetRange(b, *s, extended);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace

InstanceList BuildMemoryArrays(const ClassDef& def, Context& ctx) {
  return Ranges(def, ctx, kArrayAddress, "Memory Array", 0x0F);
}

InstanceList BuildMemoryDevices(const ClassDef& def, Context& ctx) {
  return Ranges(def, ctx, kDeviceAddress, "Memory Device", 0x13);
}

}  // namespace wmi::lx
