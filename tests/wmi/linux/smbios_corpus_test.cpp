// The firmware classes on the SMBIOS tables of 17 real machines
// (tests/data/smbios, see its README), each checked against dmidecode's
// decode of the same table (dmidecode.txt beside it): an independent reading
// of vendor, BIOS, board, chassis, memory, batteries, slots and ports.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/wmi/linux/tree_util.h"

namespace {

namespace fs = std::filesystem;

// One structure as dmidecode prints it: its type and its "Key: Value" lines.
struct Decoded {
  int type = -1;
  std::map<std::string, std::string> fields;
  std::string Get(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
  }
};

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

struct Dmidecode {
  std::string version;  // "3.0" from "SMBIOS 3.0.0 present."
  std::vector<Decoded> structures;
  std::vector<const Decoded*> OfType(int type) const {
    std::vector<const Decoded*> out;
    for (const Decoded& d : structures)
      if (d.type == type) out.push_back(&d);
    return out;
  }
};

Dmidecode ReadDmidecode(const std::string& path) {
  Dmidecode out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("SMBIOS ", 0) == 0 && line.find(" present") != std::string::npos) {
      std::istringstream w(line.substr(7));
      std::string v;
      w >> v;
      auto second_dot = v.find('.', v.find('.') + 1);
      out.version = v.substr(0, second_dot);
    } else if (line.rfind("Handle ", 0) == 0) {
      Decoded d;
      auto at = line.find("DMI type ");
      if (at != std::string::npos) d.type = std::stoi(line.substr(at + 9));
      out.structures.push_back(d);
    } else if (!out.structures.empty() && line.size() > 1 && line[0] == '\t' && line[1] != '\t') {
      auto colon = line.find(':');
      if (colon != std::string::npos)
        out.structures.back().fields.emplace(Trimmed(line.substr(1, colon - 1)), Trimmed(line.substr(colon + 1)));
    }
  }
  return out;
}

// dmidecode's "8 GB", "512 MB", "64 kB", "1 TB" in bytes; -1 for anything else.
std::int64_t Bytes(const std::string& text) {
  std::istringstream w(text);
  std::int64_t n = -1;
  std::string unit;
  if (!(w >> n >> unit)) return -1;
  static const std::map<std::string, int> kShift = {{"bytes", 0}, {"kB", 10}, {"MB", 20}, {"GB", 30}, {"TB", 40}};
  auto it = kShift.find(unit);
  return it == kShift.end() ? -1 : n << it->second;
}

// dmidecode's names of the chassis types (SMBIOS 7.4.1), whose codes WMI's ChassisTypes uses.
int ChassisCode(const std::string& name) {
  static const char* const kNames[] = {"",
                                       "Other",
                                       "Unknown",
                                       "Desktop",
                                       "Low Profile Desktop",
                                       "Pizza Box",
                                       "Mini Tower",
                                       "Tower",
                                       "Portable",
                                       "Laptop",
                                       "Notebook",
                                       "Hand Held",
                                       "Docking Station",
                                       "All In One",
                                       "Sub Notebook",
                                       "Space-saving",
                                       "Lunch Box",
                                       "Main Server Chassis",
                                       "Expansion Chassis",
                                       "Sub Chassis",
                                       "Bus Expansion Chassis",
                                       "Peripheral Chassis",
                                       "RAID Chassis",
                                       "Rack Mount Chassis",
                                       "Sealed-case PC",
                                       "Multi-system",
                                       "CompactPCI",
                                       "AdvancedTCA",
                                       "Blade",
                                       "Blade Enclosing",
                                       "Tablet",
                                       "Convertible",
                                       "Detachable",
                                       "IoT Gateway",
                                       "Embedded PC",
                                       "Mini PC",
                                       "Stick PC"};
  for (int i = 1; i < static_cast<int>(std::size(kNames)); ++i)
    if (name == kNames[i]) return i;
  return -1;
}

