// The Linux backend on hostile trees: numbers past every range, files past
// every size cap, and device strings holding control characters. Each case
// writes the one odd file into a small tree and shows what the value becomes:
// Null where a number is out of range (never a wrapped one), every real line
// of a long file read, control characters replaced.
#include <limits>
#include <sstream>

#include "tests/wmi/linux/temp_tree.h"
#include "wmi/linux/checked.h"

namespace {

using Files = std::map<std::string, std::string>;
using lxtest::TempTree;

const std::string kCpuinfo =
    "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 142\n"
    "stepping\t: 12\nmodel name\t: Test CPU\n";
const std::string kCache = "/sys/devices/system/cpu/cpu0/cache/index0/";
const std::string kLiveEth0 =
    R"({"now": 1700000000, "interfaces": [{"name": "eth0", "family": "inet", "address": "192.0.2.2", "prefix": 24}]})";

struct NumberCase {
  const char* name;
  Files files;
  const char* cls;
  const char* property;
  wmi::Value expected;
};

std::ostream& operator<<(std::ostream& os, const NumberCase& c) { return os << c.name; }

class OutOfRange : public ::testing::TestWithParam<NumberCase> {};

TEST_P(OutOfRange, GivesNullNeverAWrappedValue) {
  const NumberCase& c = GetParam();
  TempTree tree(c.files);
  auto all = tree.All(c.cls);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].Get(c.property), c.expected) << wmi::Describe(all[0].Get(c.property));
}

