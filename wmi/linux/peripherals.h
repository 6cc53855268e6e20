// Helpers the peripheral sources share (power_supply.cpp, hwmon.cpp,
// input.cpp, sound.cpp, drives.cpp, ports.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/linux/tree.h"

namespace wmi::lx {

class Context;

// The live state of a system battery (power_supply.cpp), in the units and value maps of CIM_Battery:
// what Win32_Battery shows, and what Win32_PortableBattery joins to the firmware's battery record
// (by manufacturer and serial number, or directly when each side has one battery of one maker).
struct LiveBattery {
  std::string name;  // "BAT0"
  std::optional<std::string> model, manufacturer, serial;
  std::optional<std::int64_t> availability, status, chemistry, charge_percent, run_minutes;
  std::optional<std::int64_t> design_mwh, full_mwh, design_mv, minutes_to_full;
  bool present = true;
};
std::vector<LiveBattery> ReadLiveBatteries(Context& ctx);

// Text as a device reports it, with bytes other than printable ASCII left out and blanks trimmed;
// nullopt when nothing is left.
inline std::optional<std::string> Printable(std::optional<std::string> s) {
  if (!s) return std::nullopt;
  std::string out;
  for (char c : *s)
    if (c >= 0x20 && c < 0x7F) out += c;
  out = Trim(out);
  if (out.empty()) return std::nullopt;
  return out;
}

// The ACPI device of a PnP id ("PNP0700") below /sys/bus/acpi/devices, as
// "ACPI\PNP0700\<uid>", with the resolved path of its physical node; nullopt when absent.
struct AcpiNode {
  std::string device_id;
  std::optional<std::string> physical;
};
inline std::optional<AcpiNode> FindAcpi(const Tree& tree, std::string_view hid) {
  for (const std::string& e : tree.List("/sys/bus/acpi/devices")) {
    if (!StartsWith(e, std::string(hid) + ":")) continue;
    std::string dir = "/sys/bus/acpi/devices/" + e;
    auto uid = tree.Line(dir + "/uid");
    auto n = ParseInt(e.substr(hid.size() + 1));
    AcpiNode a;
    a.device_id = "ACPI\\" + std::string(hid) + "\\" + (uid ? *uid : std::to_string(n.value_or(0)));
    a.physical = tree.Resolve(dir + "/physical_node");
    return a;
  }
  return std::nullopt;
}

}  // namespace wmi::lx
