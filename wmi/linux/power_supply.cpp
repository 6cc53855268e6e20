// Batteries and UPSes from /sys/class/power_supply: Win32_Battery (type
// Battery, not the batteries of peripherals, whose scope is Device) and
// Win32_UninterruptiblePowerSupply (type UPS). Energies are read in µWh,
// charges in µAh, voltages in µV, powers in µW, currents in µA.
#include <cmath>

#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"

namespace wmi::lx {

namespace {

struct Supply {
  std::string name, dir;
  const Tree* tree;
  std::optional<std::int64_t> Num(const char* attr) const {
    auto v = tree->Number(dir + "/" + attr);
    if (v && *v < 0) return std::nullopt;
    return v;
  }
  std::string Str(const char* attr) const { return tree->Line(dir + "/" + attr).value_or(""); }
};

std::vector<Supply> Supplies(const Tree& tree, const char* type) {
  std::vector<Supply> out;
  for (const std::string& n : tree.List("/sys/class/power_supply")) {
    Supply s{n, "/sys/class/power_supply/" + n, &tree};
    if (s.Str("type") != type || s.Str("scope") == "Device") continue;
    out.push_back(s);
  }
  return out;
}

// The design voltage in µV: the minimum the design allows, else its maximum, else the voltage now.
std::optional<std::int64_t> DesignMicrovolts(const Supply& s) {
  for (const char* a : {"voltage_min_design", "voltage_max_design", "voltage_now"})
    if (auto v = s.Num(a); v && *v > 0) return v;
  return std::nullopt;
}

// An energy in mWh: energy_<what> (µWh), else charge_<what> (µAh) times the design voltage.
std::optional<std::int64_t> MilliwattHours(const Supply& s, const std::string& what) {
  if (auto e = s.Num(("energy_" + what).c_str())) return *e / 1000;
  auto c = s.Num(("charge_" + what).c_str());
  auto v = DesignMicrovolts(s);
  if (!c || !v) return std::nullopt;
  return static_cast<std::int64_t>(static_cast<double>(*c) * static_cast<double>(*v) / 1e9);
}

std::optional<std::int64_t> ChargePercent(const Supply& s) {
  if (auto c = s.Num("capacity"); c && *c <= 100) return c;
  auto now = MilliwattHours(s, "now"), full = MilliwattHours(s, "full");
  if (now && full && *full > 0) return std::min<std::int64_t>(100, std::llround(100.0 * *now / *full));
  return std::nullopt;
}

// Minutes left on battery while discharging: time_to_empty_now, else energy (charge) over power (current).
std::optional<std::int64_t> RunMinutes(const Supply& s) {
  if (s.Str("status") != "Discharging") return std::nullopt;
  if (auto t = s.Num("time_to_empty_now"); t && *t > 0) return *t / 60;
  auto e = s.Num("energy_now"), p = s.Num("power_now");
  if (e && p && *p > 0) return std::llround(60.0 * *e / *p);
  auto c = s.Num("charge_now"), i = s.Num("current_now");
  if (c && i && *i > 0) return std::llround(60.0 * *c / *i);
  return std::nullopt;
}

// BatteryStatus: 1 discharging, 2 on AC (not necessarily charging), 3 fully charged, 4 low, 5 critical,
// 6 charging, 7 charging and high, 8 charging and low, 9 charging and critical.
std::optional<std::int64_t> BatteryStatus(const Supply& s) {
  std::string status = s.Str("status"), level = s.Str("capacity_level");
  if (status == "Discharging") return level == "Critical" ? 5 : level == "Low" ? 4 : 1;
  if (status == "Charging") return level == "Critical" ? 9 : level == "Low" ? 8 : level == "High" ? 7 : 6;
  if (status == "Full") return 3;
  if (status == "Not charging" || status == "Unknown") return 2;
  return std::nullopt;
}

// Chemistry: 1 other, 2 unknown, 3 lead acid, 4 NiCd, 5 NiMH, 6 lithium-ion, 8 lithium polymer.
std::optional<std::int64_t> Chemistry(const std::string& technology) {
  if (technology.empty()) return std::nullopt;
  if (technology == "Li-ion" || technology == "LiFe" || technology == "LiMn") return 6;
  if (technology == "Li-poly") return 8;
  if (technology == "NiMH") return 5;
  if (technology == "NiCd") return 4;
  if (technology == "Unknown") return 2;
  return 1;
}

// Availability: 3 running, 4 warning (low or critical charge), 11 not installed.
std::int64_t Availability(const Supply& s) {
  if (s.Num("present") == std::optional<std::int64_t>(0)) return 11;
  std::string level = s.Str("capacity_level");
  return level == "Low" || level == "Critical" ? 4 : 3;
}

}  // namespace

std::vector<LiveBattery> ReadLiveBatteries(Context& ctx) {
  std::vector<LiveBattery> out;
  for (const Supply& s : Supplies(ctx.tree(), "Battery")) {
    LiveBattery b;
    b.name = s.name;
    b.model = Printable(ctx.tree().Line(s.dir + "/model_name"));
    b.manufacturer = Printable(ctx.tree().Line(s.dir + "/manufacturer"));
    b.serial = Printable(ctx.tree().Line(s.dir + "/serial_number"));
    b.present = s.Str("present") != "0";
    b.availability = Availability(s);
    b.status = BatteryStatus(s);
    b.chemistry = Chemistry(s.Str("technology"));
    b.charge_percent = ChargePercent(s);
    b.run_minutes = RunMinutes(s);
    b.design_mwh = MilliwattHours(s, "full_design");
    b.full_mwh = MilliwattHours(s, "full");
    if (auto v = DesignMicrovolts(s)) b.design_mv = *v / 1000;
    if (auto t = s.Num("time_to_full_now"); t && s.Str("status") == "Charging") b.minutes_to_full = *t / 60;
    out.push_back(std::move(b));
  }
  return out;
}

InstanceList BuildBatteries(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const LiveBattery& l : ReadLiveBatteries(ctx)) {
    Builder b(def, ctx);
    b.Device(l.name, l.model.value_or(l.name), "Internal Battery");
    b.Text("Caption", "Internal Battery");
    b.Int("Availability", l.availability).Int("BatteryStatus", l.status).Int("Chemistry", l.chemistry);
    b.Int("EstimatedChargeRemaining", l.charge_percent).Int("EstimatedRunTime", l.run_minutes);
    b.Int("DesignCapacity", l.design_mwh).Int("FullChargeCapacity", l.full_mwh);
    if (l.design_mv) b.Big("DesignVoltage", static_cast<std::uint64_t>(*l.design_mv));
    b.Int("TimeToFullCharge", l.minutes_to_full).Bool("PowerManagementSupported", false);
    if (!l.present) b.Text("Status", "Unknown");
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildUninterruptiblePowerSupplies(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const Supply& s : Supplies(ctx.tree(), "UPS")) {
    Builder b(def, ctx);
    auto model = Printable(ctx.tree().Line(s.dir + "/model_name"));
    b.Device(s.name, model.value_or(s.name));
    b.Int("Availability", Availability(s)).Bool("BatteryInstalled", s.Num("present").value_or(1) != 0);
    b.Int("EstimatedChargeRemaining", ChargePercent(s)).Int("EstimatedRunTime", RunMinutes(s));
    // RemainingCapacityStatus: 3 normal, 4 low, 5 depleted.
    std::string level = s.Str("capacity_level");
    b.Int("RemainingCapacityStatus", level == "Critical" ? std::optional<std::int64_t>(5)
                                     : level == "Low"    ? std::optional<std::int64_t>(4)
                                     : level == "Normal" || level == "High" || level == "Full"
                                         ? std::optional<std::int64_t>(3)
                                         : std::nullopt);
    b.Bool("PowerManagementSupported", false);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
