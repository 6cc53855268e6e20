// The computer system's values from the system's own configuration, installed
// software from dpkg's database, the BIOS version from an ACPI table header and
// a monitor's maker from udev's PnP vendor table: each case writes the source
// into a small tree and shows the value it gives.
#include <sys/stat.h>
#include <utime.h>

#include <fstream>
#include <sstream>

#include "tests/wmi/linux/temp_tree.h"

namespace {

using Files = std::map<std::string, std::string>;
using lxtest::TempTree;

struct Case {
  const char* name;
  Files files;
  const char* cls;
  const char* property;
  wmi::Value expected;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

class ComputerSystemSource : public ::testing::TestWithParam<Case> {};

TEST_P(ComputerSystemSource, GivesTheWindowsMeaning) {
  const Case& c = GetParam();
  TempTree tree(c.files);
  auto all = tree.All(c.cls);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].Get(c.property), c.expected) << wmi::Describe(all[0].Get(c.property));
}

// A 36-byte ACPI table header: signature, length, revision, checksum, OEM id, table id, OEM revision, creator.
std::string AcpiHeader(const std::string& signature, const std::string& oem_id, std::uint32_t oem_revision) {
  std::string h = signature;
  auto le32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) h += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  le32(36);
  h += '\x05';
  h += '\0';
  h += oem_id;
  h += "TP-N24  ";
  le32(oem_revision);
  h += "PTEC";
  le32(2);
  return h;
}

const Files kBiosDmiId = {{"/sys/class/dmi/id/bios_vendor", "LENOVO\n"},
                          {"/sys/class/dmi/id/bios_version", "N22ET80W (1.57 )\n"}};

Files With(Files base, const Files& more) {
  base.insert(more.begin(), more.end());
  return base;
}

const char* kSmbGlobal = "[global]\n   workgroup = OFFICE\n   server string = %h server\n[homes]\n   browseable = no\n";