INSTANTIATE_TEST_SUITE_P(
    KernelFiles, OutOfRange,
    ::testing::Values(
        // A cache shared by the cpus near INT64_MAX: the range is refused, not walked (it looped forever).
        NumberCase{"SharedCpuListNearInt64Max",
                   {{"/proc/cpuinfo", kCpuinfo},
                    {kCache + "level", "1\n"},
                    {kCache + "type", "Data\n"},
                    {kCache + "size", "32K\n"},
                    {kCache + "shared_cpu_list", "0x7ffffffffffffff0-0x7fffffffffffffff\n"}},
                   "Win32_CacheMemory",
                   "InstalledSize",
                   wmi::Value(32)},
        NumberCase{
            "CacheSizeTimes1024Overflows",
            {{kCache + "level", "2\n"}, {kCache + "type", "Unified\n"}, {kCache + "size", "9007199254740993M\n"}},
            "Win32_CacheMemory",
            "InstalledSize",
            wmi::Value()},
        NumberCase{"CpufreqNearInt64Max",
                   {{"/proc/cpuinfo", kCpuinfo},
                    {"/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq", "9223372036854775807\n"}},
                   "Win32_Processor",
                   "CurrentClockSpeed",
                   wmi::Value()},
        NumberCase{
            "CpufreqInRangeRoundsToMhz",
            {{"/proc/cpuinfo", kCpuinfo}, {"/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq", "2304500\n"}},
            "Win32_Processor",
            "CurrentClockSpeed",
            wmi::Value(2305)},
        NumberCase{"CpuMhzNan",
                   {{"/proc/cpuinfo", kCpuinfo + "cpu MHz\t\t: nan\n"}},
                   "Win32_Processor",
                   "CurrentClockSpeed",
                   wmi::Value()},
        NumberCase{"CpuMhzHuge",
                   {{"/proc/cpuinfo", kCpuinfo + "cpu MHz\t\t: 1e300\n"}},
                   "Win32_Processor",
                   "CurrentClockSpeed",
                   wmi::Value()},
        NumberCase{"CpuMhzRounded",
                   {{"/proc/cpuinfo", kCpuinfo + "cpu MHz\t\t: 2595.124\n"}},
                   "Win32_Processor",
                   "CurrentClockSpeed",
                   wmi::Value(2595)},
        NumberCase{"ModelPastEveryRange",
                   {{"/proc/cpuinfo", kCpuinfo + "model\t: 9223372036854775807\n"}},
                   "Win32_Processor",
                   "Level",
                   wmi::Value(6)},
        NumberCase{"KeepAliveTimesThousandOverflows",
                   {{"/sys/class/net/eth0/ifindex", "2\n"},
                    {"/proc/sys/net/ipv4/tcp_keepalive_time", "9223372036854775807\n"},
                    {"/live.json", kLiveEth0}},
                   "Win32_NetworkAdapterConfiguration",
                   "KeepAliveTime",
                   wmi::Value()},
        NumberCase{"KeepAliveTimePastUint32",
                   {{"/sys/class/net/eth0/ifindex", "2\n"},
                    {"/proc/sys/net/ipv4/tcp_keepalive_time", "4294968\n"},
                    {"/live.json", kLiveEth0}},
                   "Win32_NetworkAdapterConfiguration",
                   "KeepAliveTime",
                   wmi::Value()},
        NumberCase{"MtuPastUint32",
                   {{"/sys/class/net/eth0/ifindex", "2\n"},
                    {"/sys/class/net/eth0/mtu", "4294967296\n"},
                    {"/live.json", kLiveEth0}},
                   "Win32_NetworkAdapterConfiguration",
                   "MTU",
                   wmi::Value()},
        NumberCase{
            "MtuNegative",
            {{"/sys/class/net/eth0/ifindex", "2\n"}, {"/sys/class/net/eth0/mtu", "-1\n"}, {"/live.json", kLiveEth0}},
            "Win32_NetworkAdapterConfiguration",
            "MTU",
            wmi::Value()},
        NumberCase{"LinkSpeedTimesMillionOverflows",
                   {{"/sys/class/net/eth0/ifindex", "2\n"}, {"/sys/class/net/eth0/speed", "18446744073710\n"}},
                   "Win32_NetworkAdapter",
                   "Speed",
                   wmi::Value()},
        NumberCase{"BootTimePastTheCalendar",
                   {{"/proc/stat", "cpu 1 2 3\nbtime 99999999999999999\n"}},
                   "Win32_OperatingSystem",
                   "LastBootUpTime",
                   wmi::Value()},
        NumberCase{"BootTimeNearInt64Max",
                   {{"/proc/stat", "btime 9223372036854775807\n"}},
                   "Win32_OperatingSystem",
                   "LastBootUpTime",
                   wmi::Value()},
        NumberCase{"UptimeNegative",
                   {{"/proc/uptime", "-9223372036854775808.00 1.00\n"}, {"/live.json", "{}"}},
                   "Win32_OperatingSystem",
                   "LastBootUpTime",
                   wmi::Value()},
        NumberCase{"BootTimeInTheCalendar",
                   {{"/proc/stat", "btime 1700000000\n"}},
                   "Win32_OperatingSystem",
                   "LastBootUpTime",
                   wmi::Value("20231114221320.000000+000")},
        NumberCase{"SessionStartPastTheCalendar",
                   {{"/run/systemd/sessions/3", "REALTIME=9223372036854775807\n"}},
                   "Win32_LogonSession",
                   "StartTime",
                   wmi::Value()}),
    [](const auto& info) { return std::string(info.param.name); });

// mountinfo of a host with tens of thousands of mounts: past the old 4 MB cap, the last one still counts.
TEST(LongFiles, MountinfoPastFourMegabytesKeepsEveryMount) {
  std::ostringstream mountinfo;
  for (int i = 0; i < 40000; ++i)
    mountinfo << 100 + i << " 1 0:" << 50 + i << " / /run/containers/c" << i
              << "/shm rw,nosuid,nodev,noexec,relatime shared:1 - tmpfs shm rw,size=65536k\n";
  mountinfo << "99 1 8:1 / /data rw,relatime shared:2 - ext4 /dev/sdz1 rw\n";
  ASSERT_GT(mountinfo.str().size(), 4u << 20);
  TempTree tree({{"/proc/self/mountinfo", mountinfo.str()}});
  auto disks = tree.All("Win32_LogicalDisk");
  ASSERT_EQ(disks.size(), 1u);
  EXPECT_PROP(disks[0], "DeviceID", "/data");
  EXPECT_PROP(disks[0], "FileSystem", "ext4");
}

