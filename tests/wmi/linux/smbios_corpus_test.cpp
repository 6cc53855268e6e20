// The firmware classes on the SMBIOS tables of 17 real machines
// (tests/data/smbios, see its README), each checked against dmidecode's
// decode of the same table (dmidecode.txt beside it): an independent reading
// of vendor, BIOS, board, chassis, memory, batteries, slots and ports.
// Each machine is read twice: through the provider, and as support staff
// read a user's tree, `pcinfo-cli --tree DIR snapshot CLASS...` and the
// snapshot it writes.
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "tests/wmi/linux/dmidecode_text.h"
#include "tests/wmi/linux/tree_util.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/text.h"

namespace {

namespace fs = std::filesystem;
using lxtest::Decoded;
using lxtest::Dmidecode;
using lxtest::ReadDmidecode;
using lxtest::Trimmed;

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

// dmidecode's names of the port types (SMBIOS 7.9.3) and Win32_PortConnector's
// PortType codes for them; -1 where WMI has none (SATA, SAS, Other ...).
std::int64_t PortTypeCode(const std::string& name) {
  static const char* const kNames[] = {"None",
                                       "Parallel Port XT/AT Compatible",
                                       "Parallel Port PS/2",
                                       "Parallel Port ECP",
                                       "Parallel Port EPP",
                                       "Parallel Port ECP/EPP",
                                       "Serial Port XT/AT Compatible",
                                       "Serial Port 16450 Compatible",
                                       "Serial Port 16550 Compatible",
                                       "Serial Port 16550A Compatible",
                                       "SCSI Port",
                                       "MIDI Port",
                                       "Joystick Port",
                                       "Keyboard Port",
                                       "Mouse Port",
                                       "SSA SCSI",
                                       "USB",
                                       "Firewire (IEEE P1394)",
                                       "PCMCIA Type I",
                                       "PCMCIA Type II",
                                       "PCMCIA Type III",
                                       "Cardbus",
                                       "Access Bus Port",
                                       "SCSI II",
                                       "SCSI Wide",
                                       "PC-98",
                                       "PC-98 Hireso",
                                       "PC-H98",
                                       "Video Port",
                                       "Audio Port",
                                       "Modem Port",
                                       "Network Port",
                                       "8251 Compatible",
                                       "8251 FIFO Compatible"};
  for (int i = 0; i < static_cast<int>(std::size(kNames)); ++i)
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

// The classes the console is asked for, every class these tests read.
const char* const kFirmwareClasses[] = {
    "Win32_BIOS",           "Win32_BaseBoard",           "Win32_SystemEnclosure",
    "Win32_PhysicalMemory", "Win32_PhysicalMemoryArray", "Win32_MemoryArray",
    "Win32_MemoryDevice",   "Win32_SMBIOSMemory",        "Win32_PortableBattery",
    "Win32_SystemSlot",     "Win32_PortConnector",       "Win32_CacheMemory",
    "Win32_Processor",      "Win32_ComputerSystem",      "Win32_ComputerSystemProduct",
};

// pcinfo-cli --tree `tree` snapshot ... -o `out`; its exit status.
int SnapshotWithCli(const std::string& tree, const std::string& out) {
  std::vector<std::string> args{PCINFO_CLI, "--tree", tree, "snapshot"};
  args.insert(args.end(), std::begin(kFirmwareClasses), std::end(kFirmwareClasses));
  args.insert(args.end(), {"-o", out});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    execv(PCINFO_CLI, argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

enum class Source { Provider, ConsoleSnapshot };

// The instances of a class as one source gives them for one machine.
struct MachineReader {
  MachineReader(const std::string& machine, Source source) {
    std::string tree = std::string(PCINFO_TEST_DATA) + "/smbios/" + machine;
    if (source == Source::Provider) {
      provider = wmi::lx::LinuxProvider::ForTree(tree);
      return;
    }
    auto file = fs::temp_directory_path() / ("pcinfo-corpus-" + std::to_string(getpid()) + "-" + machine + ".json");
    int status = SnapshotWithCli(tree, file.string());
    EXPECT_EQ(status, 0) << "pcinfo-cli --tree " << tree << " snapshot";
    if (status == 0) provider = wmi::RecordedProvider::FromFile(file.string());
    fs::remove(file);
  }
  std::vector<wmi::Instance> All(const std::string& cls) {
    std::vector<wmi::Instance> out;
    if (!provider) return out;
    auto rs = provider->Connect("winmgmts:\\\\.\\root\\cimv2")->ExecQuery("Select * from " + cls, wmi::kCategoryFlags);
    while (auto i = rs->Next()) out.push_back(std::move(*i));
    return out;
  }
  std::unique_ptr<wmi::Provider> provider;
};

struct Corpus : ::testing::TestWithParam<std::tuple<std::string, Source>> {
  Corpus()
      : tree(std::get<0>(GetParam()), std::get<1>(GetParam())),
        ref(ReadDmidecode(std::string(PCINFO_TEST_DATA) + "/smbios/" + Machine() + "/dmidecode.txt")) {}
  static std::string Machine() { return std::get<0>(GetParam()); }
  MachineReader tree;
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
    if (Machine().rfind("uroot-", 0) == 0 || Machine() == "sidero-Beelink-EQ12") {
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
      // A uint32 of KB holds up to 4 TB (the R630's 3 TB array among them).
      if ((bytes >> 10) <= 0xFFFFFFFFll) {
        EXPECT_PROP(arrays[i], "MaxCapacity", bytes >> 10);
      }
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
    // DesignCapacity times CapacityMultiplier is the design capacity in mWh.
    std::istringstream mwh(batteries_ref[i]->Get("Design Capacity"));
    std::int64_t design = -1;
    if (mwh >> design) {
      std::int64_t multiplier = Int(batteries[i].Get("CapacityMultiplier"));
      EXPECT_EQ(Int(batteries[i].Get("DesignCapacity")) * (multiplier > 0 ? multiplier : 1), design);
    }
    // The chemistry and manufacture date of the record, or of its Smart Battery fields.
    static const std::map<std::string, int> kChemistry = {
        {"Lithium Ion", 6}, {"LION", 6}, {"Lithium Polymer", 8}, {"LiP", 8}, {"Nickel Metal Hydride", 5}, {"NiMH", 5}};
    std::string chemistry = batteries_ref[i]->Get("Chemistry");
    if (chemistry.empty() || chemistry == "Unknown") chemistry = batteries_ref[i]->Get("SBDS Chemistry");
    if (auto it = kChemistry.find(chemistry); it != kChemistry.end()) {
      EXPECT_PROP(batteries[i], "Chemistry", it->second);
    }
    std::string made = batteries_ref[i]->Get("Manufacture Date");
    if (made.empty()) made = batteries_ref[i]->Get("SBDS Manufacture Date");
    if (!made.empty()) ExpectString(batteries[i], "ManufactureDate", made);
  }

  auto slots = tree.All("Win32_SystemSlot");
  auto slots_ref = ref.OfType(9);
  ASSERT_EQ(slots.size(), slots_ref.size());
  static const std::map<std::string, int> kUsage = {{"Other", 1}, {"Unknown", 2}, {"Available", 3}, {"In Use", 4}};
  for (std::size_t i = 0; i < slots.size(); ++i) {
    ExpectString(slots[i], "SlotDesignation", slots_ref[i]->Get("Designation"));
    // dmidecode's "Type" is the data bus width and the slot type ("32-bit PCI", "x16 PCI Express 3 x16").
    std::string type = slots_ref[i]->Get("Type");
    std::string width = type.substr(0, type.find(' ')), kind = type.substr(type.find(' ') + 1);
    static const std::map<std::string, int> kWidths = {
        {"8-bit", 0}, {"16-bit", 1}, {"32-bit", 2}, {"64-bit", 3}, {"128-bit", 4}};
    if (auto w = kWidths.find(width); w != kWidths.end()) {
      EXPECT_PROP(slots[i], "MaxDataWidth", w->second);
    } else if (width.size() > 1 && width[0] == 'x') {
      EXPECT_NULL(slots[i], "MaxDataWidth");  // a lane count has no code
    }
    if (kind.find("PCI Express") != std::string::npos) {
      EXPECT_EQ(slots[i].Get("ConnectorType"), lxtest::Ints({100}));
    } else if (kind == "PCI" || kind == "ISA" || kind == "PCI-X") {
      EXPECT_EQ(slots[i].Get("ConnectorType"), lxtest::Ints({kind == "PCI" ? 43 : kind == "ISA" ? 44 : 88}));
    }
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
    // The external connector, unless it is None or Other where the internal one is named; Other and
    // the SAS/SATA receptacle are WMI's Other (1), None on both sides no connector.
    std::string external = ports_ref[i]->Get("External Connector Type");
    std::string internal = ports_ref[i]->Get("Internal Connector Type");
    bool internal_named = internal != "None" && internal != "Other";
    std::string connector = (external == "None" || external == "Other") && internal_named ? internal
                            : external == "None"                                          ? internal
                                                                                          : external;
    if (connector == "Other" || connector == "SAS/SATA Plug Receptacle") {
      EXPECT_EQ(ports[i].Get("ConnectorType"), lxtest::Ints({1}));
    } else if (connector == "None") {
      EXPECT_NULL(ports[i], "ConnectorType");
    } else if (connector == "Access Bus (USB)") {
      EXPECT_EQ(ports[i].Get("ConnectorType"), lxtest::Ints({53}));
    } else if (connector == "RJ-45") {
      EXPECT_EQ(ports[i].Get("ConnectorType"), lxtest::Ints({39}));
    }
    std::int64_t port_type = PortTypeCode(ports_ref[i]->Get("Port Type"));
    if (port_type >= 0)
      EXPECT_PROP(ports[i], "PortType", port_type);
    else
      EXPECT_NULL(ports[i], "PortType");
  }
}

TEST_P(Corpus, CachesAsTheFirmwareNamesThem) {
  // The enabled caches with a size, one instance each.
  std::vector<const Decoded*> ref_caches;
  for (const Decoded* d : ref.OfType(7)) {
    std::string size = d->Get("Installed Size");
    if (d->Get("Configuration").rfind("Enabled", 0) == 0 && Bytes(size) > 0) ref_caches.push_back(d);
  }
  auto caches = tree.All("Win32_CacheMemory");
  ASSERT_EQ(caches.size(), ref_caches.size());
  static const std::map<std::string, int> kWrite = {
      {"Write Back", 3}, {"Write Through", 4}, {"Varies With Memory Address", 5}, {"Unknown", 2}};
  static const std::map<std::string, int> kEcc = {{"Other", 1},  {"Unknown", 2},        {"None", 3},
                                                  {"Parity", 4}, {"Single-bit ECC", 5}, {"Multi-bit ECC", 6}};
  static const std::map<std::string, int> kSram = {{"Other", 0},       {"Unknown", 1},        {"Non-burst", 2},
                                                   {"Burst", 3},       {"Pipeline Burst", 4}, {"Synchronous", 5},
                                                   {"Asynchronous", 6}};
  for (std::size_t i = 0; i < caches.size(); ++i) {
    const Decoded& c = *ref_caches[i];
    ExpectString(caches[i], "Purpose", c.Get("Socket Designation"));  // "L1-Cache", not an invented "L1 Cache"
    EXPECT_EQ(Int(caches[i].Get("InstalledSize")), Bytes(c.Get("Installed Size")) >> 10);
    if (auto w = kWrite.find(c.Get("Operational Mode")); w != kWrite.end()) {
      EXPECT_PROP(caches[i], "WritePolicy", w->second);
    }
    if (auto e = kEcc.find(c.Get("Error Correction Type")); e != kEcc.end()) {
      EXPECT_PROP(caches[i], "ErrorCorrectType", e->second);
    }
    if (auto s = kSram.find(c.Get("Installed SRAM Type")); s != kSram.end()) {
      EXPECT_EQ(caches[i].Get("CurrentSRAM"), lxtest::Ints({s->second}));
    }
  }
}

TEST_P(Corpus, ProcessorsFromThePopulatedSockets) {
  std::vector<const Decoded*> sockets;
  for (const Decoded* d : ref.OfType(4))
    if (d->Get("Status").rfind("Populated", 0) == 0) sockets.push_back(d);
  auto cpus = tree.All("Win32_Processor");
  ASSERT_EQ(cpus.size(), sockets.size());  // a tree without /proc: the firmware's sockets alone
  for (std::size_t i = 0; i < cpus.size(); ++i) {
    ExpectString(cpus[i], "SocketDesignation", sockets[i]->Get("Socket Designation"));
    ExpectString(cpus[i], "Name", sockets[i]->Get("Version"));
    // The rated clock is the speed the firmware started the processor at, not its table's maximum.
    std::istringstream mhz(sockets[i]->Get("Current Speed"));
    std::int64_t rated = -1;
    if (mhz >> rated) {
      EXPECT_PROP(cpus[i], "MaxClockSpeed", rated);
    }
    for (auto [prop, field] : {std::pair{"NumberOfCores", "Core Count"}, std::pair{"ThreadCount", "Thread Count"}}) {
      std::string n = sockets[i]->Get(field);
      if (!n.empty()) {
        EXPECT_EQ(Int(cpus[i].Get(prop)), std::stoll(n)) << prop;
      }
    }
  }
  auto cs = tree.All("Win32_ComputerSystem");
  ASSERT_EQ(cs.size(), 1u);
  if (!sockets.empty()) {
    EXPECT_PROP(cs[0], "NumberOfProcessors", static_cast<std::int64_t>(sockets.size()));
  }
}

TEST_P(Corpus, ComputerSystemAsDmidecodeReadsIt) {
  auto systems = ref.OfType(1);
  auto cs = tree.All("Win32_ComputerSystem");
  auto product = tree.All("Win32_ComputerSystemProduct");
  ASSERT_EQ(cs.size(), 1u);
  ASSERT_EQ(product.size(), systems.empty() ? 0u : 1u);
  if (systems.empty()) return;
  const Decoded& s = *systems[0];
  ExpectString(cs[0], "Manufacturer", s.Get("Manufacturer"));
  ExpectString(cs[0], "Model", s.Get("Product Name"));
  if (!s.Get("Family").empty()) ExpectString(cs[0], "SystemFamily", s.Get("Family"));
  if (!s.Get("SKU Number").empty()) ExpectString(cs[0], "SystemSKUNumber", s.Get("SKU Number"));
  ExpectString(product[0], "Vendor", s.Get("Manufacturer"));
  ExpectString(product[0], "Name", s.Get("Product Name"));
  ExpectString(product[0], "Version", s.Get("Version"));
  ExpectString(product[0], "IdentifyingNumber", s.Get("Serial Number"));
  std::string uuid = s.Get("UUID");
  if (uuid.size() == 36) {
    ASSERT_EQ(product[0].Get("UUID").kind(), wmi::Value::Kind::Text);
    EXPECT_TRUE(wmi::EqualsIgnoreCase(product[0].Get("UUID").text(), uuid)) << product[0].Get("UUID").text();
  }
  // PCSystemType from the chassis: a notebook is mobile, a desktop a desktop, a rack server a server.
  auto chassis = ref.OfType(3);
  if (!chassis.empty()) {
    static const std::map<std::string, int> kType = {{"Notebook", 2}, {"Laptop", 2}, {"Portable", 2},
                                                     {"Desktop", 1},  {"Tower", 1},  {"Rack Mount Chassis", 4}};
    if (auto t = kType.find(chassis[0]->Get("Type")); t != kType.end()) {
      EXPECT_PROP(cs[0], "PCSystemType", t->second);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Machines, Corpus,
                         ::testing::Combine(::testing::ValuesIn(lxtest::CorpusMachines()),
                                            ::testing::Values(Source::Provider, Source::ConsoleSnapshot)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, Source>>& info) {
                           std::string name;
                           for (char c : std::get<0>(info.param))
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name + (std::get<1>(info.param) == Source::Provider ? "" : "_console");
                         });

TEST(CorpusData, HoldsEveryMachine) { EXPECT_EQ(lxtest::CorpusMachines().size(), 17u); }

}  // namespace
