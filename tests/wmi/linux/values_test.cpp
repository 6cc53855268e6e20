// Values that mean what Windows means by them: each case writes the Linux
// source of one property into a small tree and shows the value it gives.
#include "tests/wmi/linux/temp_tree.h"
#include "wmi/linux/tree.h"

namespace {

using Files = std::map<std::string, std::string>;
using lxtest::TempTree;

struct ValueCase {
  const char* name;
  Files files;
  const char* cls;
  const char* property;
  wmi::Value expected;
};

std::ostream& operator<<(std::ostream& os, const ValueCase& c) { return os << c.name; }

class FromItsSource : public ::testing::TestWithParam<ValueCase> {};

TEST_P(FromItsSource, GivesTheWindowsMeaning) {
  const ValueCase& c = GetParam();
  TempTree tree(c.files);
  auto all = tree.All(c.cls);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].Get(c.property), c.expected) << wmi::Describe(all[0].Get(c.property));
}

std::string Name(const ::testing::TestParamInfo<ValueCase>& info) { return info.param.name; }

wmi::Value Texts(std::vector<std::string> v) { return lxtest::Texts(std::move(v)); }

// ---- Disks ----

// 1000000 sectors of 512 bytes = 512000000 bytes: 62 whole cylinders of 255 heads x 63 sectors.
const Files kDisk = {{"/sys/block/sda/size", "1000000\n"}};
// A virtio disk: the PCI function behind it has a name, the disk has none.
const Files kVirtioDisk = {{"/sys/devices/pci0000:00/0000:00:02.0/virtio1/block/vda/size", "1000000\n"},
                           {"/sys/devices/pci0000:00/0000:00:02.0/vendor", "0x1af4\n"},
                           {"/sys/devices/pci0000:00/0000:00:02.0/device", "0x1042\n"},
                           {"/live.json", R"({"pci": {"1af4:1042": ["Red Hat, Inc.", "Virtio 1.0 block device"]}})"}};

INSTANTIATE_TEST_SUITE_P(
    Disks, FromItsSource,
    ::testing::Values(ValueCase{"SizeIsTheGeometrysProduct", kDisk, "Win32_DiskDrive", "Size", "509967360"},
                      ValueCase{"TotalSectorsGoWithTheGeometry", kDisk, "Win32_DiskDrive", "TotalSectors", "996030"},
                      ValueCase{"TotalCylindersAreWhole", kDisk, "Win32_DiskDrive", "TotalCylinders", "62"}),
    Name);

// The tree's links: /sys/block/vda points into the PCI device, as on a live machine.
class VirtioDisk : public ::testing::Test {};

TEST_F(VirtioDisk, LinkedFromSysBlockKeepsItsOwnIdentity) {
  TempTree tree(kVirtioDisk);
  tree.Link("/sys/block/vda", "/sys/devices/pci0000:00/0000:00:02.0/virtio1/block/vda");
  tree.Link("/sys/block/vda/device", "/sys/devices/pci0000:00/0000:00:02.0/virtio1");
  tree.Link("/sys/bus/pci/devices/0000:00:02.0", "/sys/devices/pci0000:00/0000:00:02.0");
  auto disks = tree.All("Win32_DiskDrive");
  ASSERT_EQ(disks.size(), 1u);
  EXPECT_NULL(disks[0], "Model");  // not "Virtio 1.0 block device", the PCI function's name
  EXPECT_PROP(disks[0], "Caption", "/dev/vda");
  EXPECT_PROP(disks[0], "PNPDeviceID", "SCSI\\DISK&VEN_VIRTIO&PROD_\\vda");
  // The PCI function keeps its own id; the disk's differs from it.
  auto pci = tree.All("Win32_PnPEntity");
  ASSERT_EQ(pci.size(), 1u);
  EXPECT_NE(pci[0].Get("DeviceID"), disks[0].Get("PNPDeviceID"));
}

TEST(Disks, UsbDiskIdIsUsbstorWithTheDevicesSerialAndLun) {
  TempTree tree;
  std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
  std::string scsi = usb + "/1-2:1.0/host1/target1:0:0/1:0:0:0";
  tree.File(usb + "/idVendor", "0781\n").File(usb + "/idProduct", "5567\n").File(usb + "/serial", "4C5300012305\n");
  tree.File(scsi + "/vendor", "SanDisk \n").File(scsi + "/model", "Cruzer Blade\n").File(scsi + "/rev", "1.00\n");
  tree.File(scsi + "/block/sdb/size", "30031872\n").File(scsi + "/block/sdb/removable", "1\n");
  tree.Link("/sys/block/sdb", scsi + "/block/sdb");
  tree.Link("/sys/block/sdb/device", scsi);
  tree.Link("/sys/bus/usb/devices/1-2", usb);
  auto disks = tree.All("Win32_DiskDrive");
  ASSERT_EQ(disks.size(), 1u);
  EXPECT_PROP(disks[0], "PNPDeviceID", "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C5300012305&0");
  EXPECT_PROP(disks[0], "Model", "SanDisk Cruzer Blade");
}

