// The firmware sources of the Linux backend beyond the corpus: SMBIOS tables
// built byte by byte for the edge cases, the world-readable DMI attributes and
// udev's DMI record for users without root, and CPUID's answers recorded in
// a tree's live.json.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/wmi/linux/tree_util.h"
#include "wmi/linux/smbios.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using lxtest::Ints;
using wmi::lx::ParseSmbios;
using wmi::lx::SmbiosTable;

// A structure: header (type, length, handle), formatted bytes after it, and its strings.
Bytes Structure(std::uint8_t type, std::uint16_t handle, const Bytes& body, const std::vector<std::string>& strings) {
  Bytes b = {type, static_cast<std::uint8_t>(4 + body.size()), static_cast<std::uint8_t>(handle),
             static_cast<std::uint8_t>(handle >> 8)};
  b.insert(b.end(), body.begin(), body.end());
  for (const std::string& s : strings) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
  }
  if (strings.empty()) b.push_back(0);
  b.push_back(0);
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes EntryPoint3(std::uint8_t major, std::uint8_t minor, std::uint32_t max_size) {
  Bytes e = {'_', 'S', 'M', '3', '_', 0, 0x18, major, minor, 0, 1, 0};
  for (int i = 0; i < 4; ++i) e.push_back(static_cast<std::uint8_t>(max_size >> (8 * i)));
  e.resize(0x18, 0);
  return e;
}

Bytes EntryPoint2(std::uint8_t major, std::uint8_t minor, std::uint16_t length, std::uint16_t count) {
  Bytes e(0x1F, 0);
  std::memcpy(e.data(), "_SM_", 4);
  e[5] = 0x1F;
  e[6] = major;
  e[7] = minor;
  std::memcpy(e.data() + 0x10, "_DMI_", 5);
  e[0x16] = static_cast<std::uint8_t>(length);
  e[0x17] = static_cast<std::uint8_t>(length >> 8);
  e[0x1C] = static_cast<std::uint8_t>(count);
  e[0x1D] = static_cast<std::uint8_t>(count >> 8);
  return e;
}

SmbiosTable Parse(const Bytes& entry, const Bytes& table) { return ParseSmbios(entry, table); }

const Bytes kBios =
    Structure(0, 0, {1, 2, 0, 0xF0, 3, 0xFF, 0x90, 0x98, 0x03, 0x80, 0xFF, 0, 0, 0, 0x03, 0x0D, 5, 13, 0xFF, 0xFF},
              {"Vendor", "1.0", "01/02/2020"});
const Bytes kEnd = Structure(127, 0xFEFF, {}, {});

TEST(SmbiosWalk, EntryPointVersions) {
  struct Case {
    const char* name;
    Bytes entry;
    int major, minor;
  };
  Bytes legacy = {'_', 'D', 'M', 'I', '_', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x21};
  legacy[6] = 0xFF;  // table length 255
  const Case cases[] = {
      {"3.x", EntryPoint3(3, 2, 4096), 3, 2},
      {"2.x", EntryPoint2(2, 7, 4096, 0), 2, 7},
      {"legacy", legacy, 2, 1},
  };
  for (const Case& c : cases) {
    SmbiosTable t = Parse(c.entry, Cat({kBios, kEnd}));
    EXPECT_TRUE(t.present) << c.name;
    EXPECT_EQ(t.major, c.major) << c.name;
    EXPECT_EQ(t.minor, c.minor) << c.name;
    ASSERT_EQ(t.structures.size(), 1u) << c.name;
    EXPECT_EQ(t.structures[0].String(0x05), "1.0") << c.name;
  }
  // An unknown anchor or a cut entry point: no version, the table still walked.
  SmbiosTable none = Parse(Bytes{'_', 'X', 'X', '_'}, Cat({kBios, kEnd}));
  EXPECT_FALSE(none.present);
  EXPECT_EQ(none.structures.size(), 1u);
  Bytes cut = EntryPoint3(3, 0, 0);
  cut.resize(10);
  EXPECT_FALSE(Parse(cut, {}).present);
}

