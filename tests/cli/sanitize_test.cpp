#include "cli/sanitize.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "tests/support/cli_runner.h"
#include "tests/support/test_host.h"
#include "wmi/provider.h"

namespace {

bool Listed(const std::string& class_name, const std::string& property) {
  for (std::string_view entry : cli::SanitizedProperties()) {
    auto dot = entry.find('.');
    if (dot == std::string_view::npos ? wmi::EqualsIgnoreCase(entry, property)
                                      : wmi::EqualsIgnoreCase(entry.substr(0, dot), class_name) &&
                                            wmi::EqualsIgnoreCase(entry.substr(dot + 1), property))
      return true;
  }
  return false;
}

void CollectText(const wmi::Value& v, std::set<std::string>& out) {
  if (v.kind() == wmi::Value::Kind::Text && !v.text().empty()) out.insert(v.text());
  if (v.kind() == wmi::Value::Kind::Integer) out.insert(std::to_string(v.integer()));
  if (v.is_array())
    for (const wmi::Value& e : v.elements()) CollectText(e, out);
}

// Every text (and number as text) held anywhere in the snapshot.
std::vector<std::string> AllTexts(const wmi::Snapshot& s) {
  std::set<std::string> texts;
  for (const auto& ns : s.namespaces)
    for (const auto& c : ns.classes)
      for (const auto& inst : c.instances)
        for (const auto& p : inst.Properties()) CollectText(p.value, texts);
  return {texts.begin(), texts.end()};
}

const wmi::Value& ValueOf(const wmi::Snapshot& s, const char* cls, int index, const char* property) {
  return s.FindClass("root\\cimv2", cls)->instances.at(index).Get(property);
}

class SampleSnapshots : public ::testing::TestWithParam<const char*> {};

// No original value of a listed property survives: not as the value of a
// listed property, and (four characters or more) not inside any text at all.
TEST_P(SampleSnapshots, NoOriginalValueOfTheListedPropertiesSurvives) {
  const std::string path = std::string(PCINFO_TEST_DATA) + "/" + GetParam();
  wmi::Snapshot original = wmi::LoadSnapshotFile(path);
  std::set<std::string> secrets;
  for (const auto& ns : original.namespaces)
    for (const auto& c : ns.classes)
      for (const auto& inst : c.instances)
        for (const auto& p : inst.Properties())
          if (Listed(c.name, p.name)) CollectText(p.value, secrets);
  ASSERT_GE(secrets.size(), 5u) << "the sample holds too little to test";

  // Through the command, as a user would make it.
  testing_support::CliResult r = testing_support::RunCli({"--from", path, "snapshot", "--sanitize"});
  ASSERT_EQ(r.status, 0) << r.err;
  wmi::Snapshot sanitized = wmi::ParseSnapshot(r.out, "sanitized.json");
  const std::vector<std::string> texts = AllTexts(sanitized);
  std::set<std::string> listed;
  for (const auto& ns : sanitized.namespaces)
    for (const auto& c : ns.classes)
      for (const auto& inst : c.instances)
        for (const auto& p : inst.Properties())
          if (Listed(c.name, p.name)) CollectText(p.value, listed);
  for (const std::string& secret : secrets) {
    EXPECT_EQ(listed.count(secret), 0u) << secret << " survives";
    if (secret.size() < 4) continue;
    for (const std::string& text : texts)
      EXPECT_EQ(text.find(secret), std::string::npos) << secret << " survives in " << text;
  }
}

// The sanitized capture replays like any other.
TEST_P(SampleSnapshots, TheSanitizedCaptureReplays) {
  const std::string path = std::string(PCINFO_TEST_DATA) + "/" + GetParam();
  testing_support::CliResult r = testing_support::RunCli({"--from", path, "snapshot", "--sanitize"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto file = std::filesystem::temp_directory_path() / ("pcinfo-sanitized-" + std::to_string(::getpid()));
  std::ofstream(file, std::ios::binary) << r.out;
  testing_support::CliResult all = testing_support::RunCli({"--from", file.string(), "all"});
  std::filesystem::remove(file);
  EXPECT_EQ(all.status, 0) << all.err;
  int headers = 0;
  for (const auto& line : testing_support::Lines(all.out)) headers += line.ends_with(std::string(90, '-'));
  EXPECT_EQ(headers, 60);
}

INSTANTIATE_TEST_SUITE_P(Sanitize, SampleSnapshots, ::testing::Values("desktop.json", "wine-wmi.json"));

TEST(Sanitize, OneValueGetsOneMaskAndTheRestStays) {
  wmi::Snapshot s = wmi::LoadSnapshotFile(std::string(PCINFO_TEST_DATA) + "/desktop.json");
  const wmi::Value cpu_name = ValueOf(s, "Win32_Processor", 0, "Name");
  const wmi::Value capacity = ValueOf(s, "Win32_PhysicalMemory", 0, "Capacity");
  ASSERT_EQ(ValueOf(s, "Win32_Processor", 0, "SystemName"), ValueOf(s, "Win32_OperatingSystem", 0, "CSName"));
  cli::Sanitize(s);
  // The host name, masked alike in both classes, so that they still match.
  EXPECT_EQ(ValueOf(s, "Win32_Processor", 0, "SystemName"), ValueOf(s, "Win32_OperatingSystem", 0, "CSName"));
  EXPECT_NE(ValueOf(s, "Win32_Processor", 0, "SystemName"), wmi::Value("DESKTOP-01"));
  // What identifies nothing stays as it was.
  EXPECT_EQ(ValueOf(s, "Win32_Processor", 0, "Name"), cpu_name);
  EXPECT_EQ(ValueOf(s, "Win32_PhysicalMemory", 0, "Capacity"), capacity);
}

TEST(Sanitize, MasksKeepTheFormOfAddresses) {
  wmi::Snapshot s = wmi::ParseSnapshot(R"({"namespaces": {"root\\cimv2": {
    "Win32_NetworkAdapterConfiguration": [
      {"MACAddress": "76:91:3B:5B:14:92", "IPAddress": ["10.1.2.3", "fe80::7491:3bff:fe5b:1492"],
       "DNSHostName": "office-pc", "IPSubnet": ["255.255.255.0"], "Index": 1, "DHCPEnabled": true},
      {"MACAddress": "76:91:3B:5B:14:92", "IPAddress": null, "DNSHostName": "", "Index": 2}],
    "Win32_UserAccount": [{"Name": "taro", "Caption": "OFFICE-PC\\taro", "SID": "S-1-5-21-1-2-3-1001",
                           "Domain": "OFFICE-PC", "Disabled": false}],
    "Win32_Volume": [{"SerialNumber": 3735928559, "DriveLetter": "C:"}]}}})",
                                       "inline.json");
  cli::Sanitize(s);
  const auto& mac = ValueOf(s, "Win32_NetworkAdapterConfiguration", 0, "MACAddress").text();
  EXPECT_TRUE(std::regex_match(mac, std::regex("02(:[0-9A-F]{2}){5}"))) << mac;
  EXPECT_EQ(ValueOf(s, "Win32_NetworkAdapterConfiguration", 1, "MACAddress").text(), mac);
  const auto& ip = ValueOf(s, "Win32_NetworkAdapterConfiguration", 0, "IPAddress").elements();
  ASSERT_EQ(ip.size(), 2u);
  EXPECT_TRUE(std::regex_match(ip[0].text(), std::regex(R"((192\.0\.2|198\.51\.100|203\.0\.113)\.\d+)")))
      << ip[0].text();
  EXPECT_TRUE(ip[1].text().starts_with("2001:db8::")) << ip[1].text();
  // Not listed, or nothing to mask: as it was.
  EXPECT_EQ(ValueOf(s, "Win32_NetworkAdapterConfiguration", 0, "IPSubnet"),
            wmi::Value(std::vector<wmi::Value>{"255.255.255.0"}));
  EXPECT_EQ(ValueOf(s, "Win32_NetworkAdapterConfiguration", 0, "DHCPEnabled"), wmi::Value(true));
  EXPECT_TRUE(ValueOf(s, "Win32_NetworkAdapterConfiguration", 1, "IPAddress").is_null());
  EXPECT_EQ(ValueOf(s, "Win32_NetworkAdapterConfiguration", 1, "DNSHostName"), wmi::Value(""));
  EXPECT_EQ(ValueOf(s, "Win32_Volume", 0, "DriveLetter"), wmi::Value("C:"));
  // The user's caption is made of the masked domain and user name.
  const std::string domain = ValueOf(s, "Win32_UserAccount", 0, "Domain").text();
  const std::string user = ValueOf(s, "Win32_UserAccount", 0, "Name").text();
  EXPECT_NE(user, "taro");
  EXPECT_EQ(ValueOf(s, "Win32_UserAccount", 0, "Caption").text(), domain + "\\" + user);
  EXPECT_TRUE(std::regex_match(ValueOf(s, "Win32_UserAccount", 0, "SID").text(), std::regex("masked-[0-9a-f]{10}")));
  EXPECT_NE(ValueOf(s, "Win32_Volume", 0, "SerialNumber"), wmi::Value(std::int64_t{3735928559}));
}

