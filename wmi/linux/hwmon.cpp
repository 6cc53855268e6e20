// Sensors and fans of the kernel's hardware monitoring chips (/sys/class/hwmon):
// Win32_TemperatureProbe, Win32_VoltageProbe, Win32_CurrentProbe (one per
// tempN_, inN_, currN_input) and Win32_Fan (one per fanN_input). The kernel
// gives millidegrees Celsius, millivolts and milliamperes; the classes want
// tenths of a degree, millivolts and milliamperes. The firmware's probes and
// fans (SMBIOS types 26 to 29, smbios_probes.cpp) follow the chips' own.
#include <algorithm>

#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"
#include "wmi/linux/smbios_probes.h"

namespace wmi::lx {

namespace {

struct Chip {
  std::string hwmon;   // "hwmon0"
  std::string dir;     // the folder holding the attributes (the hwmon folder, or its device on old drivers)
  std::string device;  // resolved device path, for the PnP id
  std::string name;    // "coretemp"
  std::vector<std::string> files;
};

std::vector<Chip> Chips(const Tree& tree) {
  std::vector<Chip> out;
  for (const std::string& h : tree.List("/sys/class/hwmon")) {
    std::string dir = "/sys/class/hwmon/" + h;
    if (!tree.IsDir(dir)) continue;
    Chip c;
    c.hwmon = h;
    c.dir = dir;
    if (!tree.Exists(dir + "/name") && tree.Exists(dir + "/device/name")) c.dir = dir + "/device";
    c.name = Printable(tree.Line(c.dir + "/name")).value_or(h);
    c.device = tree.Resolve(dir + "/device").value_or("");
    c.files = tree.List(c.dir);
    out.push_back(std::move(c));
  }
  return out;
}

// The channel numbers N of "<prefix>N_input" in a chip's folder, ascending.
std::vector<int> Channels(const Chip& c, const std::string& prefix) {
  std::vector<int> out;
  for (const std::string& f : c.files) {
    if (!StartsWith(f, prefix) || f.size() <= prefix.size() + 6 || f.substr(f.size() - 6) != "_input") continue;
    auto n = ParseInt(f.substr(prefix.size(), f.size() - prefix.size() - 6));
    if (n && *n >= 0 && *n < 1000) out.push_back(static_cast<int>(*n));
  }
  std::sort(out.begin(), out.end());
  return out;
}

struct Kind {
  const char* prefix;
  std::int64_t divisor;  // kernel unit to the class's unit
};

InstanceList Probes(const ClassDef& def, Context& ctx, Kind kind) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  for (const Chip& c : Chips(tree)) {
    for (int n : Channels(c, kind.prefix)) {
      std::string base = c.dir + "/" + kind.prefix + std::to_string(n);
      auto read = [&](const char* suffix) -> std::optional<std::int64_t> {
        auto v = tree.Number(base + suffix);
        if (!v) return std::nullopt;
        return *v / kind.divisor;
      };
      auto flag = [&](const char* suffix) { return tree.Number(base + suffix).value_or(0) != 0; };
      auto label = Printable(tree.Line(base + "_label"));
      std::string channel = std::string(kind.prefix) + std::to_string(n);
      Builder b(def, ctx);
      b.Device(c.hwmon + "/" + channel, label ? c.name + " " + *label : c.name + " " + channel, c.name);
      auto reading = read("_input");
      b.Int("CurrentReading", reading).Int("Availability", reading ? std::optional<std::int64_t>(3) : std::nullopt);
      b.Int("UpperThresholdNonCritical", read("_max")).Int("UpperThresholdCritical", read("_crit"));
      b.Int("UpperThresholdFatal", read("_emergency"));
      b.Int("LowerThresholdNonCritical", read("_min")).Int("LowerThresholdCritical", read("_lcrit"));
      b.Int("NominalReading", read("_average"));
      b.Text("PNPDeviceID", ctx.DeviceIdAbove(c.device));
      if (flag("_crit_alarm") || flag("_lcrit_alarm") || flag("_emergency_alarm")) {
        b.Text("Status", "Error");
      } else if (flag("_alarm") || flag("_max_alarm") || flag("_min_alarm")) {
        b.Text("Status", "Degraded");
      } else if (!reading) {
        b.Text("Status", "Unknown");
      }
      out.push_back(b.Build());
    }
  }
  return out;
}

}  // namespace

InstanceList BuildTemperatureProbes(const ClassDef& def, Context& ctx) {
  InstanceList out = Probes(def, ctx, {"temp", 100});
  AppendSmbiosProbes(def, ctx, kSmbiosTemperatureProbe, out);
  return out;
}
InstanceList BuildVoltageProbes(const ClassDef& def, Context& ctx) {
  InstanceList out = Probes(def, ctx, {"in", 1});
  AppendSmbiosProbes(def, ctx, kSmbiosVoltageProbe, out);
  return out;
}
InstanceList BuildCurrentProbes(const ClassDef& def, Context& ctx) {
  InstanceList out = Probes(def, ctx, {"curr", 1});
  AppendSmbiosProbes(def, ctx, kSmbiosCurrentProbe, out);
  return out;
}

InstanceList BuildFans(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  for (const Chip& c : Chips(tree)) {
    for (int n : Channels(c, "fan")) {
      std::string fan = "fan" + std::to_string(n);
      std::string base = c.dir + "/" + fan;
      auto label = Printable(tree.Line(base + "_label"));
      Builder b(def, ctx);
      b.Device(c.hwmon + "/" + fan, label ? c.name + " " + *label : c.name + " " + fan, c.name);
      b.Bool("ActiveCooling", true);
      // A fan whose speed can be set: a PWM output of its number, or a target speed.
      std::string pwm = c.dir + "/pwm" + std::to_string(n);
      bool variable = tree.Exists(pwm) || tree.Exists(pwm + "_enable") || tree.Exists(base + "_target") ||
                      tree.Exists(base + "_output");
      b.Bool("VariableSpeed", variable);
      auto target = tree.Number(base + "_target");
      if (!target) target = tree.Number(base + "_output");
      if (target && *target >= 0) b.Big("DesiredSpeed", static_cast<std::uint64_t>(*target));
      auto rpm = tree.Number(base + "_input");
      if (rpm) b.Int("Availability", *rpm > 0 ? 3 : 2);
      if (tree.Number(base + "_alarm").value_or(0) != 0 || tree.Number(base + "_fault").value_or(0) != 0)
        b.Text("Status", "Degraded");
      b.Text("PNPDeviceID", ctx.DeviceIdAbove(c.device));
      out.push_back(b.Build());
    }
  }
  AppendSmbiosFans(def, ctx, out);
  return out;
}

}  // namespace wmi::lx