// ---- Interrupts ----

const char* kHeader = "           CPU0       CPU1\n";

INSTANTIATE_TEST_SUITE_P(
    Interrupts, FromItsSource,
    ::testing::Values(
        // Linux numbers the IO-APIC's pin 4 as 26: Windows (and the hardware) call it IRQ 4.
        ValueCase{"IoApicLineIsTheHardwareLine",
                  {{"/proc/interrupts", std::string(kHeader) + " 26:   0   1  IO-APIC   4-edge      ttyS0\n"}},
                  "Win32_IRQResource",
                  "IRQNumber",
                  wmi::Value(4)},
        ValueCase{"IoApicLineName",
                  {{"/proc/interrupts", std::string(kHeader) + " 26:   0   1  IO-APIC   4-edge      ttyS0\n"}},
                  "Win32_IRQResource",
                  "Name",
                  "IRQ4"},
        ValueCase{"LegacyPicLine",
                  {{"/proc/interrupts", std::string(kHeader) + "  1:  9  0  XT-PIC  1-edge  i8042\n"}},
                  "Win32_IRQResource",
                  "IRQNumber",
                  wmi::Value(1)},
        ValueCase{"GicLineAndItsTrigger",
                  {{"/proc/interrupts", std::string(kHeader) + " 11:  70  80  GICv3  27 Level  arch_timer\n"}},
                  "Win32_IRQResource",
                  "IRQNumber",
                  wmi::Value(27)},
        ValueCase{"SysfsHwirqWins",
                  {{"/proc/interrupts", std::string(kHeader) + " 30:  0  0  IO-APIC  9-fasteoi  acpi\n"},
                   {"/sys/kernel/irq/30/hwirq", "9\n"},
                   {"/sys/kernel/irq/30/chip_name", "IO-APIC\n"}},
                  "Win32_IRQResource",
                  "IRQNumber",
                  wmi::Value(9)},
        // A message-signalled interrupt has no line: Null, and a name that says so.
        ValueCase{"MsiHasNoLine",
                  {{"/proc/interrupts", std::string(kHeader) + " 28:  0  0  PCI-MSIX-0000:00:01.0  0-edge  virtio0\n"}},
                  "Win32_IRQResource",
                  "IRQNumber",
                  wmi::Value()},
        ValueCase{"MsiName",
                  {{"/proc/interrupts", std::string(kHeader) + " 28:  0  0  PCI-MSIX-0000:00:01.0  0-edge  virtio0\n"}},
                  "Win32_IRQResource",
                  "Name",
                  "MSI 28"}),
    Name);

// ---- File systems ----

const char* kRootMount = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";

INSTANTIATE_TEST_SUITE_P(
    FileSystems, FromItsSource,
    ::testing::Values(
        // f_bfree, the blocks reserved for root included: Size - FreeSpace is the space in use, as df shows it.
        ValueCase{
            "FreeSpaceIsTheTotalFree",
            {{"/proc/self/mountinfo", kRootMount},
             {"/live.json", R"({"statvfs": {"/": {"size": 1000000000, "available": 800000000, "free": 850000000}}})"}},
            "Win32_LogicalDisk",
            "FreeSpace",
            "850000000"},
        ValueCase{"FreeSpaceUnknownWithoutTotalFree",
                  {{"/proc/self/mountinfo", kRootMount},
                   {"/live.json", R"({"statvfs": {"/": {"size": 1000000000, "available": 800000000}}})"}},
                  "Win32_LogicalDisk",
                  "FreeSpace",
                  wmi::Value()}),
    Name);

// ---- Operating system ----

const std::string kUname =
    R"("uname": {"sysname": "Linux", "release": "6.1.0-18-amd64", "version": "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1", "machine": "x86_64"})";
const std::string kFlags = "processor\t: 0\nflags\t\t: fpu vme de pse tsc nx lm\n";

