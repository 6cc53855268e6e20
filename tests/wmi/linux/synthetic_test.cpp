// The Linux backend on synthetic trees (tests/data/linux, made by
// make_synthetic.py): a laptop with USB devices and a partitioned SATA disk, a
// server with two packages, several NICs, IPv6 and a USB hub, and a tree of
// unreadable, missing and malformed files.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "tests/wmi/linux/tree_util.h"

namespace {

using lxtest::Ints;
using lxtest::Texts;

struct Laptop : ::testing::Test, lxtest::TreeFixture {
  Laptop() : TreeFixture("laptop") {}
};

struct Server : ::testing::Test, lxtest::TreeFixture {
  Server() : TreeFixture("server") {}
};

TEST_F(Laptop, ProcessorWithCpufreqAndSharedCaches) {
  auto cpus = All("Win32_Processor");
  ASSERT_EQ(cpus.size(), 1u);
  EXPECT_PROP(cpus[0], "Name", "Intel(R) Core(TM) i7-10510U CPU @ 1.80GHz");
  EXPECT_PROP(cpus[0], "Caption", "Intel64 Family 6 Model 142 Stepping 12");
  EXPECT_PROP(cpus[0], "Family", 178);                // the firmware's code (its table, a W510's, says Pentium 4)
  EXPECT_PROP(cpus[0], "CurrentClockSpeed", 2304);    // scaling_cur_freq
  EXPECT_PROP(cpus[0], "MaxClockSpeed", 1800);        // base_frequency: the rated clock, not cpuinfo_max_freq's turbo
  EXPECT_PROP(cpus[0], "SocketDesignation", "None");  // the table's populated socket
  EXPECT_PROP(cpus[0], "NumberOfCores", 4);
  EXPECT_PROP(cpus[0], "NumberOfLogicalProcessors", 8);
  EXPECT_PROP(cpus[0], "L2CacheSize", 1024);  // four 256K caches, each shared by two threads
  EXPECT_PROP(cpus[0], "L3CacheSize", 8192);
  EXPECT_PROP(cpus[0], "VMMonitorModeExtensions", true);
  EXPECT_PROP(cpus[0], "SecondLevelAddressTranslationExtensions", true);
  // The caches the firmware's table names (L1, L2, L3), as Windows lists them.
  EXPECT_EQ(All("Win32_CacheMemory").size(), 3u);
}

TEST_F(Laptop, SataDiskWithPartitionsAndUsbStick) {
  auto disks = All("Win32_DiskDrive");
  ASSERT_EQ(disks.size(), 2u);  // loop0 left out
  const wmi::Instance& sda = disks[0];
  EXPECT_PROP(sda, "DeviceID", "/dev/sda");
  EXPECT_PROP(sda, "Model", "Samsung SSD 860");  // the "ATA" vendor is not a manufacturer
  EXPECT_PROP(sda, "Manufacturer", "(Standard disk drives)");
  EXPECT_PROP(sda, "InterfaceType", "IDE");
  EXPECT_PROP(sda, "SerialNumber", "S3Z9NB0K123456A");  // from udev's database
  EXPECT_PROP(sda, "Partitions", 3);
  EXPECT_PROP(sda, "Size", "512105932800");  // 62260 cylinders of 255 x 63 x 512 bytes
  EXPECT_PROP(sda, "SCSIPort", 0);
  EXPECT_PROP(sda, "SCSITargetId", 0);
  EXPECT_PROP(sda, "PNPDeviceID", "SCSI\\DISK&VEN_ATA&PROD_SAMSUNG_SSD_860\\sda");
  const wmi::Instance& sdb = disks[1];
  EXPECT_PROP(sdb, "Index", 1);
  EXPECT_PROP(sdb, "Model", "SanDisk Cruzer Blade");
  EXPECT_PROP(sdb, "Manufacturer", "SanDisk");
  EXPECT_PROP(sdb, "InterfaceType", "USB");
  EXPECT_PROP(sdb, "MediaType", "Removable Media");
  EXPECT_EQ(sdb.Get("Capabilities"), Ints({3, 4, 7}));
  EXPECT_PROP(sdb, "PNPDeviceID", "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE\\4C530001230508116455&0");

  auto parts = All("Win32_DiskPartition");
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_PROP(parts[1], "DeviceID", "Disk #0, Partition #1");
  EXPECT_PROP(parts[1], "StartingOffset", "537919488");  // sector 1050624
  EXPECT_PROP(parts[1], "Size", "510520197120");
  EXPECT_PROP(parts[3], "DeviceID", "Disk #1, Partition #0");
}

TEST_F(Laptop, LogicalDisksAndTheirPartitions) {
  auto disks = All("Win32_LogicalDisk");
  ASSERT_EQ(disks.size(), 3u);  // /, /boot/efi, the stick; not proc, sysfs, tmpfs, squashfs on loop, bind mounts
  EXPECT_PROP(disks[0], "DeviceID", "/");
  EXPECT_PROP(disks[0], "VolumeName", "root");  // udev's ID_FS_LABEL
  EXPECT_PROP(disks[0], "VolumeSerialNumber", "1111-2222");
  EXPECT_PROP(disks[0], "FreeSpace", "148580191232");  // f_bfree: the blocks reserved for root included
  EXPECT_PROP(disks[1], "DeviceID", "/boot/efi");
  EXPECT_PROP(disks[1], "VolumeName", "EFI");  // /dev/disk/by-label
  EXPECT_PROP(disks[1], "FileSystem", "vfat");
  EXPECT_PROP(disks[2], "DeviceID", "/media/yuki/MY STICK");  // \040 in mountinfo
  EXPECT_PROP(disks[2], "DriveType", 2);
  EXPECT_PROP(disks[2], "Description", "Removable Disk");
  EXPECT_PROP(disks[2], "VolumeName", "MY STICK");  // \x20 in the by-label name
  EXPECT_PROP(disks[2], "VolumeSerialNumber", "ABCD-1234");

  auto links = All("Win32_LogicalDiskToPartition");
  ASSERT_EQ(links.size(), 3u);
  EXPECT_PROP(links[0], "Antecedent",
              "\\\\yuki-laptop\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #0, Partition #1\"");
  EXPECT_PROP(links[0], "Dependent", "\\\\yuki-laptop\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"/\"");
  EXPECT_PROP(links[0], "StartingAddress", "537919488");
  EXPECT_PROP(links[0], "EndingAddress", "511058116607");
}

TEST_F(Laptop, UsbDevicesBehindTheirController) {
  auto controllers = All("Win32_USBController");
  ASSERT_EQ(controllers.size(), 1u);
  const std::string xhci = "PCI\\VEN_8086&DEV_02ED&SUBSYS_229217AA&REV_00\\3&000000&0&A0";
  EXPECT_PROP(controllers[0], "DeviceID", xhci);
  EXPECT_PROP(controllers[0], "Name", "Comet Lake PCH-LP USB 3.1 xHCI Host Controller");
  EXPECT_PROP(controllers[0], "Manufacturer", "Intel Corporation");
  EXPECT_PROP(controllers[0], "ProtocolSupported", 16);
  auto ide = All("Win32_IDEController");
  ASSERT_EQ(ide.size(), 1u);  // the SATA AHCI controller
  EXPECT_PROP(ide[0], "Name", "Comet Lake SATA AHCI Controller");
  // With the graphics adapter, the floppy disk controller, the parallel port, the CardBus bridge and the serial port.
  EXPECT_EQ(All("CIM_Controller").size(), 7u);

  auto links = All("Win32_USBControllerDevice");
  ASSERT_EQ(links.size(), 3u);  // the root hub, the receiver, the stick
  std::string antecedent = "\\\\yuki-laptop\\root\\cimv2:Win32_USBController.DeviceID=\"" +
                           std::string("PCI\\\\VEN_8086&DEV_02ED&SUBSYS_229217AA&REV_00\\\\3&000000&0&A0") + "\"";
  EXPECT_PROP(links[1], "Antecedent", antecedent);
  EXPECT_PROP(links[1], "Dependent",
              "\\\\yuki-laptop\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_046D&PID_C52B\\\\1-1\"");
  // Every dependent is found again the way the USB device button asks for it.
  for (const wmi::Instance& link : links) {
    std::string path = link.Get("Dependent").text();
    std::string unquoted;
    for (char c : path)
      if (c != '"') unquoted += c;
    std::string id = unquoted.substr(unquoted.find('=') + 1);
    auto found = Query("Select * From Win32_PnPEntity Where DeviceID = '" + id + "'");
    EXPECT_EQ(found.size(), 1u) << id;
  }
  wmi::Instance receiver = One("Win32_PnPEntity", "DeviceID", "USB\\VID_046D&PID_C52B\\1-1");
  EXPECT_PROP(receiver, "Name", "USB Receiver");  // the device's own string before the database's
  EXPECT_PROP(receiver, "Manufacturer", "Logitech");
  EXPECT_PROP(receiver, "Service", "usbhid");
  EXPECT_PROP(receiver, "PNPClass", "USB");
  wmi::Instance hub = One("Win32_PnPEntity", "DeviceID", "USB\\ROOT_HUB20\\usb1");
  EXPECT_PROP(hub, "Name", "USB Root Hub");
  EXPECT_PROP(hub, "Service", "hub");
}

TEST_F(Laptop, WirelessAdapterWithDhcp) {
  wmi::Instance wifi = One("Win32_NetworkAdapter", "NetConnectionID", "wlp0s20f3");
  EXPECT_PROP(wifi, "AdapterType", "Wireless");
  EXPECT_PROP(wifi, "AdapterTypeId", 9);
  EXPECT_PROP(wifi, "Name", "Comet Lake PCH-LP CNVi WiFi");
  EXPECT_PROP(wifi, "ServiceName", "iwlwifi");
  EXPECT_NULL(wifi, "TimeOfLastReset");  // Linux keeps no time of an adapter's last reset
  auto configs = All("Win32_NetworkAdapterConfiguration");
  ASSERT_EQ(configs.size(), 2u);
  const wmi::Instance& c = configs[1];
  EXPECT_PROP(c, "DHCPEnabled", true);  // NetworkManager's lease
  EXPECT_EQ(c.Get("IPAddress"), Texts({"192.168.1.23", "fe80::1234:5678:9abc:def0"}));
  EXPECT_EQ(c.Get("IPSubnet"), Texts({"255.255.255.0", "64"}));
  EXPECT_EQ(c.Get("DefaultIPGateway"), Texts({"192.168.1.1"}));
  EXPECT_EQ(c.Get("GatewayCostMetric"), Ints({600}));
  EXPECT_EQ(c.Get("DNSDomainSuffixSearchOrder"), Texts({"home.arpa"}));
  EXPECT_PROP(c, "DNSDomain", "home.arpa");
  EXPECT_PROP(c, "KeepAliveTime", 7200000);
}

TEST_F(Laptop, HiddenAddressesAreNullAndUnknownUartIsNoPort) {
  auto ports = All("Win32_PortResource");
  ASSERT_EQ(ports.size(), 4u);
  for (const wmi::Instance& p : ports) {
    EXPECT_NULL(p, "StartingAddress");
    EXPECT_NULL(p, "EndingAddress");
    EXPECT_NULL(p, "Name");
  }
  EXPECT_PROP(ports[0], "Caption", "PCI Bus 0000:00");
  for (const wmi::Instance& m : All("Win32_SystemMemoryResource")) EXPECT_NULL(m, "StartingAddress");
  // ttyS0's UART is unknown: only the LPSS UART is a port.
  auto serial = All("Win32_SerialPort");
  ASSERT_EQ(serial.size(), 1u);
  EXPECT_PROP(serial[0], "DeviceID", "/dev/ttyS4");
  EXPECT_PROP(serial[0], "MaxBaudRate", 115200);
  auto dma = All("Win32_DMAChannel");
  ASSERT_EQ(dma.size(), 1u);
  EXPECT_PROP(dma[0], "Description", "cascade");
  auto cardbus = All("Win32_PCMCIAController");
  ASSERT_EQ(cardbus.size(), 1u);
  EXPECT_PROP(cardbus[0], "PNPDeviceID", "PCI\\VEN_104C&DEV_8039&SUBSYS_229217AA&REV_00\\3&000004&0&00");
  auto irqs = All("Win32_IRQResource");
  ASSERT_EQ(irqs.size(), 5u);
  EXPECT_PROP(irqs[1], "TriggerType", 3);  // fasteoi: level
  EXPECT_PROP(irqs[1], "Shareable", true);
  EXPECT_PROP(irqs[2], "Description", "xhci_hcd");
}

TEST_F(Laptop, OperatingSystemAndSessions) {
  auto os = All("Win32_OperatingSystem");
  ASSERT_EQ(os.size(), 1u);
  EXPECT_PROP(os[0], "Caption", "Ubuntu 22.04.3 LTS");
  EXPECT_PROP(os[0], "BuildType", "SMP PREEMPT_DYNAMIC");
  EXPECT_NULL(os[0], "BuildNumber");  // uname's "#38~22.04.1-Ubuntu" is no build number of the system
  EXPECT_PROP(os[0], "Locale", "0411");
  EXPECT_PROP(os[0], "OSLanguage", 1041);
  EXPECT_EQ(os[0].Get("MUILanguages"), Texts({"ja-JP"}));
  EXPECT_PROP(os[0], "CurrentTimeZone", 540);
  EXPECT_PROP(os[0], "LocalDateTime", "20231115081320.000000+540");
  EXPECT_PROP(os[0], "LastBootUpTime", "20231115071320.000000+540");
  EXPECT_PROP(os[0], "FreePhysicalMemory", "12000000");
  EXPECT_PROP(os[0], "TotalVirtualMemorySize", "18324328");
  EXPECT_PROP(os[0], "NumberOfProcesses", 4);

  auto sessions = All("Win32_LogonSession");
  ASSERT_EQ(sessions.size(), 2u);  // the .ref pipe is no session
  EXPECT_PROP(sessions[0], "LogonId", "2");
  EXPECT_PROP(sessions[0], "LogonType", 2);
  EXPECT_PROP(sessions[0], "StartTime", "20231115071523.456789+540");
  EXPECT_PROP(sessions[0], "AuthenticationPackage", "gdm-password");
  EXPECT_PROP(sessions[1], "LogonId", "c1");
}

TEST_F(Server, ProcessorPerPackage) {
  auto cpus = All("Win32_Processor");
  ASSERT_EQ(cpus.size(), 2u);
  EXPECT_PROP(cpus[1], "DeviceID", "CPU1");
  EXPECT_PROP(cpus[1], "Family", 179);  // Xeon
  EXPECT_PROP(cpus[1], "NumberOfCores", 2);
  EXPECT_PROP(cpus[1], "NumberOfLogicalProcessors", 4);
  EXPECT_PROP(cpus[1], "L3CacheSize", 28160);  // each package its own L3
  EXPECT_PROP(cpus[1], "L2CacheSize", 2048);
  EXPECT_PROP(cpus[0], "ProcessorId", "BFEBFBFF00050657");
}

TEST_F(Server, SeveralNicsWithIpv6) {
  auto adapters = All("Win32_NetworkAdapter");
  ASSERT_EQ(adapters.size(), 4u);
  EXPECT_PROP(adapters[1], "NetConnectionID", "eno1");
  EXPECT_PROP(adapters[1], "Speed", "1000000000");
  EXPECT_PROP(adapters[1], "Name", "I210 Gigabit Network Connection");
  EXPECT_PROP(adapters[1], "PNPDeviceID", "PCI\\VEN_8086&DEV_1533&SUBSYS_153315D9&REV_03\\3&000001&0&00");
  EXPECT_PROP(adapters[2], "NetConnectionID", "eno2");
  EXPECT_PROP(adapters[2], "NetEnabled", false);
  EXPECT_PROP(adapters[2], "NetConnectionStatus", 0);
  EXPECT_PROP(adapters[3], "Name", "Bridge");
  EXPECT_PROP(adapters[3], "NetConnectionStatus", 7);  // up, no carrier
  EXPECT_PROP(adapters[3], "PhysicalAdapter", false);

  auto configs = All("Win32_NetworkAdapterConfiguration");
  const wmi::Instance& eno1 = configs[1];
  EXPECT_EQ(eno1.Get("IPAddress"), Texts({"10.0.0.10", "10.0.0.11", "2001:db8:1::10", "fe80::ae1f:6bff:fe00:1"}));
  EXPECT_EQ(eno1.Get("IPSubnet"), Texts({"255.255.255.0", "255.255.255.255", "64", "64"}));
  EXPECT_EQ(eno1.Get("DefaultIPGateway"), Texts({"10.0.0.1", "fe80::1"}));
  EXPECT_EQ(eno1.Get("GatewayCostMetric"), Ints({100, 1024}));
  // systemd-resolved's stub: the servers behind it.
  EXPECT_EQ(eno1.Get("DNSServerSearchOrder"), Texts({"10.0.0.2", "2001:db8:1::53"}));
  EXPECT_EQ(eno1.Get("DNSDomainSuffixSearchOrder"), Texts({"corp.example", "example.com"}));
  EXPECT_PROP(eno1, "DHCPEnabled", true);
  EXPECT_PROP(eno1, "DHCPServer", "10.0.0.1");
  EXPECT_PROP(configs[2], "IPEnabled", false);
  EXPECT_EQ(configs[3].Get("IPAddress"), Texts({"fd12:3456::1"}));
  EXPECT_EQ(configs[3].Get("IPSubnet"), Texts({"48"}));
  EXPECT_NULL(configs[3], "DefaultIPGateway");
  EXPECT_PROP(configs[3], "DHCPEnabled", false);
  EXPECT_NULL(configs[0], "DNSServerSearchOrder");  // loopback
}

TEST_F(Server, UsbHubChainAndSerialPorts) {
  auto links = All("Win32_USBControllerDevice");
  ASSERT_EQ(links.size(), 4u);  // root hub, hub, keyboard, serial adapter: all behind the EHCI controller
  wmi::Instance hub = One("Win32_PnPEntity", "DeviceID", "USB\\VID_05E3&PID_0610\\1-1");
  EXPECT_PROP(hub, "Service", "hub");
  EXPECT_PROP(hub, "Name", "USB2.0 Hub");
  wmi::Instance kb = One("Win32_PnPEntity", "DeviceID", "USB\\VID_413C&PID_2113\\1-1.1");
  EXPECT_NULL(kb, "Manufacturer");  // neither a string of its own nor a database entry
  EXPECT_PROP(kb, "Name", "Dell KB216 Wired Keyboard");

  auto ports = All("Win32_SerialPort");
  ASSERT_EQ(ports.size(), 2u);  // ttyS0 and ttyUSB0; ttyS1 has no UART
  EXPECT_PROP(ports[0], "DeviceID", "/dev/ttyS0");
  EXPECT_PROP(ports[0], "PNPDeviceID", "ACPI\\PNP0501\\0");
  EXPECT_PROP(ports[1], "DeviceID", "/dev/ttyUSB0");
  EXPECT_PROP(ports[1], "PNPDeviceID", "USB\\VID_0403&PID_6001\\A50285BI");
  EXPECT_NULL(ports[1], "MaxBaudRate");
  auto configs = All("Win32_SerialPortConfiguration");
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_PROP(configs[0], "BaudRate", 115200);  // console=ttyS0,115200n8
  EXPECT_PROP(configs[0], "BitsPerByte", 8);
  EXPECT_PROP(configs[0], "Parity", "None");
  EXPECT_PROP(configs[1], "BaudRate", 9600);  // no console: the kernel's default for a tty
}

TEST_F(Server, DevicesBusesAndControllers) {
  auto buses = All("Win32_Bus");
  ASSERT_EQ(buses.size(), 4u);  // PCI buses 0 and 1, ACPI, PnP
  EXPECT_PROP(buses[1], "DeviceID", "PCI_BUS_1");
  EXPECT_PROP(buses[1], "PNPDeviceID", "PCI\\VEN_8086&DEV_A190&SUBSYS_00000000&REV_F9\\3&000000&0&E0");
  auto cardbus = All("Win32_PCMCIAController");
  ASSERT_EQ(cardbus.size(), 1u);
  EXPECT_PROP(cardbus[0], "Name", "CardBus bridge");
  EXPECT_PROP(cardbus[0], "Manufacturer", "O2 Micro, Inc.");
  EXPECT_PROP(cardbus[0], "Status", "Error");  // no driver bound
  EXPECT_PROP(cardbus[0], "ConfigManagerErrorCode", 28);
  EXPECT_TRUE(All("Win32_IDEController").empty());  // NVMe is no IDE controller
  // ACPI: the serial port and the HPET; the battery is absent (status 0) and LNXCPU is Linux's own.
  wmi::Instance hpet = One("Win32_PnPEntity", "DeviceID", "ACPI\\PNP0103\\0");
  EXPECT_PROP(hpet, "Name", "High precision event timer");
  auto all = All("Win32_PnPEntity");
  EXPECT_EQ(all.size(), 8u + 4u + 2u);
  EXPECT_EQ(All("CIM_LogicalDevice").size() > all.size(), true);
}

TEST_F(Server, NvmeNfsResourcesAndUtmp) {
  auto disks = All("Win32_DiskDrive");
  ASSERT_EQ(disks.size(), 1u);
  EXPECT_PROP(disks[0], "DeviceID", "/dev/nvme0n1");
  EXPECT_PROP(disks[0], "Model", "SAMSUNG MZVL2512HCJQ-00B00");
  EXPECT_PROP(disks[0], "SerialNumber", "S675NX0T123456");
  EXPECT_PROP(disks[0], "FirmwareRevision", "GXA7801Q");
  EXPECT_PROP(disks[0], "Partitions", 2);
  auto logical = All("Win32_LogicalDisk");
  ASSERT_EQ(logical.size(), 3u);
  EXPECT_PROP(logical[2], "DeviceID", "/mnt/share");
  EXPECT_PROP(logical[2], "DriveType", 4);
  EXPECT_PROP(logical[2], "ProviderName", "nas01:/export/share");
  EXPECT_PROP(logical[2], "Size", "8000000000000");
  EXPECT_EQ(All("Win32_LogicalDiskToPartition").size(), 2u);

  auto dma = All("Win32_DMAChannel");
  ASSERT_EQ(dma.size(), 2u);
  EXPECT_EQ(dma[0].Get("TransferWidths"), Ints({8}));
  wmi::Instance nic = One("Win32_DeviceMemoryAddress", "Description", "0000:01:00.0");
  EXPECT_PROP(nic, "MemoryType", "ReadWrite");
  wmi::Instance lpc = One("Win32_DeviceMemoryAddress", "Description", "0000:00:1f.0");
  EXPECT_PROP(lpc, "MemoryType", "Prefetchable");
  auto irq16 = One("Win32_IRQResource", "Name", "IRQ16");
  EXPECT_PROP(irq16, "Description", "ehci_hcd:usb1, i801_smbus");

  auto sessions = All("Win32_LogonSession");
  ASSERT_EQ(sessions.size(), 2u);  // the reboot record is no login
  EXPECT_PROP(sessions[0], "LogonId", "1201");
  EXPECT_PROP(sessions[0], "LogonType", 2);
  EXPECT_PROP(sessions[0], "StartTime", "20231114142820.250000-300");
  EXPECT_PROP(sessions[1], "LogonType", 10);  // from a remote host

  auto os = All("Win32_OperatingSystem");
  EXPECT_PROP(os[0], "CSName", "db01");  // /etc/hostname where procfs has none
  EXPECT_PROP(os[0], "Locale", "0409");
  EXPECT_PROP(os[0], "FreePhysicalMemory", "100000000");  // MemFree where MemAvailable is missing
  EXPECT_PROP(os[0], "FreeVirtualMemory", "100000000");
}

// Unreadable, missing and malformed files: Null or no instance, never an escaping exception.
TEST(Broken, EveryClassAnswersWithoutFailing) {
  lxtest::TreeFixture t("broken");
  for (const std::string& cls : wmi::lx::KnownClassNames()) EXPECT_NO_THROW(t.All(cls)) << cls;
  EXPECT_TRUE(t.All("Win32_Processor").empty());  // no processor block with a number
  EXPECT_TRUE(t.All("Win32_PortResource").empty());
  EXPECT_TRUE(t.All("Win32_DMAChannel").empty());
  EXPECT_TRUE(t.All("Win32_IRQResource").empty());
  EXPECT_TRUE(t.All("Win32_SerialPort").empty());
  auto pnp = t.All("Win32_PnPEntity");
  ASSERT_EQ(pnp.size(), 1u);  // 0b.0; the dangling link, the bad vendor, the USB device without ids are left out
  EXPECT_NULL(pnp[0], "PNPClass");
  EXPECT_TRUE(t.All("Win32_LogonSession").size() <= 1u);
  auto disks = t.All("Win32_DiskDrive");
  ASSERT_EQ(disks.size(), 1u);  // sdc alone has a size
  EXPECT_PROP(disks[0], "BytesPerSector", 512);
  EXPECT_PROP(disks[0], "Partitions", 0);  // sdc1's partition is a directory
  auto caches = t.All("Win32_CacheMemory");
  ASSERT_EQ(caches.size(), 1u);
  EXPECT_NULL(caches[0], "InstalledSize");
  auto logical = t.All("Win32_LogicalDisk");
  ASSERT_EQ(logical.size(), 0u);  // the one full line has no source
  auto adapters = t.All("Win32_NetworkAdapter");
  ASSERT_EQ(adapters.size(), 1u);  // eth1 alone has an ifindex
  EXPECT_NULL(adapters[0], "NetEnabled");
  EXPECT_PROP(adapters[0], "MACAddress", "00:11:22:33:44:55");
  auto configs = t.All("Win32_NetworkAdapterConfiguration");
  EXPECT_NULL(configs[0], "MTU");
  EXPECT_PROP(configs[0], "IPEnabled", false);
  auto os = t.All("Win32_OperatingSystem");
  ASSERT_EQ(os.size(), 1u);
  EXPECT_NULL(os[0], "TotalVisibleMemorySize");
  EXPECT_NULL(os[0], "LastBootUpTime");
  EXPECT_PROP(os[0], "Caption", "Linux");
}

// Files the user may not read (when the tests do not run as root).
TEST(Broken, UnreadableFilesGiveNull) {
  namespace fs = std::filesystem;
  fs::path tmp = fs::temp_directory_path() / ("pcinfo-linux-" + std::to_string(::getpid()));
  fs::remove_all(tmp);
  fs::copy(lxtest::TreePath("laptop"), tmp, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  fs::permissions(tmp / "proc/cpuinfo", fs::perms::none);
  fs::permissions(tmp / "sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/size",
                  fs::perms::none);
  auto provider = wmi::lx::LinuxProvider::ForTree(tmp.string());
  auto c = provider->Connect("winmgmts:");
  auto count = [&](const char* cls) {
    auto rs = c->ExecQuery(std::string("Select * from ") + cls);
    std::size_t n = 0;
    while (rs->Next()) ++n;
    return n;
  };
  if (::geteuid() != 0) {
    EXPECT_EQ(count("Win32_Processor"), 0u);
    EXPECT_EQ(count("Win32_DiskDrive"), 1u);
  } else {
    EXPECT_EQ(count("Win32_Processor"), 1u);  // root reads it all the same
  }
  fs::permissions(tmp / "proc/cpuinfo", fs::perms::owner_all);
  fs::remove_all(tmp);
}

}  // namespace

// The composite USB device button and the partition button, end to end on the laptop.
#include "queries/buttons.h"
#include "queries/host.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"

namespace {

using testing_support::PaneHost;

TEST_F(Laptop, UsbDeviceButtonListsEveryDeviceBehindTheController) {
  PaneHost host(*provider);
  queries::RunButton(host, *queries::FindButton("Command58"));
  std::string text = host.text();
  // Each device's properties follow as "description,Name" and "description,value" lines.
  EXPECT_NE(text.find("USB Receiver,DeviceID\r\nUSB Receiver,USB\\VID_046D&PID_C52B\\1-1\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Cruzer Blade,Manufacturer\r\nCruzer Blade,SanDisk\r\n"), std::string::npos);
  EXPECT_NE(text.find("USB Root Hub,Service\r\nUSB Root Hub,hub\r\n"), std::string::npos);
}

TEST_F(Laptop, PartitionButtonPrintsTheAssociations) {
  PaneHost host(*provider);
  queries::RunButton(host, *queries::FindButton("Command59"));
  std::string text = host.text();
  EXPECT_NE(
      text.find("Antecedent:\\\\yuki-laptop\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #1, Partition #0\"\r\n"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("Dependent:\\\\yuki-laptop\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"/media/yuki/MY STICK\"\r\n"),
            std::string::npos);
}

}  // namespace

namespace {

// Connections within the reuse time share what was read; later ones read again.
TEST(Session, ConnectionsShareReadsWithinTheReuseTime) {
  namespace fs = std::filesystem;
  fs::path tmp = fs::temp_directory_path() / ("pcinfo-session-" + std::to_string(::getpid()));
  fs::remove_all(tmp);
  fs::create_directories(tmp / "proc");
  auto write_dma = [&](const char* text) {
    std::FILE* f = std::fopen((tmp / "proc/dma").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    std::fclose(f);
  };
  auto count = [](wmi::Provider& p) {
    auto rs = p.Connect("winmgmts:")->ExecQuery("Select * from Win32_DMAChannel");
    std::size_t n = 0;
    while (rs->Next()) ++n;
    return n;
  };
  write_dma(" 4: cascade\n");
  wmi::lx::LinuxProvider shared(tmp.string(), wmi::lx::MakeTreeSystem(tmp.string()), std::chrono::hours(1));
  wmi::lx::LinuxProvider fresh(tmp.string(), wmi::lx::MakeTreeSystem(tmp.string()), std::chrono::milliseconds(0));
  EXPECT_EQ(count(shared), 1u);
  EXPECT_EQ(count(fresh), 1u);
  write_dma(" 2: floppy\n 4: cascade\n");
  EXPECT_EQ(count(shared), 1u);  // the same session
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(count(fresh), 2u);  // read again
  fs::remove_all(tmp);
}

}  // namespace