// A string property against dmidecode's text: "Not Specified" is what dmidecode
// prints for an absent string (and for a string that says so); "<BAD INDEX>"
// for a string number past the set.
void ExpectString(const wmi::Instance& inst, const std::string& prop, const std::string& decoded) {
  const wmi::Value& v = inst.Get(prop);
  if (decoded == "<BAD INDEX>") {
    EXPECT_TRUE(v.is_null()) << prop;
  } else if (decoded == "Not Specified" && v.is_null()) {
    SUCCEED();
  } else {
    ASSERT_EQ(v.kind(), wmi::Value::Kind::Text) << prop << " should be " << decoded;
    EXPECT_EQ(Trimmed(v.text()), decoded) << prop;
  }
}

std::int64_t Int(const wmi::Value& v) { return v.kind() == wmi::Value::Kind::Integer ? v.integer() : -1; }

std::vector<std::string> Machines() {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(std::string(PCINFO_TEST_DATA) + "/smbios"))
    if (e.is_directory()) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

struct Corpus : ::testing::TestWithParam<std::string> {
  Corpus()
      : tree("../smbios/" + GetParam()),
        ref(ReadDmidecode(std::string(PCINFO_TEST_DATA) + "/smbios/" + GetParam() + "/dmidecode.txt")) {}
  lxtest::TreeFixture tree;
  Dmidecode ref;
};

TEST_P(Corpus, BiosBoardAndChassisAsDmidecodeReadsThem) {
  auto bios = tree.All("Win32_BIOS");
  auto bios_ref = ref.OfType(0);
  ASSERT_EQ(bios.size(), bios_ref.empty() ? 0u : 1u);
  if (!bios_ref.empty()) {
    ExpectString(bios[0], "Manufacturer", bios_ref[0]->Get("Vendor"));
    ExpectString(bios[0], "SMBIOSBIOSVersion", bios_ref[0]->Get("Version"));
    std::string date = bios_ref[0]->Get("Release Date");  // mm/dd/yyyy
    if (date.size() == 10 && date[2] == '/' && date[5] == '/') {
      EXPECT_PROP(bios[0], "ReleaseDate",
                  date.substr(6, 4) + date.substr(0, 2) + date.substr(3, 2) + "000000.000000+000");
    }
    EXPECT_PROP(bios[0], "SMBIOSPresent", true);
    // The made-up entry points of the bare go-smbios tables say nothing true of the version.
    if (GetParam().rfind("uroot-", 0) == 0 || GetParam() == "sidero-Beelink-EQ12") {
      EXPECT_EQ(std::to_string(Int(bios[0].Get("SMBIOSMajorVersion"))) + "." +
                    std::to_string(Int(bios[0].Get("SMBIOSMinorVersion"))),
                ref.version);
    }
  }

  auto boards = tree.All("Win32_BaseBoard");
  auto boards_ref = ref.OfType(2);
  ASSERT_EQ(boards.size(), boards_ref.size());
  for (std::size_t i = 0; i < boards.size(); ++i) {
    ExpectString(boards[i], "Manufacturer", boards_ref[i]->Get("Manufacturer"));
    ExpectString(boards[i], "Product", boards_ref[i]->Get("Product Name"));
  }

  auto chassis = tree.All("Win32_SystemEnclosure");
  auto chassis_ref = ref.OfType(3);
  ASSERT_EQ(chassis.size(), chassis_ref.size());
  for (std::size_t i = 0; i < chassis.size(); ++i) {
    int code = ChassisCode(chassis_ref[i]->Get("Type"));
    if (code > 0) {
      EXPECT_EQ(chassis[i].Get("ChassisTypes"), lxtest::Ints({code}));
    }
    EXPECT_PROP(chassis[i], "LockPresent", chassis_ref[i]->Get("Lock") == "Present");
    ExpectString(chassis[i], "Manufacturer", chassis_ref[i]->Get("Manufacturer"));
  }
}