// What used to survive sanitizing, each in a capture that carries it.
TEST(Sanitize, NothingThatIdentifiesSurvivesAnywhere) {
  wmi::Snapshot s = wmi::LoadSnapshotFile(std::string(PCINFO_TEST_DATA) + "/sanitize/identifying.json");
  const std::string original = wmi::SerializeSnapshot(s);
  cli::Sanitize(s, "site key of the test office");
  const std::string text = wmi::SerializeSnapshot(s);
  auto lower = [](std::string t) {
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
  };
  // Each secret below is in the capture; none is in the sanitized one, in any case.
  const std::vector<std::string> secrets = {"01A2B3C4",    "4C4C4544-0042", "684CE00000",  "yuki",       "MY STICK",
                                            "PC1",         "secretpw",      "officeuser",  "10.1.2.3",   "Tanaka",
                                            "salary 2026", "Finance",       "DC01",        "3F east",    "Yuki's PC",
                                            "FINANCE-SRV", "AcmeCorp",      "HOLIDAY.JPG", "Backup disk"};
  for (const std::string& secret : secrets) {
    EXPECT_NE(lower(original).find(lower(secret)), std::string::npos) << secret << " is not in the capture";
    EXPECT_EQ(lower(text).find(lower(secret)), std::string::npos) << secret << " survives";
  }
  // Relations still hold: the USB serial, the padded lower-case serial of the
  // disk behind it and the association paths all take one mask.
  const std::string serial = ValueOf(s, "Win32_DiskDrive", 0, "SerialNumber").text();
  EXPECT_TRUE(std::regex_match(serial, std::regex("masked-[0-9a-f]{10}"))) << serial;
  EXPECT_EQ(ValueOf(s, "Win32_PnPEntity", 0, "DeviceID").text(), "USB\\VID_3923&PID_7241\\" + serial);
  EXPECT_EQ(ValueOf(s, "Win32_DiskDrive", 0, "PNPDeviceID").text(),
            "USBSTOR\\DISK&VEN_ACME&PROD_STICK&REV_1.00\\" + serial + "&0");
  EXPECT_EQ(ValueOf(s, "Win32_USBControllerDevice", 0, "Dependent").text(),
            "\\\\" + ValueOf(s, "Win32_OperatingSystem", 0, "CSName").text() +
                "\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_3923&PID_7241\\\\" + serial + "\"");
  // The machine id is masked as the UUID it comes from; what a machine-made
  // instance id holds stays.
  EXPECT_EQ(s.header->machine_id, ValueOf(s, "Win32_ComputerSystemProduct", 0, "UUID").text());
  EXPECT_EQ(ValueOf(s, "Win32_PnPEntity", 1, "DeviceID").text(), "PCI\\VEN_8086&DEV_A36D\\3&11583659&0&A0");
  EXPECT_EQ(ValueOf(s, "Win32_Printer", 0, "Name").text(), "Canon TS8030 series");
}