TEST(SmbiosWalk, OddTablesGiveFewerStructures) {
  Bytes two = Cat({kBios, Structure(2, 2, {1, 2}, {"Maker", "Board"}), kEnd});
  Bytes zero_length = Cat({kBios, Bytes{2, 0, 2, 0}, Structure(2, 3, {1, 2}, {"A", "B"})});
  Bytes cut_formatted = Cat({kBios, Bytes{2, 0x20, 2, 0, 1, 2}});
  Bytes cut_strings = Cat({kBios, Bytes{2, 6, 2, 0, 1, 2, 'M', 'a'}});
  Bytes inactive_and_oem =
      Cat({Structure(126, 5, {1}, {"old"}), Structure(200, 6, {1, 2, 3}, {"oem"}), kBios, kEnd, kBios});
  struct Case {
    const char* name;
    Bytes entry, table;
    std::size_t structures;
  };
  const Case cases[] = {
      {"two and the end", EntryPoint3(3, 0, 4096), two, 2},
      {"length 0 ends the walk", EntryPoint3(3, 0, 4096), zero_length, 1},
      {"formatted area past the end", EntryPoint3(3, 0, 4096), cut_formatted, 1},
      {"string set without its end", EntryPoint3(3, 0, 4096), cut_strings, 1},
      {"126, OEM types and what follows 127 left out", EntryPoint3(3, 0, 4096), inactive_and_oem, 1},
      {"2.x structure count", EntryPoint2(2, 8, 4096, 1), two, 1},
      {"2.x table length", EntryPoint2(2, 8, static_cast<std::uint16_t>(kBios.size() + 3), 0), two, 1},
      {"empty", EntryPoint3(3, 0, 4096), {}, 0},
      {"three bytes", EntryPoint3(3, 0, 4096), {0, 20, 0}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.entry, c.table).structures.size(), c.structures) << c.name;
}

TEST(SmbiosWalk, FieldsAndStringsStayInsideTheStructure) {
  SmbiosTable t = Parse(EntryPoint3(3, 0, 4096), Cat({Structure(1, 1, {1, 0, 9}, {"Only"}), kEnd}));
  ASSERT_EQ(t.structures.size(), 1u);
  const auto& s = t.structures[0];
  EXPECT_EQ(s.String(4), "Only");
  EXPECT_EQ(s.String(5), std::nullopt);  // string 0: none
  EXPECT_EQ(s.String(6), std::nullopt);  // string 9 of a set of one
  EXPECT_EQ(s.String(7), std::nullopt);  // past the formatted area
  EXPECT_EQ(s.Byte(6), 9);
  EXPECT_EQ(s.Word(6), std::nullopt);
  EXPECT_EQ(s.Dword(4), std::nullopt);
  EXPECT_EQ(s.Qword(0), std::nullopt);
}