INSTANTIATE_TEST_SUITE_P(
    Sources, ComputerSystemSource,
    ::testing::Values(
        // Windows's BIOS version: the ACPI OEM id as the firmware pads it, and the OEM revision in hex.
        Case{"BiosVersionFromTheAcpiHeader",
             With(kBiosDmiId, {{"/sys/firmware/acpi/tables/FACP", AcpiHeader("FACP", "LENOVO", 0x1290)}}), "Win32_BIOS",
             "Version", "LENOVO - 1290"},
        Case{"BiosVersionKeepsThePadding",
             With(kBiosDmiId, {{"/sys/firmware/acpi/tables/FACP", AcpiHeader("FACP", "DELL  ", 0x1072009)}}),
             "Win32_BIOS", "Version", "DELL   - 1072009"},
        Case{"BiosVersionNullForAHeaderOfAnotherTable",
             With(kBiosDmiId, {{"/sys/firmware/acpi/tables/FACP", AcpiHeader("APIC", "LENOVO", 0x1290)}}), "Win32_BIOS",
             "Version", wmi::Value()},
        Case{"BiosVersionNullForATruncatedHeader",
             With(kBiosDmiId, {{"/sys/firmware/acpi/tables/FACP", AcpiHeader("FACP", "LENOVO", 0x1290).substr(0, 30)}}),
             "Win32_BIOS", "Version", wmi::Value()},
        // The PC system type: the firmware's preferred PM profile, else the chassis.
        Case{"PcSystemTypeFromThePmProfile",
             {{"/sys/firmware/acpi/pm_profile", "2\n"}},
             "Win32_ComputerSystem",
             "PCSystemType",
             wmi::Value(2)},
        Case{"TabletIsMobile",
             {{"/sys/firmware/acpi/pm_profile", "8\n"}},
             "Win32_ComputerSystem",
             "PCSystemType",
             wmi::Value(2)},
        Case{"TabletIsASlateInTheExtendedMap",
             {{"/sys/firmware/acpi/pm_profile", "8\n"}},
             "Win32_ComputerSystem",
             "PCSystemTypeEx",
             wmi::Value(8)},
        Case{"PcSystemTypeOfADesktopChassis",
             {{"/sys/class/dmi/id/chassis_type", "3\n"}},
             "Win32_ComputerSystem",
             "PCSystemType",
             wmi::Value(1)},
        Case{"PcSystemTypeOfARackServer",
             {{"/sys/class/dmi/id/chassis_type", "23\n"}},
             "Win32_ComputerSystem",
             "PCSystemType",
             wmi::Value(4)},
        // Domain membership: sssd's domain, Samba's realm as an ADS member, else its workgroup, else DNS.
        Case{"DomainFromSssd",
             {{"/etc/sssd/sssd.conf",
               "[sssd]\ndomains = corp.example.com\n[domain/corp.example.com]\nid_provider = ad\n"}},
             "Win32_ComputerSystem",
             "Domain",
             "corp.example.com"},
        Case{"SssdDomainIsPartOfADomain",
             {{"/etc/sssd/sssd.conf", "[sssd]\ndomains = corp.example.com\n"}},
             "Win32_ComputerSystem",
             "PartOfDomain",
             wmi::Value(true)},
        Case{"SambaAdsMemberIsAMemberWorkstation",
             {{"/etc/samba/smb.conf", "[global]\nworkgroup = CORP\nsecurity = ADS\nrealm = CORP.EXAMPLE.COM\n"}},
             "Win32_ComputerSystem",
             "DomainRole",
             wmi::Value(1)},
        Case{"SambaAdsRealm",
             {{"/etc/samba/smb.conf", "[global]\nworkgroup = CORP\nsecurity = ADS\nrealm = CORP.EXAMPLE.COM\n"}},
             "Win32_ComputerSystem",
             "Domain",
             "corp.example.com"},
        Case{"SambaWorkgroup", {{"/etc/samba/smb.conf", kSmbGlobal}}, "Win32_ComputerSystem", "Workgroup", "OFFICE"},
        Case{"SambaWorkgroupIsNoDomain",
             {{"/etc/samba/smb.conf", kSmbGlobal}},
             "Win32_ComputerSystem",
             "PartOfDomain",
             wmi::Value(false)},
        Case{"DnsDomainOfTheHostName",
             {{"/proc/sys/kernel/hostname", "ws12.branch.example.org\n"}},
             "Win32_ComputerSystem",
             "Domain",
             "branch.example.org"},
        Case{"ShortNameOfTheHostName",
             {{"/proc/sys/kernel/hostname", "ws12.branch.example.org\n"}},
             "Win32_ComputerSystem",
             "Name",
             "ws12"},
        Case{"DnsDomainOfTheResolver",
             {{"/etc/resolv.conf", "search home.arpa lan\nnameserver 192.0.2.1\n"}},
             "Win32_ComputerSystem",
             "Domain",
             "home.arpa"},
        // The user at the console: seat0's active session.
        Case{"UserOfTheActiveSeatSession",
             {{"/run/systemd/seats/seat0", "ACTIVE=3\nACTIVE_UID=1001\n"},
              {"/run/systemd/sessions/3", "UID=1001\nUSER=hana\nACTIVE=1\nCLASS=user\n"},
              {"/run/systemd/sessions/4", "UID=1002\nUSER=remote\nACTIVE=1\nCLASS=user\nREMOTE=1\n"}},
             "Win32_ComputerSystem",
             "UserName",
             "hana"},
        Case{"RemoteSessionIsNotTheConsole",
             {{"/run/systemd/sessions/4", "UID=1002\nUSER=remote\nACTIVE=1\nCLASS=user\nREMOTE=1\n"}},
             "Win32_ComputerSystem",
             "UserName",
             wmi::Value()},
        Case{"RescueModeIsAFailSafeBoot",
             {{"/proc/cmdline", "root=/dev/sda2 ro systemd.unit=rescue.target\n"}},
             "Win32_ComputerSystem",
             "BootupState",
             "Fail-safe boot"},
        Case{"NormalBoot",
             {{"/proc/cmdline", "root=/dev/sda2 ro quiet splash\n"}},
             "Win32_ComputerSystem",
             "BootupState",
             "Normal boot"},
        Case{"TotalPhysicalMemoryInBytes",
             {{"/proc/meminfo", "MemTotal:       16227180 kB\n"}},
             "Win32_ComputerSystem",
             "TotalPhysicalMemory",
             "16616632320"},
        Case{"HypervisorFlag",
             {{"/proc/cpuinfo", "processor\t: 0\nflags\t\t: fpu vme hypervisor\n"}},
             "Win32_ComputerSystem",
             "HypervisorPresent",
             wmi::Value(true)},
        // The rated clock: the brand string's where neither cpufreq's base nor the firmware names it,
        // not cpuinfo_max_freq's turbo clock.
        Case{"RatedClockOfTheBrandString",
             {{"/proc/cpuinfo", "processor\t: 0\nmodel name\t: Intel(R) Core(TM) i7-8650U CPU @ 1.90GHz\n"},
              {"/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "4200000\n"}},
             "Win32_Processor",
             "MaxClockSpeed",
             wmi::Value(1900)},
        Case{"RatedClockOfCpufreqsBase",
             {{"/proc/cpuinfo", "processor\t: 0\nmodel name\t: AMD Ryzen 7 5800U with Radeon Graphics\n"},
              {"/sys/devices/system/cpu/cpu0/cpufreq/base_frequency", "1900000\n"},
              {"/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "4507000\n"}},
             "Win32_Processor",
             "MaxClockSpeed",
             wmi::Value(1900)}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// ---- Processors: the kernel's view joined with the firmware's socket ----

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(Processors, KernelPackageJoinedWithItsSocketHasTheRatedClock) {
  // The T480's table (tests/data/smbios): its i7-8650U starts at 1900 MHz; cpufreq's ceiling is the 4200 MHz turbo.
  std::string t480 = std::string(PCINFO_TEST_DATA) + "/smbios/uroot-Lenovo-ThinkPad-T480/sys/firmware/dmi/tables/";
  TempTree tree({{"/sys/firmware/dmi/tables/smbios_entry_point", ReadFile(t480 + "smbios_entry_point")},
                 {"/sys/firmware/dmi/tables/DMI", ReadFile(t480 + "DMI")},
                 {"/proc/cpuinfo",
                  "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) CPU\n\n"
                  "processor\t: 1\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) CPU\n"},
                 {"/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "4200000\n"},
                 {"/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq", "800000\n"}});
  auto cpus = tree.All("Win32_Processor");
  ASSERT_EQ(cpus.size(), 1u);
  EXPECT_PROP(cpus[0], "MaxClockSpeed", 1900);     // the socket's current speed, not 4200
  EXPECT_PROP(cpus[0], "CurrentClockSpeed", 800);  // the kernel's
  EXPECT_PROP(cpus[0], "SocketDesignation", "U3E1");
  EXPECT_PROP(cpus[0], "Family", 198);                   // Core i7, as the firmware says
  EXPECT_PROP(cpus[0], "NumberOfCores", 4);              // the kernel names no cores: the socket's count
  EXPECT_PROP(cpus[0], "NumberOfLogicalProcessors", 2);  // the kernel's logical processors
}

// ---- Installed software ----

const char* kStatus =
    "Package: bash\n"
    "Essential: yes\n"
    "Status: install ok installed\n"
    "Priority: required\n"
    "Installed-Size: 7164\n"
    "Maintainer: Matthias Klose <doko@debian.org>\n"
    "Architecture: amd64\n"
    "Version: 5.2.15-2+b2\n"
    "Description: GNU Bourne Again SHell\n"
    " Bash is an sh-compatible command language interpreter.\n"
    "Homepage: http://tiswww.case.edu/php/chet/bash/bashtop.html\n"
    "\n"
    "Package: libc6\n"
    "Status: install ok installed\n"
    "Multi-Arch: same\n"
    "Maintainer: GNU Libc Maintainers <debian-glibc@lists.debian.org>\n"
    "Architecture: amd64\n"
    "Version: 2.36-9+deb12u4\n"
    "Description: GNU C Library: Shared libraries\n"
    "\n"
    "Package: old-tool\n"
    "Status: deinstall ok config-files\n"
    "Architecture: all\n"
    "Version: 1.0\n";

// Sets a file's modification time (seconds since the epoch).
void Touch(const std::string& path, std::int64_t t) {
  struct utimbuf times {
    static_cast<time_t>(t), static_cast<time_t>(t)
  };
  ASSERT_EQ(::utime(path.c_str(), &times), 0) << path;
}

TEST(Products, InstalledPackagesOfDpkgsDatabase) {
  TempTree tree({{"/var/lib/dpkg/status", kStatus},
                 {"/var/lib/dpkg/info/bash.list", "/bin/bash\n"},
                 {"/var/lib/dpkg/info/libc6:amd64.list", "/lib/x86_64-linux-gnu/libc.so.6\n"},
                 {"/live.json", R"({"utc_offset_minutes": 540})"}});
  Touch(tree.root() + "/var/lib/dpkg/info/bash.list", 1700000000);         // 2023-11-14 22:13:20 UTC
  Touch(tree.root() + "/var/lib/dpkg/info/libc6:amd64.list", 1690000000);  // 2023-07-22 04:26:40 UTC
  auto products = tree.All("Win32_Product");
  ASSERT_EQ(products.size(), 2u);  // the removed package's config files are no product
  const wmi::Instance& bash = products[0];
  EXPECT_PROP(bash, "Name", "bash");
  EXPECT_PROP(bash, "Version", "5.2.15-2+b2");
  EXPECT_PROP(bash, "Vendor", "Matthias Klose");  // the maintainer, without the mail address
  EXPECT_PROP(bash, "Description", "GNU Bourne Again SHell");
  EXPECT_PROP(bash, "IdentifyingNumber", "bash:amd64");
  EXPECT_PROP(bash, "InstallState", 5);          // installed
  EXPECT_PROP(bash, "InstallDate", "20231115");  // the file list's time, in the local zone (+9 h)
  EXPECT_PROP(bash, "InstallDate2", "20231115071320.000000+540");
  EXPECT_PROP(bash, "URLInfoAbout", "http://tiswww.case.edu/php/chet/bash/bashtop.html");
  // A Multi-Arch: same package keeps its list under name:arch.
  EXPECT_PROP(products[1], "Name", "libc6");
  EXPECT_PROP(products[1], "InstallDate", "20230722");
}

TEST(Products, NoDatabaseNoProducts) {
  TempTree tree(Files{{"/var/lib/dpkg/info/bash.list", "/bin/bash\n"}});
  EXPECT_TRUE(tree.All("Win32_Product").empty());
}

// ---- Monitors ----

TEST(Monitors, MakerFromUdevsPnpVendorTable) {
  std::ifstream in(std::string(PCINFO_TEST_DATA) + "/edid/Digital_Dell_DEL40A6_D301AE358F74.bin", std::ios::binary);
  std::stringstream edid;
  edid << in.rdbuf();
  ASSERT_GE(edid.str().size(), 128u);
  TempTree tree({{"/sys/class/drm/card0/card0-DP-1/status", "connected\n"},
                 {"/sys/class/drm/card0/card0-DP-1/edid", edid.str()},
                 {"/usr/lib/udev/hwdb.d/20-acpi-vendor.hwdb",
                  "# This file is part of systemd.\n\nacpi:DELL*:\n ID_VENDOR_FROM_DATABASE=Dell, Inc.\n\n"
                  "acpi:DEL*:\n ID_VENDOR_FROM_DATABASE=Dell Inc.\n"}});
  auto monitors = tree.All("Win32_DesktopMonitor");
  ASSERT_EQ(monitors.size(), 1u);
  EXPECT_PROP(monitors[0], "MonitorManufacturer", "Dell Inc.");  // not "DEL", nor the DELL entry
}

}  // namespace