// Masks are keyed: the same key gives the same masks in every capture, a
// random one masks that link to nothing.
TEST(Sanitize, TheSameKeyGivesTheSameMasks) {
  const auto dir = std::filesystem::temp_directory_path() / ("pcinfo-key-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string key = (dir / "site.key").string(), from = std::string(PCINFO_TEST_DATA) + "/desktop.json";
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"--from", from, "snapshot"};
    args.insert(args.end(), extra.begin(), extra.end());
    testing_support::CliResult r = testing_support::RunCli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  };
  const std::string first = run({"--sanitize-key", key});
  ASSERT_TRUE(std::filesystem::exists(key));
  EXPECT_EQ((std::filesystem::status(key).permissions() & std::filesystem::perms::group_read),
            std::filesystem::perms::none);
  EXPECT_EQ(run({"--sanitize-key", key}), first);
  const std::string unkeyed = run({"--sanitize"});
  EXPECT_NE(unkeyed, run({"--sanitize"}));
  const wmi::Snapshot a = wmi::ParseSnapshot(first, "a"), b = wmi::ParseSnapshot(unkeyed, "b");
  EXPECT_NE(ValueOf(a, "Win32_Processor", 0, "ProcessorId"), ValueOf(b, "Win32_Processor", 0, "ProcessorId"));
  // A capture of a capture keeps every class of every namespace it holds.
  const wmi::Snapshot original = wmi::LoadSnapshotFile(from);
  ASSERT_EQ(a.namespaces.size(), original.namespaces.size());
  for (std::size_t i = 0; i < a.namespaces.size(); ++i)
    EXPECT_EQ(a.namespaces[i].classes.size(), original.namespaces[i].classes.size()) << a.namespaces[i].name;
  std::filesystem::remove_all(dir);
}

}  // namespace