TEST_P(Corpus, MemoryAsDmidecodeReadsIt) {
  // Populated devices only: dmidecode says "No Module Installed" for an empty socket.
  std::vector<const Decoded*> modules;
  for (const Decoded* d : ref.OfType(17))
    if (d->Get("Size") != "No Module Installed") modules.push_back(d);
  auto memory = tree.All("Win32_PhysicalMemory");
  ASSERT_EQ(memory.size(), modules.size());
  for (std::size_t i = 0; i < memory.size(); ++i) {
    std::int64_t bytes = Bytes(modules[i]->Get("Size"));
    if (bytes >= 0)
      EXPECT_PROP(memory[i], "Capacity", std::to_string(bytes));
    else
      EXPECT_NULL(memory[i], "Capacity");
    ExpectString(memory[i], "DeviceLocator", modules[i]->Get("Locator"));
    ExpectString(memory[i], "BankLabel", modules[i]->Get("Bank Locator"));
    ExpectString(memory[i], "Manufacturer", modules[i]->Get("Manufacturer"));
  }

  auto arrays = tree.All("Win32_PhysicalMemoryArray");
  auto arrays_ref = ref.OfType(16);
  ASSERT_EQ(arrays.size(), arrays_ref.size());
  for (std::size_t i = 0; i < arrays.size(); ++i) {
    std::int64_t bytes = Bytes(arrays_ref[i]->Get("Maximum Capacity"));
    if (bytes >= 0) {
      EXPECT_PROP(arrays[i], "MaxCapacityEx", std::to_string(bytes >> 10));
    }
    EXPECT_EQ(Int(arrays[i].Get("MemoryDevices")), std::stoll(arrays_ref[i]->Get("Number Of Devices")));
  }

  // Win32_SMBIOSMemory holds the mapped ranges of arrays and devices.
  EXPECT_EQ(tree.All("Win32_MemoryArray").size(), ref.OfType(19).size());
  EXPECT_EQ(tree.All("Win32_MemoryDevice").size(), ref.OfType(20).size());
  EXPECT_EQ(tree.All("Win32_SMBIOSMemory").size(), ref.OfType(19).size() + ref.OfType(20).size());
}

TEST_P(Corpus, BatteriesSlotsAndPortsAsDmidecodeReadsThem) {
  auto batteries = tree.All("Win32_PortableBattery");
  auto batteries_ref = ref.OfType(22);
  ASSERT_EQ(batteries.size(), batteries_ref.size());
  for (std::size_t i = 0; i < batteries.size(); ++i) {
    ExpectString(batteries[i], "Location", batteries_ref[i]->Get("Location"));
    ExpectString(batteries[i], "Manufacturer", batteries_ref[i]->Get("Manufacturer"));
    ExpectString(batteries[i], "Name", batteries_ref[i]->Get("Name"));
  }

  auto slots = tree.All("Win32_SystemSlot");
  auto slots_ref = ref.OfType(9);
  ASSERT_EQ(slots.size(), slots_ref.size());
  static const std::map<std::string, int> kUsage = {{"Other", 1}, {"Unknown", 2}, {"Available", 3}, {"In Use", 4}};
  for (std::size_t i = 0; i < slots.size(); ++i) {
    ExpectString(slots[i], "SlotDesignation", slots_ref[i]->Get("Designation"));
    auto usage = kUsage.find(slots_ref[i]->Get("Current Usage"));
    if (usage != kUsage.end()) {
      EXPECT_PROP(slots[i], "CurrentUsage", usage->second);
    }
  }

  auto ports = tree.All("Win32_PortConnector");
  auto ports_ref = ref.OfType(8);
  ASSERT_EQ(ports.size(), ports_ref.size());
  for (std::size_t i = 0; i < ports.size(); ++i) {
    ExpectString(ports[i], "InternalReferenceDesignator", ports_ref[i]->Get("Internal Reference Designator"));
    ExpectString(ports[i], "ExternalReferenceDesignator", ports_ref[i]->Get("External Reference Designator"));
  }
}

INSTANTIATE_TEST_SUITE_P(Machines, Corpus, ::testing::ValuesIn(Machines()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(CorpusData, HoldsEveryMachine) { EXPECT_EQ(Machines().size(), 17u); }

}  // namespace
