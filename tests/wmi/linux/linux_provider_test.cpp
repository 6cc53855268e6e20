// The Linux backend on the captured tree of the development VM
// (tests/data/linux/vm, made by capture.py): values against what the tree's
// files hold, and the outcomes of the provider's interface.
#include <algorithm>
#include <cctype>
#include <sstream>

#include "queries/buttons.h"
#include "queries/host.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"
#include "tests/wmi/linux/tree_util.h"
#include "wmi/linux/schema.h"
#include "wmi/recorded/capture.h"
#include "wmi/recorded/snapshot.h"

namespace {

using lxtest::Ints;
using lxtest::Texts;

struct Vm : ::testing::Test, lxtest::TreeFixture {
  Vm() : TreeFixture("vm") {}
};

TEST_F(Vm, ConnectsToCimv2OnlyWhateverTheCase) {
  EXPECT_NO_THROW(provider->Connect("winmgmts:\\\\.\\root\\cimv2"));
  EXPECT_NO_THROW(provider->Connect("winmgmts:\\\\.\\ROOT\\CIMV2"));
  EXPECT_NO_THROW(provider->Connect("Winmgmts:"));
  for (const char* m : {"winmgmts:\\\\.\\root\\wmi", "winmgmts:\\\\.\\root\\", "winmgmts:\\\\.\\root\\cimv2\\x"}) {
    try {
      provider->Connect(m);
      ADD_FAILURE() << m << " connected";
    } catch (const wmi::Error& e) {
      EXPECT_EQ(e.code(), wmi::ErrorCode::ConnectFailed) << m;
    }
  }
}

TEST_F(Vm, UnknownClassFailsKnownClassWithoutSourceIsEmpty) {
  try {
    All("Win32_NoSuchThing");
    ADD_FAILURE() << "unknown class answered";
  } catch (const wmi::Error& e) {
    EXPECT_EQ(e.code(), wmi::ErrorCode::InvalidClass);
  }
  EXPECT_THROW(Query("Select Name from Win32_Processor"), wmi::Error);  // not a query form the backend reads
  for (const char* cls : {"Win32_POTSModem", "Win32_HeatPipe", "Win32_Refrigeration", "Win32_PowerManagementEvent",
                          "Win32_PCMCIAController", "Win32_USBController", "Win32_USBControllerDevice",
                          "Win32_IDEController", "Win32_LogonSession", "Win32_LogicalDiskToPartition"})
    EXPECT_TRUE(All(cls).empty()) << cls;
}

// On every tree of tests/data/linux.
TEST(Trees, EveryInstanceCarriesItsWholeSchemaInAlphabeticalOrder) {
  for (const char* tree : {"vm", "laptop", "server", "desktop", "broken"}) {
    SCOPED_TRACE(tree);
    lxtest::TreeFixture t(tree);
    for (const std::string& cls : wmi::lx::KnownClassNames()) {
      const wmi::lx::ClassDef* def = wmi::lx::FindClassDef(cls);
      ASSERT_NE(def, nullptr) << cls;
      for (const wmi::Instance& inst : t.All(cls)) {
        const auto& props = inst.Properties();
        ASSERT_EQ(props.size(), def->properties.size()) << cls;
        for (std::size_t i = 0; i < props.size(); ++i) {
          EXPECT_EQ(props[i].name, def->properties[i].name) << cls;
          if (i > 0) {
            std::string a = props[i - 1].name, b = props[i].name;
            std::transform(a.begin(), a.end(), a.begin(), ::tolower);
            std::transform(b.begin(), b.end(), b.begin(), ::tolower);
            EXPECT_LT(a, b) << cls;
          }
          // Types as the scripting interface delivers them.
          const wmi::Value& v = props[i].value;
          if (v.is_null()) continue;
          auto check = [&](const wmi::Value& e) {
            switch (def->properties[i].type) {
              case wmi::lx::CimType::Text:
              case wmi::lx::CimType::Big:
              case wmi::lx::CimType::DateTime:
              case wmi::lx::CimType::Reference:
                EXPECT_EQ(e.kind(), wmi::Value::Kind::Text) << cls << "." << props[i].name;
                break;
              case wmi::lx::CimType::Integer:
                EXPECT_EQ(e.kind(), wmi::Value::Kind::Integer) << cls << "." << props[i].name;
                break;
              case wmi::lx::CimType::Boolean:
                EXPECT_EQ(e.kind(), wmi::Value::Kind::Boolean) << cls << "." << props[i].name;
                break;
              case wmi::lx::CimType::Real:
                EXPECT_EQ(e.kind(), wmi::Value::Kind::Real) << cls << "." << props[i].name;
                break;
            }
          };
          EXPECT_EQ(v.is_array(), def->properties[i].array) << cls << "." << props[i].name;
          if (v.is_array()) {
            for (const wmi::Value& e : v.elements()) check(e);
          } else {
            check(v);
          }
          if (def->properties[i].type == wmi::lx::CimType::DateTime) {
            ASSERT_EQ(v.text().size(), 25u) << v.text();
            EXPECT_EQ(v.text()[14], '.');
          }
        }
        if (def->Find("CreationClassName")) {
          EXPECT_PROP(inst, "CreationClassName", def->name);
        }
      }
    }
  }
}

TEST_F(Vm, ProcessorFromCpuinfoAndCaches) {
  auto cpus = All("Win32_Processor");
  ASSERT_EQ(cpus.size(), 1u);  // one physical package with two logical processors
  const wmi::Instance& p = cpus[0];
  EXPECT_PROP(p, "DeviceID", "CPU0");
  EXPECT_PROP(p, "Name", "AMD EPYC");
  EXPECT_PROP(p, "Manufacturer", "AuthenticAMD");
  EXPECT_PROP(p, "Caption", "AMD64 Family 25 Model 17 Stepping 1");
  EXPECT_PROP(p, "Family", 107);
  EXPECT_PROP(p, "Level", 25);
  EXPECT_PROP(p, "Revision", 0x1101);
  EXPECT_PROP(p, "ProcessorId", "178BFBFF00A10F11");
  EXPECT_PROP(p, "Architecture", 9);
  EXPECT_PROP(p, "AddressWidth", 64);
  EXPECT_PROP(p, "DataWidth", 64);
  EXPECT_PROP(p, "CurrentClockSpeed", 2596);  // no cpufreq: "cpu MHz" rounded
  EXPECT_PROP(p, "MaxClockSpeed", 2596);
  EXPECT_PROP(p, "NumberOfCores", 2);
  EXPECT_PROP(p, "NumberOfLogicalProcessors", 2);
  EXPECT_PROP(p, "L2CacheSize", 2048);  // two 1024K caches, one per core
  EXPECT_PROP(p, "L3CacheSize", 32768);
  EXPECT_PROP(p, "SystemName", "vm");
  EXPECT_NULL(p, "ExtClock");
  EXPECT_NULL(p, "SocketDesignation");
  // A query on the CIM class finds the same instance.
  auto cim = All("CIM_Processor");
  ASSERT_EQ(cim.size(), 1u);
  EXPECT_EQ(cim[0].Properties(), p.Properties());
}

TEST_F(Vm, OneCacheMemoryPerDistinctCache) {
  auto caches = All("Win32_CacheMemory");
  ASSERT_EQ(caches.size(), 7u);  // L1d, L1i, L2 of each cpu, one shared L3
  EXPECT_PROP(caches[0], "DeviceID", "Cache Memory 0");
  EXPECT_NULL(caches[0], "Purpose");       // no firmware table to name the cache's socket
  EXPECT_PROP(caches[0], "CacheType", 4);  // Data
  EXPECT_PROP(caches[0], "Level", 3);      // Primary
  EXPECT_PROP(caches[0], "InstalledSize", 32);
  EXPECT_PROP(caches[0], "LineSize", 64);
  EXPECT_PROP(caches[0], "Associativity", 7);  // 8-way
  EXPECT_PROP(caches[3], "InstalledSize", 32768);
  EXPECT_PROP(caches[3], "Associativity", 8);  // 16-way
  EXPECT_PROP(caches[3], "NumberOfBlocks", "32768");
  EXPECT_PROP(caches[6], "Level", 4);  // secondary
}

TEST_F(Vm, DiskDriveFromSysBlock) {
  auto disks = All("Win32_DiskDrive");
  ASSERT_EQ(disks.size(), 1u);  // vda; loop and zram left out
  const wmi::Instance& d = disks[0];
  EXPECT_PROP(d, "DeviceID", "/dev/vda");
  EXPECT_PROP(d, "Index", 0);
  // 536870912 sectors x 512 = 274877906944 bytes: 33418 whole cylinders of 255 x 63 sectors.
  EXPECT_PROP(d, "TotalCylinders", "33418");
  EXPECT_PROP(d, "TotalSectors", "536860170");
  EXPECT_PROP(d, "Size", "274872407040");
  EXPECT_PROP(d, "BytesPerSector", 512);
  EXPECT_PROP(d, "MediaType", "Fixed hard disk media");
  EXPECT_PROP(d, "Partitions", 0);
  EXPECT_PROP(d, "SerialNumber", "overlayblk");
  EXPECT_NULL(d, "Model");  // virtio disks have no model of their own
  EXPECT_PROP(d, "Caption", "/dev/vda");
  EXPECT_PROP(d, "InterfaceType", "SCSI");
  EXPECT_PROP(d, "PNPDeviceID", "SCSI\\DISK&VEN_VIRTIO&PROD_\\vda");  // its own, not its PCI function's
  EXPECT_EQ(d.Get("Capabilities"), Ints({3, 4}));
  EXPECT_EQ(d.Get("CapabilityDescriptions"), Texts({"Random Access", "Supports Writing"}));
  EXPECT_EQ(All("CIM_DiskDrive").size(), 1u);
  EXPECT_EQ(All("CIM_MediaAccessDevice").size(), 1u);
}

TEST_F(Vm, LogicalDiskIsTheRootFileSystemOnly) {
  auto disks = All("Win32_LogicalDisk");
  ASSERT_EQ(disks.size(), 1u);  // proc, sysfs, devtmpfs, tmpfs, cgroups left out
  const wmi::Instance& d = disks[0];
  EXPECT_PROP(d, "DeviceID", "/");
  EXPECT_PROP(d, "FileSystem", "ext4");
  EXPECT_PROP(d, "DriveType", 3);
  EXPECT_PROP(d, "Description", "Local Fixed Disk");
  EXPECT_PROP(d, "Size", "270553174016");
  EXPECT_PROP(d, "MaximumComponentLength", 255);
  EXPECT_NULL(d, "VolumeName");
  EXPECT_EQ(All("CIM_LogicalDisk").size(), 1u);
  EXPECT_TRUE(All("Win32_DiskPartition").empty());  // the file system fills the whole disk
}

TEST_F(Vm, NetworkAdaptersShareTheirIndexWithTheirConfiguration) {
  auto adapters = All("Win32_NetworkAdapter");
  auto configs = All("Win32_NetworkAdapterConfiguration");
  ASSERT_EQ(adapters.size(), 4u);  // lo, ifb0, ifb1, eth0 by ifindex
  ASSERT_EQ(configs.size(), 4u);
  for (std::size_t i = 0; i < adapters.size(); ++i) EXPECT_EQ(adapters[i].Get("Index"), configs[i].Get("Index"));
  wmi::Instance eth = One("Win32_NetworkAdapter", "NetConnectionID", "eth0");
  EXPECT_PROP(eth, "Index", 4);
  EXPECT_PROP(eth, "DeviceID", "4");
  EXPECT_PROP(eth, "MACAddress", "02:FC:00:00:00:01");
  EXPECT_PROP(eth, "Name", "Virtio 1.0 network device");
  EXPECT_PROP(eth, "Caption", "[00000004] Virtio 1.0 network device");
  EXPECT_PROP(eth, "Manufacturer", "Red Hat, Inc.");
  EXPECT_PROP(eth, "AdapterType", "Ethernet 802.3");
  EXPECT_PROP(eth, "NetConnectionStatus", 2);
  EXPECT_PROP(eth, "NetEnabled", true);
  EXPECT_PROP(eth, "PhysicalAdapter", true);
  EXPECT_PROP(eth, "ServiceName", "virtio_net");
  EXPECT_NULL(eth, "Speed");  // virtio reports -1
  wmi::Instance ifb = One("Win32_NetworkAdapter", "NetConnectionID", "ifb0");
  EXPECT_PROP(ifb, "NetConnectionStatus", 0);
  EXPECT_PROP(ifb, "PhysicalAdapter", false);
  wmi::Instance lo = One("Win32_NetworkAdapter", "NetConnectionID", "lo");
  EXPECT_NULL(lo, "MACAddress");
  EXPECT_NULL(lo, "AdapterType");

  const wmi::Instance& c = configs[3];
  EXPECT_PROP(c, "Index", 4);
  EXPECT_PROP(c, "IPEnabled", true);
  EXPECT_PROP(c, "MTU", 1400);
  EXPECT_EQ(c.Get("IPAddress"), Texts({"192.0.2.2", "fd00::2", "fe80::fc:ff:fe00:1"}));
  EXPECT_EQ(c.Get("IPSubnet"), Texts({"255.255.255.0", "64", "64"}));
  EXPECT_EQ(c.Get("DefaultIPGateway"), Texts({"192.0.2.1", "fd00::1"}));
  EXPECT_EQ(c.Get("GatewayCostMetric"), Ints({1, 1024}));  // route metrics 0 and 1024, in Windows' 1-9999
  EXPECT_EQ(c.Get("DNSServerSearchOrder"), Texts({"10.255.255.53"}));
  EXPECT_NULL(c, "DNSDomainSuffixSearchOrder");  // resolv.conf has no search line
  EXPECT_PROP(c, "DNSHostName", "vm");
  const wmi::Instance& off = configs[1];  // ifb0: no IP settings at all
  EXPECT_PROP(off, "IPEnabled", false);
  for (const char* p : {"IPAddress", "IPSubnet", "DefaultIPGateway", "DNSServerSearchOrder", "DHCPEnabled"})
    EXPECT_NULL(off, p);
  EXPECT_EQ(All("CIM_NetworkAdapter").size(), 4u);
}

TEST_F(Vm, PnPEntitiesFromPciAndAcpi) {
  auto devices = All("Win32_PnPEntity");
  ASSERT_EQ(devices.size(), 12u);  // six PCI functions, six ACPI devices
  wmi::Instance host =
      One("Win32_PnPEntity", "DeviceID", "PCI\\VEN_8086&DEV_0D57&SUBSYS_00000000&REV_00\\3&000000&0&00");
  EXPECT_PROP(host, "Manufacturer", "Intel Corporation");
  EXPECT_PROP(host, "Name", "Host bridge");  // no device name in the database: the class name
  EXPECT_PROP(host, "PNPClass", "System");
  EXPECT_PROP(host, "Status", "OK");
  wmi::Instance net = One("Win32_PnPEntity", "Name", "Virtio 1.0 network device");
  EXPECT_PROP(net, "ClassGuid", "{4d36e972-e325-11ce-bfc1-08002be10318}");
  EXPECT_PROP(net, "Service", "virtio-pci");
  wmi::Instance com = One("Win32_PnPEntity", "DeviceID", "ACPI\\PNP0501\\0");
  EXPECT_PROP(com, "Name", "Communications Port");
  EXPECT_PROP(com, "Service", "serial");
  EXPECT_PROP(com, "PNPClass", "Ports");
  // A WQL literal with doubled backslashes finds the device, as the USB device button queries it.
  auto found = Query("Select * From Win32_PnPEntity Where DeviceID = 'ACPI\\\\PNP0303\\\\0'");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_PROP(found[0], "Name", "Standard PS/2 Keyboard");
}

TEST_F(Vm, BusesAreThePciBusAndTheAcpiAndPnpBuses) {
  auto buses = All("Win32_Bus");
  ASSERT_EQ(buses.size(), 3u);
  EXPECT_PROP(buses[0], "DeviceID", "PCI_BUS_0");
  EXPECT_PROP(buses[0], "BusType", 5);
  EXPECT_PROP(buses[0], "BusNum", 0);
  EXPECT_PROP(buses[0], "PNPDeviceID", "ACPI\\PNP0A08\\0");
  EXPECT_PROP(buses[1], "DeviceID", "ACPIBus_BUS_0");
  EXPECT_PROP(buses[2], "DeviceID", "PNPBus_BUS_0");
}

TEST_F(Vm, ResourcesFromProc) {
  auto irqs = All("Win32_IRQResource");
  ASSERT_EQ(irqs.size(), 19u);                                      // the numbered lines of /proc/interrupts
  wmi::Instance serial = One("Win32_IRQResource", "Name", "IRQ4");  // Linux's 26 is line 4 of the IO-APIC
  EXPECT_PROP(serial, "IRQNumber", 4);
  EXPECT_PROP(serial, "Description", "ttyS0");
  EXPECT_PROP(serial, "TriggerType", 4);  // edge
  EXPECT_PROP(serial, "Hardware", true);
  EXPECT_PROP(serial, "CSName", "vm");

  auto dma = All("Win32_DMAChannel");
  ASSERT_EQ(dma.size(), 1u);
  EXPECT_PROP(dma[0], "DMAChannel", 4);
  EXPECT_PROP(dma[0], "Description", "cascade");
  EXPECT_EQ(dma[0].Get("TransferWidths"), Ints({16}));

  auto ports = All("Win32_PortResource");
  EXPECT_EQ(ports.size(), 15u);
  wmi::Instance com = One("Win32_PortResource", "Description", "serial");
  EXPECT_PROP(com, "Name", "0x03F8-0x03FF");
  EXPECT_PROP(com, "StartingAddress", "1016");
  EXPECT_PROP(com, "EndingAddress", "1023");

  EXPECT_EQ(All("Win32_SystemMemoryResource").size(), 9u);  // the top-level ranges of /proc/iomem
  auto device = All("Win32_DeviceMemoryAddress");
  EXPECT_EQ(device.size(), 10u);  // device ranges, each range once
  wmi::Instance apic = One("Win32_DeviceMemoryAddress", "Description", "IOAPIC 0");
  EXPECT_PROP(apic, "Name", "0xFEC00000-0xFEC003FF");
  EXPECT_PROP(apic, "StartingAddress", "4273995776");
  EXPECT_PROP(apic, "MemoryType", "ReadWrite");
}

TEST_F(Vm, SerialPortWithItsUart) {
  auto ports = All("Win32_SerialPort");
  ASSERT_EQ(ports.size(), 1u);  // ttyS0 has a 16550A behind it
  EXPECT_PROP(ports[0], "DeviceID", "/dev/ttyS0");
  EXPECT_PROP(ports[0], "Name", "Communications Port (ttyS0)");
  EXPECT_PROP(ports[0], "MaxBaudRate", 115200);  // uartclk 1843200 / 16
  EXPECT_PROP(ports[0], "PNPDeviceID", "ACPI\\PNP0501\\0");
  auto configs = All("Win32_SerialPortConfiguration");
  ASSERT_EQ(configs.size(), 1u);
  EXPECT_PROP(configs[0], "SettingID", "/dev/ttyS0");
}

TEST_F(Vm, OperatingSystem) {
  auto os = All("Win32_OperatingSystem");
  ASSERT_EQ(os.size(), 1u);
  const wmi::Instance& o = os[0];
  EXPECT_PROP(o, "Caption", "Debian GNU/Linux 12 (bookworm)");
  EXPECT_PROP(o, "Version", "6.18.44-fc-v1300");
  EXPECT_NULL(o, "BuildNumber");  // uname's "#1" counts the kernel's builds on its builder's machine
  EXPECT_PROP(o, "OSArchitecture", "64-bit");
  EXPECT_PROP(o, "CSName", "vm");
  EXPECT_PROP(o, "TotalVisibleMemorySize", "24683772");
  EXPECT_PROP(o, "LastBootUpTime", "20261208011359.000000+000");  // btime 1796692439, UTC
  EXPECT_PROP(o, "LocalDateTime", "20261208014040.000000+000");   // "now" of live.json
  EXPECT_PROP(o, "CurrentTimeZone", 0);
  EXPECT_PROP(o, "NumberOfProcesses", 81);
  EXPECT_PROP(o, "OSType", 36);
  EXPECT_NULL(o, "Locale");   // C.UTF-8 has no LCID
  EXPECT_NULL(o, "CodeSet");  // /etc/default/locale sets no LANG
}

// A capture of the tree replays to the same output of every button.
using Host = testing_support::PaneHost;

std::string AllButtons(wmi::Provider& provider) {
  Host host(provider);
  for (const queries::Button& b : queries::BatchButtons()) queries::RunButton(host, b);
  return host.text();
}

TEST_F(Vm, SnapshotReplaysToTheSameOutput) {
  std::string live = AllButtons(*provider);
  wmi::Snapshot snap = wmi::CaptureSnapshot(*provider, "root\\cimv2", queries::QueriedClasses());
  std::string json = wmi::SerializeSnapshot(snap);
  wmi::RecordedProvider replay(std::make_shared<wmi::Snapshot>(wmi::ParseSnapshot(json, "capture")));
  EXPECT_EQ(AllButtons(replay), live);
  EXPECT_NE(live.find("AMD EPYC"), std::string::npos);
  // Known classes without instances on this machine are recorded empty, so that they
  // answer nothing on replay as they do live.
  ASSERT_NE(snap.FindClass("root\\cimv2", "Win32_TapeDrive"), nullptr);
  EXPECT_TRUE(snap.FindClass("root\\cimv2", "Win32_TapeDrive")->instances.empty());
  ASSERT_NE(snap.FindClass("root\\cimv2", "Win32_POTSModem"), nullptr);
  EXPECT_TRUE(snap.FindClass("root\\cimv2", "Win32_POTSModem")->instances.empty());
}

}  // namespace
