// The firmware's probes and cooling devices (SMBIOS types 26 to 29) beside the
// hwmon chips', and portable batteries joined to their live state: structures
// built byte by byte for each layout and edge, small trees holding a table
// with the sysfs files beside it, and the real tables of tests/data/smbios
// against dmidecode's decode of each.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>

#include "tests/wmi/linux/dmidecode_text.h"
#include "tests/wmi/linux/temp_tree.h"
#include "wmi/linux/smbios.h"
#include "wmi/linux/smbios_probes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Opt = std::optional<std::int64_t>;
using lxtest::Decoded;
using lxtest::Dmidecode;
using lxtest::ReadDmidecode;
using lxtest::TempTree;
using wmi::lx::SmbiosStructure;

constexpr std::uint16_t kUnknown = 0x8000;

void Put16(Bytes& b, std::size_t offset, std::uint16_t v) {
  b[offset] = static_cast<std::uint8_t>(v);
  b[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A probe's formatted area (header included), 16h bytes as SMBIOS 2.3 and later make it.
Bytes ProbeArea(std::uint8_t type, std::uint8_t description, std::uint8_t location_status, std::uint16_t max,
                std::uint16_t min, std::uint16_t resolution, std::uint16_t tolerance, std::uint16_t accuracy,
                std::uint16_t nominal) {
  Bytes b(0x16, 0);
  b[0] = type;
  b[1] = 0x16;
  b[4] = description;
  b[5] = location_status;
  Put16(b, 0x06, max);
  Put16(b, 0x08, min);
  Put16(b, 0x0A, resolution);
  Put16(b, 0x0C, tolerance);
  Put16(b, 0x0E, accuracy);
  Put16(b, 0x14, nominal);
  return b;
}

SmbiosStructure Make(Bytes area, std::size_t length, std::vector<std::string> strings) {
  static std::list<Bytes> areas;  // what the structures view, for the length of the test program
  area.resize(std::min(area.size(), length));
  SmbiosStructure s;
  s.type = area.empty() ? 0 : area[0];
  s.data = areas.emplace_back(std::move(area));
  s.strings = std::move(strings);
  return s;
}

struct ProbeCase {
  const char* name;
  SmbiosStructure s;
  std::optional<std::string> description;
  std::optional<int> status;
  Opt max, min, resolution, tolerance, accuracy, nominal;
};

std::ostream& operator<<(std::ostream& os, const ProbeCase& c) { return os << c.name; }

// Status 3 (OK) in bits 7:5, location 3 (processor) in bits 4:0.
constexpr std::uint8_t kOkProcessor = 3 << 5 | 3;

const ProbeCase kProbeCases[] = {
    // 1.6 V max, 0.8 V min, 1.0 mV resolution (in tenths), +-25 mV, +-1.50 %, 1.2 V nominal.
    {"VoltageInMillivolts", Make(ProbeArea(26, 1, kOkProcessor, 1600, 800, 10, 25, 150, 1200), 0x16, {"CPU Core"}),
     "CPU Core", 3, 1600, 800, 10, 25, 150, 1200},
    // 100.0 °C, -40.0 °C (FE70h), 0.5 °C resolution in thousandths -> 50 hundredths, +-3.0 °C, nominal 45.0 °C.
    {"TemperatureInTenthsResolutionInHundredths",
     Make(ProbeArea(28, 1, 4 << 5 | 7, 1000, 0xFE70, 500, 30, 200, 450), 0x16, {"Board"}), "Board", 4, 1000, -400, 50,
     30, 200, 450},
    // A resolution of 0.0125 °C rounds to the nearest hundredth.
    {"TemperatureResolutionRounds", Make(ProbeArea(28, 1, kOkProcessor, 0, 0, 15, 0, 0, 0), 0x16, {"T"}), "T", 3, 0, 0,
     2, 0, 0, 0},
    // 5 A max, 0 A min, 0.5 mA resolution in tenths, +-100 mA.
    {"CurrentInMilliamps", Make(ProbeArea(29, 1, 5 << 5 | 10, 5000, 0, 5, 100, 300, 2500), 0x16, {"PSU"}), "PSU", 5,
     5000, 0, 5, 100, 300, 2500},
    {"UnknownValuesAreNull",
     Make(ProbeArea(26, 1, 2 << 5 | 2, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown), 0x16, {"LM78A"}),
     "LM78A", 2, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    // SMBIOS 2.2's 14h-byte structure ends before the nominal value.
    {"Length14hHasNoNominalValue", Make(ProbeArea(26, 1, kOkProcessor, 1600, 800, 10, 25, 150, 1200), 0x14, {"V"}), "V",
     3, 1600, 800, 10, 25, 150, std::nullopt},
    // Cut in the middle of the minimum: the maximum stands, the rest is gone.
    {"CutInsideAWord", Make(ProbeArea(29, 1, kOkProcessor, 5000, 0, 5, 100, 300, 2500), 0x09, {"I"}), "I", 3, 5000,
     std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    {"HeaderOnly", Make(ProbeArea(28, 1, kOkProcessor, 1, 1, 1, 1, 1, 1), 0x04, {"T"}), std::nullopt, std::nullopt,
     std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    {"NoDescriptionString", Make(ProbeArea(26, 0, kOkProcessor, 1, 2, 3, 4, 5, 6), 0x16, {}), std::nullopt, 3, 1, 2, 3,
     4, 5, 6},
    {"DescriptionPastTheStringSet", Make(ProbeArea(26, 3, kOkProcessor, 1, 2, 3, 4, 5, 6), 0x16, {"only one"}),
     std::nullopt, 3, 1, 2, 3, 4, 5, 6},
};

class SmbiosProbeDecoding : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(SmbiosProbeDecoding, ValuesInTheClassUnits) {
  const ProbeCase& c = GetParam();
  auto p = wmi::lx::DecodeSmbiosProbe(c.s);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->description, c.description);
  EXPECT_EQ(p->status, c.status);
  EXPECT_EQ(p->max, c.max);
  EXPECT_EQ(p->min, c.min);
  EXPECT_EQ(p->resolution, c.resolution);
  EXPECT_EQ(p->tolerance, c.tolerance);
  EXPECT_EQ(p->accuracy, c.accuracy);
  EXPECT_EQ(p->nominal, c.nominal);
}

INSTANTIATE_TEST_SUITE_P(Types26To29, SmbiosProbeDecoding, ::testing::ValuesIn(kProbeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A cooling device's formatted area, 0Fh bytes as SMBIOS 2.7 and later make it.
Bytes CoolingArea(std::uint16_t probe, std::uint8_t type_status, std::uint16_t rpm, std::uint8_t description) {
  Bytes b(0x0F, 0);
  b[0] = 27;
  b[1] = 0x0F;
  Put16(b, 0x04, probe);
  b[6] = type_status;
  b[7] = 1;
  Put16(b, 0x0C, rpm);
  b[0x0E] = description;
  return b;
}

TEST(SmbiosCoolingDecoding, LayoutsOfEachVersion) {
  auto full = wmi::lx::DecodeSmbiosCoolingDevice(Make(CoolingArea(0x0036, 3 << 5 | 7, 2000, 1), 0x0F, {"PSU fan"}));
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ(full->probe_handle, 0x0036);
  EXPECT_EQ(full->device_type, 7);
  EXPECT_EQ(full->status, 3);
  EXPECT_EQ(full->unit_group, 1);
  EXPECT_EQ(full->nominal_rpm, 2000);
  EXPECT_EQ(full->description, "PSU fan");
  // 2.2 to 2.6: no description; 2.1: no nominal speed either; "unknown or non-rotating" is no speed.
  auto v22 = wmi::lx::DecodeSmbiosCoolingDevice(Make(CoolingArea(0xFFFF, 3 << 5 | 8, kUnknown, 1), 0x0E, {"x"}));
  ASSERT_TRUE(v22.has_value());
  EXPECT_EQ(v22->nominal_rpm, std::nullopt);
  EXPECT_EQ(v22->description, std::nullopt);
  EXPECT_EQ(v22->device_type, 8);
  auto v21 = wmi::lx::DecodeSmbiosCoolingDevice(Make(CoolingArea(0xFFFF, 3 << 5 | 3, 1500, 1), 0x0C, {"x"}));
  ASSERT_TRUE(v21.has_value());
  EXPECT_EQ(v21->nominal_rpm, std::nullopt);
  EXPECT_EQ(v21->unit_group, 1);
  auto cut = wmi::lx::DecodeSmbiosCoolingDevice(Make(CoolingArea(0x0036, 3 << 5 | 3, 1500, 1), 0x05, {"x"}));
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->probe_handle, std::nullopt);
  EXPECT_EQ(cut->device_type, std::nullopt);
  // Other types are not probes nor cooling devices.
  EXPECT_FALSE(wmi::lx::DecodeSmbiosCoolingDevice(Make(ProbeArea(26, 1, 0, 0, 0, 0, 0, 0, 0), 0x16, {})));
  EXPECT_FALSE(wmi::lx::DecodeSmbiosProbe(Make(CoolingArea(0, 0, 0, 0), 0x0F, {})));
}

TEST(SmbiosCoolingDecoding, DeviceTypesGoToTheirClasses) {
  using wmi::lx::CoolingKind;
  struct Case {
    int type;
    CoolingKind kind;
  };
  // SMBIOS cooling device types: 1 other, 2 unknown, 3 fan, 4 centrifugal blower, 5 chip fan, 6 cabinet fan,
  // 7 power supply fan, 8 heat pipe, 9 integrated refrigeration, 10h active cooling, 11h passive cooling.
  const Case cases[] = {{0, CoolingKind::kNone},          {1, CoolingKind::kNone},    {2, CoolingKind::kNone},
                        {3, CoolingKind::kFan},           {4, CoolingKind::kFan},     {5, CoolingKind::kFan},
                        {6, CoolingKind::kFan},           {7, CoolingKind::kFan},     {8, CoolingKind::kHeatPipe},
                        {9, CoolingKind::kRefrigeration}, {0x0A, CoolingKind::kNone}, {0x10, CoolingKind::kNone},
                        {0x11, CoolingKind::kNone}};
  for (const Case& c : cases) EXPECT_EQ(wmi::lx::CoolingKindOf(c.type), c.kind) << c.type;
  EXPECT_EQ(wmi::lx::CoolingKindOf(std::nullopt), CoolingKind::kNone);
}

TEST(SmbiosCoolingDecoding, StatusCodesAsWmiStatus) {
  // 1 other, 2 unknown, 3 OK, 4 non-critical, 5 critical, 6 non-recoverable; 0 and 7 are outside the list.
  const std::pair<int, const char*> cases[] = {{0, "Unknown"},  {1, "Unknown"}, {2, "Unknown"},    {3, "OK"},
                                               {4, "Degraded"}, {5, "Error"},   {6, "NonRecover"}, {7, "Unknown"}};
  for (const auto& [code, text] : cases) EXPECT_EQ(wmi::lx::SmbiosStatusText(code), text) << code;
}

// ---- Trees: a table below /sys/firmware/dmi/tables, hwmon and power_supply beside it ----

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A structure as it lies in the table: the formatted area, then its strings and the double NUL.
Bytes Laid(const Bytes& area, const std::vector<std::string>& strings) {
  Bytes out = area;
  for (const std::string& s : strings) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
  }
  if (strings.empty()) out.push_back(0);
  out.push_back(0);
  return out;
}

// Writes an SMBIOS 3.2 entry point and a table of these structures (with handles 0, 1, ...).
void WriteTable(TempTree& tree, std::vector<Bytes> structures) {
  Bytes table;
  std::uint16_t handle = 0;
  structures.push_back(Laid({127, 4, 0, 0}, {}));
  for (Bytes& s : structures) {
    Put16(s, 2, handle++);
    table.insert(table.end(), s.begin(), s.end());
  }
  Bytes entry = {'_', 'S', 'M', '3', '_', 0, 0x18, 3, 2, 0, 1, 0};
  for (int i = 0; i < 4; ++i) entry.push_back(static_cast<std::uint8_t>(table.size() >> (8 * i)));
  entry.resize(0x18, 0);
  tree.File("/sys/firmware/dmi/tables/smbios_entry_point", Text(entry));
  tree.File("/sys/firmware/dmi/tables/DMI", Text(table));
}

struct FirmwareSensors : ::testing::Test {
  FirmwareSensors() {
    tree.File("/sys/class/hwmon/hwmon0/name", "nct6779\n")
        .File("/sys/class/hwmon/hwmon0/temp1_input", "41000\n")
        .File("/sys/class/hwmon/hwmon0/in0_input", "1104\n")
        .File("/sys/class/hwmon/hwmon0/fan2_input", "1200\n");
    WriteTable(tree, {Laid(ProbeArea(28, 1, kOkProcessor, 1000, 0, 500, 30, kUnknown, 450), {"CPU Thermal Probe"}),
                      Laid(ProbeArea(26, 1, 4 << 5 | 7, 13200, 10800, 10, kUnknown, 100, 12000), {"12V rail"}),
                      Laid(ProbeArea(29, 0, 2 << 5 | 10, 20000, 0, 1, 50, 100, kUnknown), {}),
                      Laid(CoolingArea(0, 3 << 5 | 3, 2000, 1), {"Cooling Dev 1"}),
                      Laid(CoolingArea(0, 3 << 5 | 8, kUnknown, 1), {"CPU heat pipe"}),
                      Laid(CoolingArea(0, 5 << 5 | 9, kUnknown, 0), {}),
                      Laid(CoolingArea(0, 3 << 5 | 5, 4000, 1), {"Chipset fan"}),
                      Laid(CoolingArea(0, 3 << 5 | 2, kUnknown, 1), {"Cooling device #3"}),
                      Laid(CoolingArea(0, 3 << 5 | 0x11, kUnknown, 1), {"Passive"})});
  }
  TempTree tree;
};

TEST_F(FirmwareSensors, ProbesJoinTheChipsInputs) {
  auto temps = tree.All("Win32_TemperatureProbe");
  ASSERT_EQ(temps.size(), 2u);
  EXPECT_PROP(temps[0], "DeviceID", "hwmon0/temp1");
  EXPECT_PROP(temps[0], "CurrentReading", 410);
  const wmi::Instance& t = temps[1];
  EXPECT_PROP(t, "DeviceID", "root\\cimv2 0");
  EXPECT_PROP(t, "Name", "Numeric Sensor");
  EXPECT_PROP(t, "Caption", "Numeric Sensor");
  EXPECT_PROP(t, "Description", "CPU Thermal Probe");
  EXPECT_PROP(t, "MaxReadable", 1000);
  EXPECT_PROP(t, "MinReadable", 0);
  EXPECT_PROP(t, "Resolution", 50);
  EXPECT_PROP(t, "Tolerance", 30);
  EXPECT_NULL(t, "Accuracy");
  EXPECT_PROP(t, "NominalReading", 450);
  EXPECT_NULL(t, "CurrentReading");  // the firmware has no reading
  EXPECT_PROP(t, "Status", "OK");

  auto volts = tree.All("Win32_VoltageProbe");
  ASSERT_EQ(volts.size(), 2u);
  EXPECT_PROP(volts[1], "Description", "12V rail");
  EXPECT_PROP(volts[1], "MaxReadable", 13200);
  EXPECT_PROP(volts[1], "MinReadable", 10800);
  EXPECT_PROP(volts[1], "NominalReading", 12000);
  EXPECT_PROP(volts[1], "Accuracy", 100);
  EXPECT_NULL(volts[1], "Tolerance");
  EXPECT_PROP(volts[1], "Status", "Degraded");  // non-critical

  auto amps = tree.All("Win32_CurrentProbe");
  ASSERT_EQ(amps.size(), 1u);                             // the chip has no current input
  EXPECT_PROP(amps[0], "Description", "Numeric Sensor");  // no description string
  EXPECT_PROP(amps[0], "MaxReadable", 20000);
  EXPECT_PROP(amps[0], "Resolution", 1);
  EXPECT_PROP(amps[0], "Status", "Unknown");
  EXPECT_EQ(tree.All("CIM_NumericSensor").size(), 5u);
}

TEST_F(FirmwareSensors, FansHeatPipesAndRefrigerationByDeviceType) {
  auto fans = tree.All("Win32_Fan");
  ASSERT_EQ(fans.size(), 3u);  // the chip's fan2, the fan and the chip fan; not the unknown or passive devices
  EXPECT_PROP(fans[0], "DeviceID", "hwmon0/fan2");
  EXPECT_PROP(fans[1], "DeviceID", "root\\cimv2 0");
  EXPECT_PROP(fans[1], "Name", "Cooling Device");
  EXPECT_PROP(fans[1], "Description", "Cooling Dev 1");
  EXPECT_PROP(fans[1], "ActiveCooling", true);
  EXPECT_PROP(fans[1], "Status", "OK");
  EXPECT_NULL(fans[1], "VariableSpeed");
  EXPECT_PROP(fans[2], "DeviceID", "root\\cimv2 1");
  EXPECT_PROP(fans[2], "Description", "Chipset fan");

  auto pipes = tree.All("Win32_HeatPipe");
  ASSERT_EQ(pipes.size(), 1u);
  EXPECT_PROP(pipes[0], "Description", "CPU heat pipe");
  EXPECT_PROP(pipes[0], "ActiveCooling", false);
  EXPECT_PROP(pipes[0], "DeviceID", "root\\cimv2 0");
  auto fridge = tree.All("Win32_Refrigeration");
  ASSERT_EQ(fridge.size(), 1u);
  EXPECT_PROP(fridge[0], "Description", "Cooling Device");  // no description string
  EXPECT_PROP(fridge[0], "ActiveCooling", true);
  EXPECT_PROP(fridge[0], "Status", "Error");  // critical
  EXPECT_EQ(tree.All("CIM_CoolingDevice").size(), 5u);
}

TEST(FirmwareCooling, NoCoolingRecordsNoHeatPipeOrRefrigeration) {
  TempTree hwmon_only;
  hwmon_only.File("/sys/class/hwmon/hwmon0/name", "thinkpad\n").File("/sys/class/hwmon/hwmon0/fan1_input", "2100\n");
  EXPECT_EQ(hwmon_only.All("Win32_Fan").size(), 1u);
  EXPECT_TRUE(hwmon_only.All("Win32_HeatPipe").empty());
  EXPECT_TRUE(hwmon_only.All("Win32_Refrigeration").empty());
  TempTree probes_only;
  WriteTable(probes_only, {Laid(ProbeArea(28, 1, kOkProcessor, 1000, 0, 500, 30, 0, 450), {"T"}),
                           Laid(CoolingArea(0, 3 << 5 | 7, kUnknown, 1), {"PSU fan"})});
  EXPECT_EQ(probes_only.All("Win32_Fan").size(), 1u);
  EXPECT_TRUE(probes_only.All("Win32_HeatPipe").empty());
  EXPECT_TRUE(probes_only.All("Win32_Refrigeration").empty());
}

// ---- Portable batteries: the firmware's record and the battery's live state ----

struct Record {
  std::string manufacturer, serial;  // an empty serial: a Smart Battery record with the serial word
  std::uint16_t sbds_serial = 0;
  std::uint8_t chemistry = 2;  // unknown
  std::uint16_t design_mwh = 0, design_mv = 0;
};

// A type 22 structure of SMBIOS 2.2 and later (1Ah bytes).
Bytes BatteryRecord(const Record& r) {
  Bytes b(0x1A, 0);
  b[0] = 22;
  b[1] = 0x1A;
  std::vector<std::string> strings = {"Front", r.manufacturer, "01AV478"};
  b[0x04] = 1;
  b[0x05] = 2;
  b[0x08] = 3;
  if (!r.serial.empty()) {
    strings.push_back(r.serial);
    b[0x07] = 4;
  }
  b[0x09] = r.chemistry;
  Put16(b, 0x0A, r.design_mwh);
  Put16(b, 0x0C, r.design_mv);
  b[0x0F] = 0xFF;
  Put16(b, 0x10, r.sbds_serial);
  b[0x15] = 1;
  return Laid(b, strings);
}

struct Live {
  std::string name, manufacturer, serial;
  int capacity;  // percent
};

void WriteLive(TempTree& tree, const Live& l) {
  std::string dir = "/sys/class/power_supply/" + l.name + "/";
  tree.File(dir + "type", "Battery\n")
      .File(dir + "present", "1\n")
      .File(dir + "status", "Discharging\n")
      .File(dir + "capacity", std::to_string(l.capacity) + "\n")
      .File(dir + "capacity_level", "Normal\n")
      .File(dir + "technology", "Li-ion\n")
      .File(dir + "energy_full_design", "47520000\n")
      .File(dir + "energy_full", "45070000\n")
      .File(dir + "energy_now", "36580000\n")
      .File(dir + "power_now", "5002000\n")
      .File(dir + "voltage_min_design", "10800000\n")
      .File(dir + "manufacturer", l.manufacturer + "\n")
      .File(dir + "serial_number", l.serial + "\n");
}

struct JoinCase {
  const char* name;
  std::vector<Record> records;
  std::vector<Live> live;
  // For each record, the charge of the battery it is joined with; nullopt for the record alone.
  std::vector<Opt> charge;
};

std::ostream& operator<<(std::ostream& os, const JoinCase& c) { return os << c.name; }

const JoinCase kJoinCases[] = {
    {"SerialAndManufacturer", {{"LGC", "38109"}}, {{"BAT0", "SMP", "38109", 10}, {"BAT1", "LGC", "38109", 81}}, {81}},
    {"BlanksAndCaseAside", {{"LGC", "ab12"}}, {{"BAT0", "Other", "1", 10}, {"BAT1", " lgc ", "AB12 ", 81}}, {81}},
    // A Smart Battery record: its serial word 94DDh is 38109 as ACPI reports it, and "94DD" as dmidecode prints it.
    {"SerialWordInDecimal", {{"LGC", "", 0x94DD}}, {{"BAT0", "SMP", "1", 10}, {"BAT1", "LGC", "38109", 81}}, {81}},
    {"SerialWordInHex", {{"LGC", "", 0x94DD}}, {{"BAT0", "SMP", "1", 10}, {"BAT1", "LGC", "94dd", 81}}, {81}},
    // One record and one battery of one maker are the same battery, whatever their serial numbers say;
    // of two makers, they are not.
    {"OneAndOneOfOneMaker", {{"SANYO", "1"}}, {{"BAT0", "sanyo", "2", 64}}, {64}},
    {"OneAndOneOfTwoMakers", {{"SANYO", "1"}}, {{"BAT0", "Celxpert", "2", 64}}, {std::nullopt}},
    {"NoMatchAmongTwo", {{"SANYO", "1"}}, {{"BAT0", "SANYO", "2", 10}, {"BAT1", "LGC", "1", 20}}, {std::nullopt}},
    {"TwoBatteriesCrosswise",
     {{"LGC", "A1"}, {"SMP", "B2"}},
     {{"BAT0", "SMP", "B2", 30}, {"BAT1", "LGC", "A1", 70}},
     {70, 30}},
    {"TwoRecordsOneBattery", {{"LGC", "A1"}, {"SMP", "B2"}}, {{"BAT0", "SMP", "B2", 30}}, {std::nullopt, 30}},
    {"TwoRecordsNoMatch", {{"LGC", "A1"}, {"SMP", "B2"}}, {{"BAT0", "X", "Y", 30}}, {std::nullopt, std::nullopt}},
    {"NoLiveBattery", {{"LGC", "A1"}}, {}, {std::nullopt}},
};

class PortableBatteryJoin : public ::testing::TestWithParam<JoinCase> {};

TEST_P(PortableBatteryJoin, EachRecordWithItsBattery) {
  const JoinCase& c = GetParam();
  TempTree tree;
  std::vector<Bytes> structures;
  for (const Record& r : c.records) structures.push_back(BatteryRecord(r));
  WriteTable(tree, structures);
  for (const Live& l : c.live) WriteLive(tree, l);
  auto batteries = tree.All("Win32_PortableBattery");
  ASSERT_EQ(batteries.size(), c.records.size());
  for (std::size_t i = 0; i < batteries.size(); ++i) {
    const wmi::Instance& b = batteries[i];
    EXPECT_PROP(b, "DeviceID", "Portable Battery " + std::to_string(i));
    EXPECT_PROP(b, "Manufacturer", c.records[i].manufacturer);  // the record's, not the live text
    if (c.charge[i]) {
      EXPECT_PROP(b, "EstimatedChargeRemaining", *c.charge[i]) << i;
      EXPECT_PROP(b, "BatteryStatus", 1) << i;  // discharging
      EXPECT_PROP(b, "Availability", 3) << i;   // running
      EXPECT_PROP(b, "EstimatedRunTime", 439);  // 36.58 Wh at 5.002 W
      EXPECT_PROP(b, "FullChargeCapacity", 45070);
    } else {
      EXPECT_NULL(b, "EstimatedChargeRemaining");
      EXPECT_NULL(b, "BatteryStatus");
      EXPECT_NULL(b, "Availability");
      EXPECT_NULL(b, "FullChargeCapacity");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ByIdentityElseOneToOne, PortableBatteryJoin, ::testing::ValuesIn(kJoinCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortableBatteryJoinValues, TheLiveStateFillsWhatTheRecordLacks) {
  TempTree tree;
  // The first record knows nothing of capacity, voltage and chemistry; the second knows all three.
  WriteTable(tree, {BatteryRecord({"LGC", "A1", 0, 2, 0, 0}), BatteryRecord({"SMP", "B2", 0, 8, 57000, 11580})});
  WriteLive(tree, {"BAT0", "LGC", "A1", 81});
  WriteLive(tree, {"BAT1", "SMP", "B2", 50});
  auto b = tree.All("Win32_PortableBattery");
  ASSERT_EQ(b.size(), 2u);
  EXPECT_PROP(b[0], "DesignCapacity", 47520);  // energy_full_design, µWh -> mWh
  EXPECT_PROP(b[0], "DesignVoltage", "10800");
  EXPECT_PROP(b[0], "Chemistry", 6);  // Li-ion
  EXPECT_PROP(b[1], "DesignCapacity", 57000);
  EXPECT_PROP(b[1], "DesignVoltage", "11580");
  EXPECT_PROP(b[1], "Chemistry", 8);  // the record's lithium-polymer
  EXPECT_PROP(b[0], "Name", "01AV478");
  EXPECT_PROP(b[0], "Location", "Front");
}

// ---- The real tables of tests/data/smbios against dmidecode's decode beside each ----

struct SensorCorpus : ::testing::TestWithParam<std::string> {
  SensorCorpus()
      : tree("../smbios/" + GetParam()),
        ref(ReadDmidecode(std::string(PCINFO_TEST_DATA) + "/smbios/" + GetParam() + "/dmidecode.txt")) {}
  lxtest::TreeFixture tree;
  Dmidecode ref;
};

// dmidecode's status of a probe or cooling device as WMI's Status.
std::string StatusOf(const std::string& decoded) {
  if (decoded == "OK") return "OK";
  if (decoded == "Non-critical") return "Degraded";
  if (decoded == "Critical") return "Error";
  if (decoded == "Non-recoverable") return "NonRecover";
  return "Unknown";  // Other, Unknown, <OUT OF SPEC>
}

// A value dmidecode prints with its unit ("1.200 V", "45.0 deg C", "0.5 mV", "1.50%") times `scale`;
// Null for "Unknown".
wmi::Value Scaled(const std::string& decoded, double scale) {
  if (decoded == "Unknown" || decoded.empty()) return wmi::Value();
  return wmi::Value(static_cast<std::int64_t>(std::llround(std::stod(decoded) * scale)));
}

// A description against dmidecode's: a structure without one shows the class's caption.
void ExpectDescription(const wmi::Instance& inst, const std::string& decoded, const std::string& caption) {
  if (decoded.empty() || decoded == "Not Specified") {
    const wmi::Value& v = inst.Get("Description");
    EXPECT_TRUE(v == wmi::Value(caption) || v == wmi::Value(decoded)) << wmi::Describe(v);
  } else {
    EXPECT_PROP(inst, "Description", decoded);
  }
}

TEST_P(SensorCorpus, ProbesAndCoolingDevicesAsDmidecodeReadsThem) {
  // dmidecode's units: V, deg C, A; resolutions in mV, deg C, mA; accuracy in percent.
  struct Kind {
    int type;
    const char* cls;
    double value, resolution;
  };
  const Kind kinds[] = {{26, "Win32_VoltageProbe", 1000, 10},
                        {28, "Win32_TemperatureProbe", 10, 100},
                        {29, "Win32_CurrentProbe", 1000, 10}};
  for (const Kind& k : kinds) {
    auto probes = tree.All(k.cls);  // the corpus trees hold no hwmon chips: every probe is the table's
    auto probes_ref = ref.OfType(k.type);
    ASSERT_EQ(probes.size(), probes_ref.size()) << k.cls;
    for (std::size_t i = 0; i < probes.size(); ++i) {
      const Decoded& d = *probes_ref[i];
      ExpectDescription(probes[i], d.Get("Description"), "Numeric Sensor");
      EXPECT_PROP(probes[i], "Status", StatusOf(d.Get("Status")));
      EXPECT_EQ(probes[i].Get("MaxReadable"), Scaled(d.Get("Maximum Value"), k.value)) << k.cls;
      EXPECT_EQ(probes[i].Get("MinReadable"), Scaled(d.Get("Minimum Value"), k.value)) << k.cls;
      EXPECT_EQ(probes[i].Get("NominalReading"), Scaled(d.Get("Nominal Value"), k.value)) << k.cls;
      EXPECT_EQ(probes[i].Get("Tolerance"), Scaled(d.Get("Tolerance"), k.value)) << k.cls;
      EXPECT_EQ(probes[i].Get("Resolution"), Scaled(d.Get("Resolution"), k.resolution)) << k.cls;
      EXPECT_EQ(probes[i].Get("Accuracy"), Scaled(d.Get("Accuracy"), 100)) << k.cls;
    }
  }

  static const std::map<std::string, std::string> kClassOfType = {{"Fan", "Win32_Fan"},
                                                                  {"Centrifugal Blower", "Win32_Fan"},
                                                                  {"Chip Fan", "Win32_Fan"},
                                                                  {"Cabinet Fan", "Win32_Fan"},
                                                                  {"Power Supply Fan", "Win32_Fan"},
                                                                  {"Heat Pipe", "Win32_HeatPipe"},
                                                                  {"Integrated Refrigeration", "Win32_Refrigeration"}};
  for (const char* cls : {"Win32_Fan", "Win32_HeatPipe", "Win32_Refrigeration"}) {
    std::vector<const Decoded*> devices_ref;
    for (const Decoded* d : ref.OfType(27)) {
      auto it = kClassOfType.find(d->Get("Type"));
      if (it != kClassOfType.end() && it->second == cls) devices_ref.push_back(d);
    }
    auto devices = tree.All(cls);
    ASSERT_EQ(devices.size(), devices_ref.size()) << cls;
    for (std::size_t i = 0; i < devices.size(); ++i) {
      ExpectDescription(devices[i], devices_ref[i]->Get("Description"), "Cooling Device");
      EXPECT_PROP(devices[i], "Status", StatusOf(devices_ref[i]->Get("Status")));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Machines, SensorCorpus, ::testing::ValuesIn(lxtest::CorpusMachines()), [](const auto& info) {
  std::string name;
  for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

TEST(SensorCorpusData, HoldsMachinesWithEachKindOfRecord) {
  // At least one machine of the corpus has each of types 26 to 29 and a fan among its cooling devices.
  std::map<int, int> records;
  int fans = 0;
  for (const std::string& m : lxtest::CorpusMachines()) {
    Dmidecode d = ReadDmidecode(std::string(PCINFO_TEST_DATA) + "/smbios/" + m + "/dmidecode.txt");
    for (const Decoded& s : d.structures) {
      ++records[s.type];
      if (s.type == 27 && (s.Get("Type") == "Fan" || s.Get("Type") == "Power Supply Fan")) ++fans;
    }
  }
  for (int type : {26, 27, 28, 29}) EXPECT_GT(records[type], 0) << type;
  EXPECT_GT(fans, 0);
}

}  // namespace