INSTANTIATE_TEST_SUITE_P(
    OperatingSystem, FromItsSource,
    ::testing::Values(ValueCase{"BuildNumberIsNotUnamesBuildCount",
                                {{"/live.json", "{" + kUname + "}"}},
                                "Win32_OperatingSystem",
                                "BuildNumber",
                                wmi::Value()},
                      ValueCase{"BuildTypeFromUname",
                                {{"/live.json", "{" + kUname + "}"}},
                                "Win32_OperatingSystem",
                                "BuildType",
                                "SMP PREEMPT_DYNAMIC"},
                      ValueCase{"ManufacturerFromVendorName",
                                {{"/etc/os-release", "NAME=\"Fedora Linux\"\nVENDOR_NAME=\"Fedora Project\"\n"}},
                                "Win32_OperatingSystem",
                                "Manufacturer",
                                "Fedora Project"},
                      ValueCase{"ManufacturerIsNotTheSystemsName",
                                {{"/etc/os-release", "NAME=\"Debian GNU/Linux\"\n"}},
                                "Win32_OperatingSystem",
                                "Manufacturer",
                                wmi::Value()},
                      ValueCase{"NameLeavesTheWindowsFolderEmpty",
                                {{"/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"},
                                 {"/proc/self/mountinfo", kRootMount}},
                                "Win32_OperatingSystem",
                                "Name",
                                "Debian GNU/Linux 12 (bookworm)||/dev/sda1"},
                      ValueCase{"CodeSetFromTheSystemLocale",
                                {{"/etc/default/locale", "LANG=ja_JP.eucJP\n"}},
                                "Win32_OperatingSystem",
                                "CodeSet",
                                "20932"},
                      ValueCase{
                          "CodeSetFromTheProcessLocaleWhenTheSystemIsSilent",
                          {{"/etc/default/locale", "# nothing set\n"}, {"/live.json", R"({"locale": "C.UTF-8"})"}},
                          "Win32_OperatingSystem",
                          "CodeSet",
                          "65001"},
                      ValueCase{"CodeSetOfThePosixLocale",
                                {{"/live.json", R"({"locale": "POSIX"})"}},
                                "Win32_OperatingSystem",
                                "CodeSet",
                                "20127"},
                      // 48 virtual address bits: user space has the lower half, 128 TB, in KB.
                      ValueCase{"MaxProcessMemoryFromVirtualAddressBits",
                                {{"/proc/cpuinfo", kFlags + "address sizes\t: 39 bits physical, 48 bits virtual\n"},
                                 {"/live.json", "{" + kUname + "}"}},
                                "Win32_OperatingSystem",
                                "MaxProcessMemorySize",
                                "137438953472"},
                      ValueCase{"DepAvailableWithNx",
                                {{"/proc/cpuinfo", kFlags}},
                                "Win32_OperatingSystem",
                                "DataExecutionPrevention_Available",
                                wmi::Value(true)},
                      ValueCase{"DepOnForApplicationsWithNx",
                                {{"/proc/cpuinfo", kFlags}},
                                "Win32_OperatingSystem",
                                "DataExecutionPrevention_32BitApplications",
                                wmi::Value(true)},
                      ValueCase{"DepOnForDriversWithNx",
                                {{"/proc/cpuinfo", kFlags}},
                                "Win32_OperatingSystem",
                                "DataExecutionPrevention_Drivers",
                                wmi::Value(true)},
                      ValueCase{"DepPolicyOptOutWithNx",
                                {{"/proc/cpuinfo", kFlags}},
                                "Win32_OperatingSystem",
                                "DataExecutionPrevention_SupportPolicy",
                                wmi::Value(3)},
                      ValueCase{"DepPolicyOffWithNoexecOff",
                                {{"/proc/cpuinfo", kFlags}, {"/proc/cmdline", "root=/dev/sda1 noexec=off quiet\n"}},
                                "Win32_OperatingSystem",
                                "DataExecutionPrevention_SupportPolicy",
                                wmi::Value(0)},
                      ValueCase{"DepUnavailableWithoutNx",
                                {{"/proc/cpuinfo", "processor\t: 0\nflags\t\t: fpu vme de pse tsc\n"}},
                                "Win32_OperatingSystem",
                                "DataExecutionPrevention_Available",
                                wmi::Value(false)}),
    Name);

// ---- Network ----

const std::string kLive =
    R"({"now": 1700000000, "interfaces": [{"name": "eth0", "family": "inet", "address": "192.0.2.2", "prefix": 24}]})";