TEST(LongFiles, InterruptsPastFourMegabytesKeepsTheLastLine) {
  std::ostringstream interrupts;
  interrupts << "           CPU0\n";
  std::string padding(200, ' ');
  for (int i = 0; i < 30000; ++i) interrupts << " " << 1000 + i << ":  0" << padding << "PCI-MSI 1-edge q" << i << "\n";
  interrupts << "  4:  7  IO-APIC   4-edge      ttyS0\n";
  ASSERT_GT(interrupts.str().size(), 4u << 20);
  TempTree tree({{"/proc/interrupts", interrupts.str()}});
  auto irqs = tree.All("Win32_IRQResource");
  ASSERT_EQ(irqs.size(), 30001u);
  EXPECT_PROP(irqs.back(), "Description", "ttyS0");
}

// Strings from devices and the kernel: one line each, whatever bytes the device wrote.
struct TextCase {
  const char* name;
  Files files;
  const char* cls;
  const char* property;
  const char* expected;
};

std::ostream& operator<<(std::ostream& os, const TextCase& c) { return os << c.name; }

class ControlCharacters : public ::testing::TestWithParam<TextCase> {};

TEST_P(ControlCharacters, AreReplacedInTheValue) {
  const TextCase& c = GetParam();
  TempTree tree(c.files);
  auto all = tree.All(c.cls);
  ASSERT_FALSE(all.empty());
  bool found = false;
  for (const wmi::Instance& i : all) {
    const wmi::Value& v = i.Get(c.property);
    if (v.kind() != wmi::Value::Kind::Text) continue;
    EXPECT_FALSE(wmi::lx::HasControl(v.text())) << v.text();
    if (v.text() == c.expected) found = true;
  }
  EXPECT_TRUE(found) << c.property << " is never " << c.expected;
}

const std::string kUsb = "/sys/bus/usb/devices/1-1/";

