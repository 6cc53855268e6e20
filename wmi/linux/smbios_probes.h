// The firmware's probes and cooling devices: SMBIOS types 26 (voltage probe),
// 27 (cooling device), 28 (temperature probe) and 29 (electrical current
// probe), decoded into the units of the WMI classes they become
// (Win32_VoltageProbe, Win32_Fan / Win32_HeatPipe / Win32_Refrigeration,
// Win32_TemperatureProbe, Win32_CurrentProbe). Every field is bounds-checked:
// a short structure gives fewer values, the firmware's "unknown" (0x8000) none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wmi/linux/schema.h"

namespace wmi::lx {

struct SmbiosStructure;

// SMBIOS structure types.
constexpr std::uint8_t kSmbiosVoltageProbe = 26, kSmbiosCoolingDevice = 27, kSmbiosTemperatureProbe = 28,
                       kSmbiosCurrentProbe = 29;

// One probe (type 26, 28 or 29), its values in the units of CIM_NumericSensor's subclass:
// millivolts (resolution in tenths of a millivolt), tenths of a degree Celsius (resolution in
// hundredths of a degree), milliamperes (resolution in tenths of a milliampere); accuracy in
// hundredths of a percent.
struct SmbiosProbe {
  std::optional<std::string> description;
  std::optional<int> location;  // the location code, bits 4:0 of byte 05h
  std::optional<int> status;    // the status code, bits 7:5 of byte 05h: 3 OK, 4 non-critical, 5 critical, ...
  std::optional<std::int64_t> max, min, resolution, tolerance, accuracy, nominal;
};
// nullopt for a structure of another type.
std::optional<SmbiosProbe> DecodeSmbiosProbe(const SmbiosStructure& s);

// Cooling device types (bits 4:0 of byte 06h of type 27).
enum class CoolingKind { kNone, kFan, kHeatPipe, kRefrigeration };
CoolingKind CoolingKindOf(std::optional<int> device_type);

// One cooling device (type 27).
struct SmbiosCoolingDevice {
  std::optional<std::uint16_t> probe_handle;  // the temperature probe watching it; 0xFFFF: none
  std::optional<int> device_type;             // bits 4:0 of byte 06h: 3 fan ... 8 heat pipe, 9 refrigeration
  std::optional<int> status;                  // bits 7:5, as a probe's
  std::optional<int> unit_group;
  std::optional<std::int64_t> nominal_rpm;  // from 2.2
  std::optional<std::string> description;   // from 2.7
};
// nullopt for a structure of another type.
std::optional<SmbiosCoolingDevice> DecodeSmbiosCoolingDevice(const SmbiosStructure& s);

// The Status text of an SMBIOS probe or cooling device status code: "OK", "Degraded"
// (non-critical), "Error" (critical), "NonRecover" (non-recoverable), else "Unknown".
std::string SmbiosStatusText(std::optional<int> status);

// Adds an instance of `def` for each probe of SMBIOS type `type` in the table (hwmon.cpp's probe builders).
void AppendSmbiosProbes(const ClassDef& def, Context& ctx, std::uint8_t type, InstanceList& out);
// Adds a Win32_Fan for each fan-type cooling device in the table (hwmon.cpp's fan builder).
void AppendSmbiosFans(const ClassDef& def, Context& ctx, InstanceList& out);

}  // namespace wmi::lx