const std::string kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
// A default route through 192.0.2.1 (C0 00 02 01, written little-endian) with metric m, and the subnet's route.
std::string Routes(const char* m) {
  return kRouteHeader + "eth0\t00000000\t010200C0\t0003\t0\t0\t" + m + "\t00000000\t0\t0\t0\n" +
         "eth0\t000200C0\t00000000\t0001\t0\t0\t" + m + "\t00FFFFFF\t0\t0\t0\n";
}
Files Eth0(Files more) {
  Files f = {{"/sys/class/net/eth0/ifindex", "2\n"}, {"/live.json", kLive}};
  f.insert(more.begin(), more.end());
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Network, FromItsSource,
    ::testing::Values(
        ValueCase{"TimeOfLastResetUnknown", Eth0({{"/proc/stat", "btime 1700000000\n"}}), "Win32_NetworkAdapter",
                  "TimeOfLastReset", wmi::Value()},
        // An ifb (or veth, dummy) interface: sysfs does not tell its kind, so its name stands for it.
        ValueCase{"VirtualInterfaceOfUnknownKindIsNamedByItself",
                  {{"/sys/devices/virtual/net/ifb0/ifindex", "3\n"}, {"/sys/class/net/ifb0/ifindex", "3\n"}},
                  "Win32_NetworkAdapter",
                  "Name",
                  "ifb0"},
        ValueCase{"GatewayMetricZeroIsTheLowestCost", Eth0({{"/proc/net/route", Routes("0")}}),
                  "Win32_NetworkAdapterConfiguration", "GatewayCostMetric", lxtest::Ints({1})},
        ValueCase{"GatewayMetricPastTheRangeIsTheHighestCost", Eth0({{"/proc/net/route", Routes("20100")}}),
                  "Win32_NetworkAdapterConfiguration", "GatewayCostMetric", lxtest::Ints({9999})},
        ValueCase{"GatewayMetricInTheRange", Eth0({{"/proc/net/route", Routes("600")}}),
                  "Win32_NetworkAdapterConfiguration", "GatewayCostMetric", lxtest::Ints({600})},
        ValueCase{"IpConnectionMetricIsTheLowestRouteMetric", Eth0({{"/proc/net/route", Routes("100")}}),
                  "Win32_NetworkAdapterConfiguration", "IPConnectionMetric", wmi::Value(100)},
        ValueCase{"IpConnectionMetricZeroIsTheLowestCost", Eth0({{"/proc/net/route", Routes("0")}}),
                  "Win32_NetworkAdapterConfiguration", "IPConnectionMetric", wmi::Value(1)},
        ValueCase{"NoSearchListIsNull", Eth0({{"/etc/resolv.conf", "nameserver 192.0.2.53\n"}}),
                  "Win32_NetworkAdapterConfiguration", "DNSDomainSuffixSearchOrder", wmi::Value()},
        ValueCase{"SearchListInOrder",
                  Eth0({{"/etc/resolv.conf", "nameserver 192.0.2.53\nsearch a.example b.example\n"}}),
                  "Win32_NetworkAdapterConfiguration", "DNSDomainSuffixSearchOrder", Texts({"a.example", "b.example"})},
        ValueCase{"IgmpWithTheMulticastFlag", Eth0({{"/sys/class/net/eth0/flags", "0x1003\n"}}),
                  "Win32_NetworkAdapterConfiguration", "IGMPLevel", wmi::Value(2)},
        ValueCase{"NoMulticastWithoutTheFlag", Eth0({{"/sys/class/net/eth0/flags", "0x3\n"}}),
                  "Win32_NetworkAdapterConfiguration", "IGMPLevel", wmi::Value(0)},
        ValueCase{"BlackHoleDetectionWithMtuProbing", Eth0({{"/proc/sys/net/ipv4/tcp_mtu_probing", "1\n"}}),
                  "Win32_NetworkAdapterConfiguration", "PMTUBHDetectEnabled", wmi::Value(true)},
        ValueCase{"NoBlackHoleDetectionWithoutMtuProbing", Eth0({{"/proc/sys/net/ipv4/tcp_mtu_probing", "0\n"}}),
                  "Win32_NetworkAdapterConfiguration", "PMTUBHDetectEnabled", wmi::Value(false)}),
    Name);

// ---- Serial port settings ----

Files Com1(const char* cmdline) {
  return {{"/sys/class/tty/ttyS0/type", "4\n"}, {"/proc/cmdline", std::string(cmdline) + "\n"}};
}