// A tree holding one table, written below a temporary folder.
struct TableTree {
  TableTree(const Bytes& entry, const Bytes& table) {
    root = std::filesystem::temp_directory_path() /
           ("pcinfo-smbios-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    auto dir = root / "sys/firmware/dmi/tables";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "smbios_entry_point", std::ios::binary)
        .write(reinterpret_cast<const char*>(entry.data()), static_cast<std::streamsize>(entry.size()));
    std::ofstream(dir / "DMI", std::ios::binary)
        .write(reinterpret_cast<const char*>(table.data()), static_cast<std::streamsize>(table.size()));
    provider = wmi::lx::LinuxProvider::ForTree(root.string());
  }
  ~TableTree() { std::filesystem::remove_all(root); }
  std::vector<wmi::Instance> All(const std::string& cls) {
    auto c = provider->Connect("winmgmts:\\\\.\\root\\cimv2");
    auto rs = c->ExecQuery("Select * from " + cls, wmi::kCategoryFlags);
    std::vector<wmi::Instance> out;
    while (auto i = rs->Next()) out.push_back(std::move(*i));
    return out;
  }
  static inline int counter = 0;
  std::filesystem::path root;
  std::unique_ptr<wmi::lx::LinuxProvider> provider;
};

// A type 17 body (from offset 4) with a size word and, from 2.7, the extended size.
Bytes MemoryDevice(std::uint16_t size, std::uint32_t extended, std::uint8_t form = 0x09, std::uint8_t type = 0x1A) {
  Bytes b(0x28 - 4, 0);
  auto put16 = [&](std::size_t off, std::uint16_t v) {
    b[off - 4] = static_cast<std::uint8_t>(v);
    b[off - 3] = static_cast<std::uint8_t>(v >> 8);
  };
  put16(0x08, 64);
  put16(0x0A, 64);
  put16(0x0C, size);
  b[0x0E - 4] = form;
  b[0x10 - 4] = 1;  // locator
  b[0x12 - 4] = type;
  put16(0x15, 3200);
  for (int i = 0; i < 4; ++i) b[0x1C - 4 + i] = static_cast<std::uint8_t>(extended >> (8 * i));
  return b;
}

TEST(SmbiosClasses, MemorySizesInEveryEncoding) {
  TableTree tree(EntryPoint3(3, 3, 4096), Cat({Structure(17, 0x10, MemoryDevice(0x4000, 0), {"DIMM 16G"}),
                                               Structure(17, 0x11, MemoryDevice(0x7FFF, 0x10000), {"DIMM ext"}),
                                               Structure(17, 0x12, MemoryDevice(0x8200, 0, 0x0D, 0x18), {"DIMM 512K"}),
                                               Structure(17, 0x13, MemoryDevice(0, 0), {"empty"}),
                                               Structure(17, 0x14, MemoryDevice(0xFFFF, 0), {"unknown"}), kEnd}));
  auto m = tree.All("Win32_PhysicalMemory");
  ASSERT_EQ(m.size(), 4u);  // the empty socket left out
  EXPECT_PROP(m[0], "Capacity", "17179869184");
  EXPECT_PROP(m[1], "Capacity", "68719476736");  // 0x7FFF: the extended size, 64 GB in MB
  EXPECT_PROP(m[2], "Capacity", "524288");       // bit 15: KB
  EXPECT_NULL(m[3], "Capacity");
  EXPECT_PROP(m[0], "FormFactor", 8);  // DIMM
  EXPECT_PROP(m[0], "SMBIOSMemoryType", 26);
  EXPECT_PROP(m[0], "MemoryType", 0);   // DDR4 has no MemoryType code
  EXPECT_PROP(m[2], "FormFactor", 12);  // SODIMM
  EXPECT_PROP(m[2], "MemoryType", 24);  // DDR3
  EXPECT_PROP(m[0], "Speed", 3200);
  EXPECT_PROP(m[1], "DeviceLocator", "DIMM ext");
}

TEST(SmbiosClasses, ShortStructuresGiveNulls) {
  // A 2.0-era BIOS structure without the release bytes and a type 17 cut after its size.
  Bytes short_memory = MemoryDevice(0x0400, 0);
  short_memory.resize(0x0E - 4);
  TableTree tree(EntryPoint2(2, 0, 4096, 0),
                 Cat({Structure(0, 0, {1, 2, 0, 0xF0, 3, 0xFF, 0x90, 0, 0, 0, 0, 0, 0, 0}, {"V", "1"}),
                      Structure(17, 0x10, short_memory, {}), kEnd}));
  auto bios = tree.All("Win32_BIOS");
  ASSERT_EQ(bios.size(), 1u);
  EXPECT_PROP(bios[0], "SMBIOSBIOSVersion", "1");
  EXPECT_NULL(bios[0], "ReleaseDate");  // string 3 of a set of two
  EXPECT_NULL(bios[0], "SystemBiosMajorVersion");
  EXPECT_EQ(bios[0].Get("BiosCharacteristics"), Ints({4, 7}));  // no extension bytes
  auto m = tree.All("Win32_PhysicalMemory");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_PROP(m[0], "Capacity", "1073741824");
  EXPECT_NULL(m[0], "FormFactor");
  EXPECT_NULL(m[0], "DeviceLocator");
}

TEST(SmbiosClasses, BiosCharacteristicsCodes) {
  TableTree tree(EntryPoint3(3, 0, 4096), Cat({kBios, kEnd}));
  auto bios = tree.All("Win32_BIOS");
  ASSERT_EQ(bios.size(), 1u);
  // Characteristics 0x80039890 -> bits 4, 7, 11, 12, 15, 16, 17, 31 (the vendors' upper half, 0xFF, left out);
  // extension byte 1 0x03 -> 32, 33; extension byte 2 0x0D -> 40, 42, 43.
  EXPECT_EQ(bios[0].Get("BiosCharacteristics"), Ints({4, 7, 11, 12, 15, 16, 17, 31, 32, 33, 40, 42, 43}));
  EXPECT_PROP(bios[0], "ReleaseDate", "20200102000000.000000+000");
  EXPECT_PROP(bios[0], "SystemBiosMajorVersion", 5);
  EXPECT_PROP(bios[0], "SystemBiosMinorVersion", 13);
  EXPECT_PROP(bios[0], "SMBIOSMajorVersion", 3);
}

// Port connectors (type 8) and slots (type 9) with the codes whose WMI values
// differ from SMBIOS's, as Microsoft's class pages list them.
TEST(SmbiosClasses, PortAndSlotCodes) {
  struct Port {
    std::uint8_t internal, external, port_type;
    std::optional<std::int64_t> connector, wmi_port_type;
  };
  const Port kPorts[] = {
      {0x00, 0x0F, 0x0E, 61, 14},            // PS/2, mouse port
      {0x12, 0x00, 0x10, 53, 16},            // internal Access Bus (USB) header, USB
      {0x00, 0x09, 0x09, 21, 9},             // DB-9 female, 16550A serial port
      {0x00, 0x1F, 0x1D, 97, 29},            // mini-jack, audio port
      {0x16, 0x00, 0x20, 90, std::nullopt},  // on-board IDE, SATA: no WMI port type
      {0x00, 0xA3, 0xA0, 86, 32},            // PC-98Note, 8251 compatible
      {0x00, 0x0B, 0xA1, 39, 33},            // RJ-45, 8251 FIFO compatible
      {0x00, 0x22, 0xFF, 1, std::nullopt},   // SAS/SATA receptacle: no code of its own, Other
      {0x12, 0xFF, 0x10, 53, 16},            // external "Other", internal Access Bus (USB): the internal
      {0xFF, 0x00, 0xFF, 1, std::nullopt},   // Other
      {0x00, 0x00, 0x00, std::nullopt, 0},   // None on both sides
  };
  Bytes table;
  for (std::size_t i = 0; i < std::size(kPorts); ++i) {
    const Port& p = kPorts[i];
    table = Cat({table, Structure(8, static_cast<std::uint16_t>(0x20 + i), {1, p.internal, 2, p.external, p.port_type},
                                  {"J" + std::to_string(i), "Port " + std::to_string(i)})});
  }
  // Slots: x16 PCIe in use with 3.3 V, an 8-bit ISA slot with 5 V, and one with no width or voltage.
  table = Cat({table, Structure(9, 0x40, {1, 0xA5, 0x0D, 4, 1, 0, 1, 0x04, 0x01, 0, 0, 0, 0}, {"PCIE1"}),
               Structure(9, 0x41, {1, 0x03, 0x03, 3, 4, 2, 0, 0x02, 0x00, 0, 0, 0, 0}, {"ISA"}),
               Structure(9, 0x42, {1, 0x06, 0x02, 3, 4, 3, 0, 0x00, 0x00, 0, 0, 0, 0}, {"PCI"}), kEnd});
  TableTree tree(EntryPoint3(3, 2, 4096), table);
  auto ports = tree.All("Win32_PortConnector");
  ASSERT_EQ(ports.size(), std::size(kPorts));
  for (std::size_t i = 0; i < ports.size(); ++i) {
    SCOPED_TRACE("port " + std::to_string(i));
    if (kPorts[i].connector)
      EXPECT_EQ(ports[i].Get("ConnectorType"), Ints({*kPorts[i].connector}));
    else
      EXPECT_NULL(ports[i], "ConnectorType");
    if (kPorts[i].wmi_port_type)
      EXPECT_PROP(ports[i], "PortType", *kPorts[i].wmi_port_type);
    else
      EXPECT_NULL(ports[i], "PortType");
    EXPECT_PROP(ports[i], "InternalReferenceDesignator", "J" + std::to_string(i));
  }
  auto slots = tree.All("Win32_SystemSlot");
  ASSERT_EQ(slots.size(), 3u);
  EXPECT_NULL(slots[0], "MaxDataWidth");  // x16: a lane count, which the 8- to 128-bit map has no code for
  EXPECT_EQ(slots[0].Get("ConnectorType"), Ints({100}));  // PCI Express
  EXPECT_EQ(slots[1].Get("ConnectorType"), Ints({44}));   // ISA
  EXPECT_EQ(slots[2].Get("ConnectorType"), Ints({43}));   // PCI
  EXPECT_EQ(slots[0].Get("VccMixedVoltageSupport"), Ints({2}));
  EXPECT_PROP(slots[0], "CurrentUsage", 4);
  EXPECT_PROP(slots[0], "PMESignal", true);
  EXPECT_PROP(slots[1], "MaxDataWidth", 0);  // 8 bit
  EXPECT_EQ(slots[1].Get("VccMixedVoltageSupport"), Ints({3}));
  EXPECT_NULL(slots[2], "MaxDataWidth");  // SMBIOS "Unknown"
  EXPECT_NULL(slots[2], "VccMixedVoltageSupport");
}

struct DmiIdOnly : ::testing::Test, lxtest::TreeFixture {
  DmiIdOnly() : TreeFixture("dmi-id") {}
};

TEST_F(DmiIdOnly, BiosBoardAndEnclosureFromTheWorldReadableFiles) {
  auto bios = All("Win32_BIOS");
  ASSERT_EQ(bios.size(), 1u);
  EXPECT_PROP(bios[0], "Manufacturer", "Dell Inc.");                 // bios_vendor
  EXPECT_PROP(bios[0], "SMBIOSBIOSVersion", "2.2.4");                // bios_version
  EXPECT_PROP(bios[0], "ReleaseDate", "20210412000000.000000+000");  // bios_date 04/12/2021
  EXPECT_PROP(bios[0], "SystemBiosMajorVersion", 2);                 // bios_release 2.2
  EXPECT_PROP(bios[0], "SystemBiosMinorVersion", 2);
  auto board = All("Win32_BaseBoard");
  ASSERT_EQ(board.size(), 1u);
  EXPECT_PROP(board[0], "Manufacturer", "Dell Inc.");
  EXPECT_PROP(board[0], "Product", "07PXPY");
  EXPECT_PROP(board[0], "Version", "A01");
  auto enclosure = All("Win32_SystemEnclosure");
  ASSERT_EQ(enclosure.size(), 1u);
  EXPECT_EQ(enclosure[0].Get("ChassisTypes"), Ints({23}));  // chassis_type: rack mount
  EXPECT_PROP(enclosure[0], "SerialNumber", "7N62AI2");
  EXPECT_TRUE(All("Win32_PhysicalMemory").empty());
}

TEST_F(DmiIdOnly, ATreeWithoutLiveAnswersShowsNothingOfThisMachine) {
  // No live.json: no clock, uname, sysinfo or CPUID of the machine running the test.
  EXPECT_TRUE(All("Win32_Processor").empty());
  EXPECT_TRUE(All("Win32_CacheMemory").empty());
  auto os = All("Win32_OperatingSystem");
  ASSERT_EQ(os.size(), 1u);
  EXPECT_NULL(os[0], "LocalDateTime");
  EXPECT_NULL(os[0], "CurrentTimeZone");
  EXPECT_NULL(os[0], "Version");
  EXPECT_NULL(os[0], "OSArchitecture");
  EXPECT_NULL(os[0], "TotalVisibleMemorySize");
}

struct UdevOnly : ::testing::Test, lxtest::TreeFixture {
  UdevOnly() : TreeFixture("udev-dmi") {}
};

TEST_F(UdevOnly, ModulesAndArrayFromUdevsRecord) {
  auto m = All("Win32_PhysicalMemory");
  ASSERT_EQ(m.size(), 2u);  // device 2 is absent (PRESENT=0)
  EXPECT_PROP(m[0], "Capacity", "8589934592");
  EXPECT_PROP(m[0], "DeviceLocator", "ChannelA-DIMM0");
  EXPECT_PROP(m[0], "BankLabel", "BANK 0");
  EXPECT_PROP(m[0], "FormFactor", 12);        // SODIMM
  EXPECT_PROP(m[0], "SMBIOSMemoryType", 26);  // DDR4
  EXPECT_PROP(m[0], "Speed", 2400);
  EXPECT_PROP(m[0], "ConfiguredVoltage", 1200);
  EXPECT_PROP(m[0], "Attributes", 1);
  EXPECT_PROP(m[1], "Capacity", "17179869184");
  EXPECT_PROP(m[1], "PartNumber", "M471A2K43CB1-CRC");
  auto arrays = All("Win32_PhysicalMemoryArray");
  ASSERT_EQ(arrays.size(), 1u);
  EXPECT_PROP(arrays[0], "MaxCapacityEx", "33554432");  // 32 GB in KB
  EXPECT_PROP(arrays[0], "MemoryDevices", 2);
  EXPECT_PROP(arrays[0], "Location", 3);
  EXPECT_PROP(arrays[0], "MemoryErrorCorrection", 3);
}

TEST(TableAndUdev, TheTableWinsAndNoModuleComesTwice) {
  lxtest::TreeFixture tree("table-and-udev");
  auto m = tree.All("Win32_PhysicalMemory");
  ASSERT_EQ(m.size(), 2u);
  EXPECT_PROP(m[0], "PartNumber", "HMAA51S6AMR6N-UH    ");  // the table's string, blanks and all
  EXPECT_EQ(tree.All("Win32_PhysicalMemoryArray").size(), 1u);
}

TEST(TableAndUdev, TheProcessorStructureAddsWhatProcDoesNot) {
  lxtest::TreeFixture tree("table-and-udev");
  auto cpus = tree.All("Win32_Processor");
  ASSERT_EQ(cpus.size(), 1u);
  EXPECT_PROP(cpus[0], "Name", "Intel(R) Core(TM) i7-10510U CPU @ 1.80GHz");  // /proc/cpuinfo
  EXPECT_PROP(cpus[0], "SocketDesignation", "U3E1");  // the T480's type 4, as dmidecode shows it
  EXPECT_PROP(cpus[0], "CurrentVoltage", 11);         // 1.1 V
  EXPECT_PROP(cpus[0], "ExtClock", 100);
  EXPECT_PROP(cpus[0], "UpgradeMethod", 0x33);  // Socket BGA1356
  EXPECT_NULL(cpus[0], "VoltageCaps");
}

TEST(TableAndUdev, CachesFromTheFirmwareWhereSysfsAndCpuidSayNothing) {
  lxtest::TreeFixture tree("table-and-udev");  // no cache folders, no recorded CPUID
  auto caches = tree.All("Win32_CacheMemory");
  ASSERT_EQ(caches.size(), 3u);  // the T480's three type 7 structures, as dmidecode shows them
  const std::int64_t sizes[] = {256, 1024, 8192}, ways[] = {7, 5, 8};  // 8-, 4-, 16-way
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_PROP(caches[i], "InstalledSize", sizes[i]) << i;
    EXPECT_PROP(caches[i], "Associativity", ways[i]) << i;
    EXPECT_PROP(caches[i], "Level", static_cast<std::int64_t>(i) + 3) << i;  // Primary, Secondary, Tertiary
  }
  auto cpus = tree.All("Win32_Processor");
  ASSERT_EQ(cpus.size(), 1u);
  EXPECT_PROP(cpus[0], "L2CacheSize", 1024);  // named by the processor structure's L2 handle
  EXPECT_PROP(cpus[0], "L3CacheSize", 8192);
}