INSTANTIATE_TEST_SUITE_P(
    Devices, ControlCharacters,
    ::testing::Values(TextCase{"UsbProductWithCarriageReturn",
                               {{kUsb + "idVendor", "046d\n"},
                                {kUsb + "idProduct", "c52b\n"},
                                {kUsb + "product", std::string("Mouse\rProduct: EVIL\n")}},
                               "Win32_PnPEntity",
                               "Name",
                               "Mouse?Product: EVIL"},
                      TextCase{"UsbManufacturerWithEscapeSequence",
                               {{kUsb + "idVendor", "046d\n"},
                                {kUsb + "idProduct", "c52b\n"},
                                {kUsb + "manufacturer", "\x1b[2J\x1b]0;owned\x07Logitech\n"}},
                               "Win32_PnPEntity",
                               "Manufacturer",
                               "?[2J?]0;owned?Logitech"},
                      TextCase{"UsbProductWithNulAndC1",
                               {{kUsb + "idVendor", "046d\n"},
                                {kUsb + "idProduct", "c52b\n"},
                                {kUsb + "product", std::string("Key\0board\xc2\x9b"
                                                               "31m\n",
                                                               16)}},
                               "Win32_PnPEntity",
                               "Name",
                               "Key?board?31m"},
                      TextCase{"InterfaceNameWithEscape",
                               {{"/sys/class/net/eth\x1b[31m/ifindex", "2\n"}},
                               "Win32_NetworkAdapter",
                               "NetConnectionID",
                               "eth?[31m"},
                      TextCase{
                          "MountPointWithNewline",
                          {{"/proc/self/mountinfo", "99 1 8:1 / /mnt/a\\012Name:\\040evil rw - ext4 /dev/sdz1 rw\n"}},
                          "Win32_LogicalDisk",
                          "DeviceID",
                          "/mnt/a?Name: evil"},
                      TextCase{"DiskModelWithTab",
                               {{"/sys/block/sda/size", "1000\n"}, {"/sys/block/sda/device/model", "Fast\tDisk\x7f\n"}},
                               "Win32_DiskDrive",
                               "Model",
                               "Fast Disk?"},
                      TextCase{"OsNameWithEscape",
                               {{"/etc/os-release", "PRETTY_NAME=\"Debian\x1b[5m\"\n"}},
                               "Win32_OperatingSystem",
                               "Caption",
                               "Debian?[5m"},
                      TextCase{"CpuModelNameWithBell",
                               {{"/proc/cpuinfo", "processor\t: 0\nmodel name\t: Fast\x07 CPU\n"}},
                               "Win32_Processor",
                               "Name",
                               "Fast? CPU"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CleanText, ReplacesControlsAndKeepsEveryOtherCharacter) {
  struct Row {
    std::string in, out;
  };
  for (const Row& r : std::vector<Row>{{"plain", "plain"},
                                       {"a\tb", "a b"},
                                       {"a\r\nb", "a??b"},
                                       {std::string("a\0b", 3), "a?b"},
                                       {"\x1b[0m", "?[0m"},
                                       {"\x7f", "?"},
                                       {"\xc2\x9b"
                                        "1m",
                                        "?1m"},                                                   // CSI as UTF-8 C1
                                       {"\xc2\xa0\xc3\xa9", "\xc2\xa0\xc3\xa9"},                  // NBSP, é: printable
                                       {"\xe6\x97\xa5\xe6\x9c\xac", "\xe6\x97\xa5\xe6\x9c\xac"},  // 日本
                                       {"\xc2", "\xc2"},                                          // a lone lead byte
                                       {"a\xe2\x80\xa8"
                                        "b\xe2\x80\xae\xe2\x81\xa6",
                                        "a?b??"}})  // U+2028, U+202E, U+2066
    EXPECT_EQ(wmi::lx::CleanText(r.in), r.out) << r.in;
}

TEST(CheckedNumbers, OverflowGivesNullopt) {
  using wmi::lx::OptInt;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(wmi::lx::Mul(kMax, 2), std::nullopt);
  EXPECT_EQ(wmi::lx::Mul(kMax / 1024, 1024), OptInt(kMax / 1024 * 1024));
  EXPECT_EQ(wmi::lx::Add(kMax, 1), std::nullopt);
  EXPECT_EQ(wmi::lx::Sub(kMin, 1), std::nullopt);
  EXPECT_EQ(wmi::lx::Sub(5, std::nullopt), std::nullopt);
  EXPECT_EQ(wmi::lx::MulU(UINT64_MAX / 2, 3), std::nullopt);
  EXPECT_EQ(wmi::lx::AddU(UINT64_MAX, 1), std::nullopt);
  EXPECT_EQ(wmi::lx::DivRound(kMax, 1000), OptInt(9223372036854776));
  EXPECT_EQ(wmi::lx::DivRound(1500, 1000), OptInt(2));
  EXPECT_EQ(wmi::lx::DivRound(1499, 1000), OptInt(1));
  EXPECT_EQ(wmi::lx::DivRound(-1500, 1000), OptInt(-2));
  EXPECT_EQ(wmi::lx::DivRound(kMin, -1), std::nullopt);
  EXPECT_EQ(wmi::lx::InRange(5, 0, 4), std::nullopt);
  EXPECT_EQ(wmi::lx::ParseIntIn("4294967295", 0, UINT32_MAX), OptInt(4294967295));
  EXPECT_EQ(wmi::lx::ParseIntIn("4294967296", 0, UINT32_MAX), std::nullopt);
  EXPECT_EQ(wmi::lx::ParseIntIn("99999999999999999999", 0, kMax), std::nullopt);
  for (const char* bad : {"nan", "-nan", "inf", "Infinity", "0x1p3", "", "1.2.3", "9.3e18", "-9.3e18", "1e400"})
    EXPECT_EQ(wmi::lx::ParseRounded(bad), std::nullopt) << bad;
  EXPECT_EQ(wmi::lx::ParseRounded("2596.000"), OptInt(2596));
  EXPECT_EQ(wmi::lx::ParseRounded(" 2595.5 "), OptInt(2596));
  EXPECT_EQ(wmi::lx::ParseRounded("-1.5"), OptInt(-2));
}

}  // namespace