INSTANTIATE_TEST_SUITE_P(
    SerialPort, FromItsSource,
    ::testing::Values(
        ValueCase{"ConsoleSpeed", Com1("console=ttyS0,115200n8"), "Win32_SerialPortConfiguration", "BaudRate",
                  wmi::Value(115200)},
        ValueCase{"ConsoleParity", Com1("console=ttyS0,19200e7"), "Win32_SerialPortConfiguration", "Parity", "Even"},
        ValueCase{"ConsoleDataBits", Com1("console=ttyS0,19200e7"), "Win32_SerialPortConfiguration", "BitsPerByte",
                  wmi::Value(7)},
        ValueCase{"ConsoleWithoutOptionsIsTheDefault", Com1("console=tty0 console=ttyS0"),
                  "Win32_SerialPortConfiguration", "BaudRate", wmi::Value(9600)},
        ValueCase{"NoConsoleIsTheKernelsDefaultSpeed", Com1("root=/dev/sda1"), "Win32_SerialPortConfiguration",
                  "BaudRate", wmi::Value(9600)},
        ValueCase{"NoConsoleIsEightDataBits", Com1("root=/dev/sda1"), "Win32_SerialPortConfiguration", "BitsPerByte",
                  wmi::Value(8)},
        ValueCase{"NoConsoleIsNoParity", Com1("root=/dev/sda1"), "Win32_SerialPortConfiguration", "Parity", "None"},
        ValueCase{"NoConsoleIsOneStopBit", Com1("root=/dev/sda1"), "Win32_SerialPortConfiguration", "StopBits", "1"}),
    Name);

// ---- PnP ids of a PCI device ----

const Files kPciNic = {{"/sys/bus/pci/devices/0000:00:19.0/vendor", "0x8086\n"},
                       {"/sys/bus/pci/devices/0000:00:19.0/device", "0x1533\n"},
                       {"/sys/bus/pci/devices/0000:00:19.0/subsystem_vendor", "0x15d9\n"},
                       {"/sys/bus/pci/devices/0000:00:19.0/subsystem_device", "0x1533\n"},
                       {"/sys/bus/pci/devices/0000:00:19.0/revision", "0x03\n"},
                       {"/sys/bus/pci/devices/0000:00:19.0/class", "0x020000\n"}};

INSTANTIATE_TEST_SUITE_P(
    PnPIds, FromItsSource,
    ::testing::Values(
        ValueCase{"HardwareIdsMostSpecificFirst", kPciNic, "Win32_PnPEntity", "HardwareID",
                  Texts({"PCI\\VEN_8086&DEV_1533&SUBSYS_153315D9&REV_03", "PCI\\VEN_8086&DEV_1533&SUBSYS_153315D9",
                         "PCI\\VEN_8086&DEV_1533&REV_03", "PCI\\VEN_8086&DEV_1533", "PCI\\VEN_8086&DEV_1533&CC_020000",
                         "PCI\\VEN_8086&DEV_1533&CC_0200"})},
        ValueCase{"CompatibleIdsFromTheClassCode", kPciNic, "Win32_PnPEntity", "CompatibleID",
                  Texts({"PCI\\VEN_8086&DEV_1533&REV_03", "PCI\\VEN_8086&DEV_1533", "PCI\\VEN_8086&CC_020000",
                         "PCI\\VEN_8086&CC_0200", "PCI\\VEN_8086", "PCI\\CC_020000", "PCI\\CC_0200"})}),
    Name);

}  // namespace

// A session's tree reads each file once: a later read answers what the first
// one saw, a missing file stays missing, a file past the limit is read anew;
// a plain tree always reads the file as it is now.
TEST(RememberedReads, OneSessionReadsAFileOnce) {
  TempTree files({{"/a", "1\n"}, {"/big", std::string(wmi::lx::Tree::kMaxRemembered + 1, 'x')}});
  wmi::lx::Tree plain(files.root());
  wmi::lx::Tree session(files.root());
  session.RememberReads();
  EXPECT_EQ(session.Line("/a"), "1");
  EXPECT_EQ(session.Read("/missing"), std::nullopt);
  EXPECT_EQ(session.Read("/big")->size(), wmi::lx::Tree::kMaxRemembered + 1);
  files.File("/a", "2\n").File("/missing", "now here\n").File("/big", "small\n");
  EXPECT_EQ(session.Line("/a"), "1");
  EXPECT_EQ(session.Read("/missing"), std::nullopt);
  EXPECT_EQ(session.Line("/big"), "small");
  EXPECT_EQ(plain.Line("/a"), "2");
  wmi::lx::Tree copy = session;  // a copy shares what is remembered
  EXPECT_EQ(copy.Line("/a"), "1");
}