struct CpuidCase {
  const char* tree;
  std::size_t caches;
  std::int64_t l2, l3;
  const char* processor_id;
  std::vector<std::int64_t> sizes;  // InstalledSize of each cache, in order
};

struct Cpuid : ::testing::TestWithParam<CpuidCase> {};

TEST_P(Cpuid, CachesAndProcessorIdFromRecordedAnswers) {
  const CpuidCase& c = GetParam();
  lxtest::TreeFixture tree(c.tree);
  auto cpus = tree.All("Win32_Processor");
  ASSERT_EQ(cpus.size(), 1u);
  EXPECT_PROP(cpus[0], "ProcessorId", c.processor_id);
  EXPECT_PROP(cpus[0], "L2CacheSize", c.l2);
  EXPECT_PROP(cpus[0], "L3CacheSize", c.l3);
  auto caches = tree.All("Win32_CacheMemory");
  ASSERT_EQ(caches.size(), c.caches);
  for (std::size_t i = 0; i < caches.size() && i < c.sizes.size(); ++i)
    EXPECT_PROP(caches[i], "InstalledSize", c.sizes[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, Cpuid,
    ::testing::Values(
        // Intel, leaf 4: two cores of two threads (APIC ids 0/1 and 2/3), L1d, L1i, L2 per core, one L3.
        CpuidCase{"cpuid-intel", 7, 512, 8192, "BFEBFBFF000806EC", {32, 32, 256, 8192, 32, 32, 256}},
        // AMD, leaf 0x8000001D, as this build machine answered: 2 vCPUs, one L3 of 32 MB.
        CpuidCase{"cpuid-epyc", 7, 1024, 32768, "178BFBFF00A00F11", {32, 32, 512, 32768, 32, 32, 512}},
        // The same without leaf 0x8000001D: leaves 0x80000005/6, L3 per package as 0x80000006 states it.
        CpuidCase{"cpuid-epyc-legacy", 7, 1024, 262144, "178BFBFF00A00F11", {32, 32, 512, 262144, 32, 32, 512}}),
    [](const ::testing::TestParamInfo<CpuidCase>& info) {
      std::string n;
      for (const char* p = info.param.tree; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return n;
    });

}  // namespace
