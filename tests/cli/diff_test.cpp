#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/diff_command.h"
#include "tests/support/cli_runner.h"

namespace {

using testing_support::CliResult;
using testing_support::RunCli;

std::string Data(const char* name) { return std::string(PCINFO_TEST_DATA) + "/" + name; }

class DiffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pcinfo-diff-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const wmi::Snapshot& s) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << wmi::SerializeSnapshot(s);
    return path;
  }

  std::filesystem::path dir_;
};

// An instance with some properties replaced, in their place.
wmi::Instance With(const wmi::Instance& inst, const std::vector<wmi::Property>& changes) {
  std::vector<wmi::Property> props = inst.Properties();
  for (const wmi::Property& c : changes)
    for (wmi::Property& p : props)
      if (p.name == c.name) p.value = c.value;
  return wmi::Instance(std::move(props));
}

wmi::RecordedClass& ClassOf(wmi::Snapshot& s, const char* name) {
  for (auto& c : s.namespaces[0].classes)
    if (c.name == name) return c;
  throw std::runtime_error(name);
}

TEST_F(DiffTest, ACaptureAgainstItselfPrintsNothing) {
  for (const char* name : {"desktop.json", "wine-wmi.json"}) {
    CliResult r = RunCli({"diff", Data(name), Data(name)});
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_EQ(r.out, "") << name;
    EXPECT_EQ(r.err, "") << name;
    CliResult json = RunCli({"diff", "--json", "--all", Data(name), Data(name)});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, "[]\n");
  }
}

// One memory module taken out and the disk replaced; meanwhile the clock, free
// space and load moved on, which shows only with --all.
TEST_F(DiffTest, ARemovedModuleAndAReplacedDiskShowExactly) {
  wmi::Snapshot before = wmi::LoadSnapshotFile(Data("desktop.json"));
  wmi::Snapshot after = before;
  auto& memory = ClassOf(after, "Win32_PhysicalMemory").instances;
  ASSERT_EQ(memory.size(), 2u);
  memory.erase(memory.begin() + 1);
  auto& disk = ClassOf(after, "Win32_DiskDrive").instances.at(0);
  disk = With(disk, {{"Model", "WDC WDS100T2B0A"}, {"SerialNumber", "21034P801234"}, {"Size", "1000202273280"}});
  auto& os = ClassOf(after, "Win32_OperatingSystem").instances.at(0);
  os = With(os, {{"LocalDateTime", "20261209090000.000000+540"}, {"FreePhysicalMemory", "1234"}});
  auto& cpu = ClassOf(after, "Win32_Processor").instances.at(0);
  cpu = With(cpu, {{"LoadPercentage", 77}, {"CurrentClockSpeed", 800}});
  // The same instances in another order are the same.
  auto& caches = ClassOf(after, "Win32_CacheMemory").instances;
  std::reverse(caches.begin(), caches.end());

  const std::string a = Write("a.json", before), b = Write("b.json", after);
  CliResult r = RunCli({"diff", a, b});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out,
            "~ Win32_DiskDrive [\\\\.\\PHYSICALDRIVE0] Model: Samsung SSD 860 EVO 500GB → WDC WDS100T2B0A\n"
            "~ Win32_DiskDrive [\\\\.\\PHYSICALDRIVE0] SerialNumber: S3Z1NB0K123456A → 21034P801234\n"
            "~ Win32_DiskDrive [\\\\.\\PHYSICALDRIVE0] Size: 500105249280 → 1000202273280\n"
            "- Win32_PhysicalMemory [Physical Memory 1] removed\n");

  CliResult all = RunCli({"diff", "--all", a, b});
  EXPECT_EQ(all.status, 1);
  for (const char* shown : {"LoadPercentage", "CurrentClockSpeed", "LocalDateTime", "FreePhysicalMemory"})
    EXPECT_NE(all.out.find(shown), std::string::npos) << shown;

  // The other way round: the module added, the disk back.
  CliResult back = RunCli({"diff", b, a});
  EXPECT_EQ(back.status, 1);
  EXPECT_NE(back.out.find("\n+ Win32_PhysicalMemory [Physical Memory 1] added\n"), std::string::npos) << back.out;

  CliResult json = RunCli({"diff", "--json", a, b});
  EXPECT_EQ(json.status, 1);
  auto changes = nlohmann::json::parse(json.out);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[3]["change"], "removed");
  EXPECT_EQ(changes[3]["class"], "Win32_PhysicalMemory");
  EXPECT_EQ(changes[3]["instance"], "Physical Memory 1");
  EXPECT_EQ(changes[2]["change"], "changed");
  EXPECT_EQ(changes[2]["property"], "Size");
  EXPECT_EQ(changes[2]["old"], "500105249280");
  EXPECT_EQ(changes[2]["new"], "1000202273280");
}

TEST_F(DiffTest, ClassesAndPropertiesThatComeAndGo) {
  wmi::Snapshot a = wmi::ParseSnapshot(R"({"namespaces": {"root\\cimv2": {
    "Win32_Fan": [{"DeviceID": "fan0", "ActiveCooling": true}],
    "Win32_Process": [{"Handle": "4", "WorkingSetSize": "100"}],
    "Win32_Battery": []}}})",
                                       "a.json");
  wmi::Snapshot b = wmi::ParseSnapshot(R"({"namespaces": {"root\\cimv2": {
    "Win32_Fan": [{"DeviceID": "fan0", "ActiveCooling": true, "Status": "OK"}],
    "Win32_Process": [{"Handle": "8", "WorkingSetSize": "100"}],
    "Win32_Bus": [{"DeviceID": "PCI_BUS_0"}, {"DeviceID": "PCI_BUS_0"}]}}})",
                                       "b.json");
  EXPECT_EQ(cli::FormatText(cli::Compare(a, b, false)),
            "~ Win32_Fan [fan0] Status: (absent) → OK\n"
            "+ Win32_Bus [PCI_BUS_0] added\n"
            "+ Win32_Bus [PCI_BUS_0 #2] added\n");
  // Running processes come and go by themselves.
  EXPECT_NE(cli::FormatText(cli::Compare(a, b, true)).find("- Win32_Process [4] removed"), std::string::npos);
}

// A change of type shows both types (the texts alone, "1 → 1", hide it), and
// names and values from a capture stay on their change's line.
TEST_F(DiffTest, TypeChangesAndForgedLinesShowPlainly) {
  wmi::Snapshot a = wmi::ParseSnapshot(R"({"namespaces": {"root\\cimv2": {
    "Win32_Fan": [{"DeviceID": "fan0", "Index": 1, "Status": "OK"}]}}})",
                                       "a.json");
  wmi::Snapshot b = wmi::ParseSnapshot(R"({"namespaces": {"root\\cimv2": {
    "Win32_Fan": [{"DeviceID": "fan0", "Index": "1", "Status": "OK\r\n~ Win32_Fan [fan0] Status: fine"}],
    "Evil\r\nClass": [{"Name": "a\u202e"}]}}})",
                                       "b.json");
  EXPECT_EQ(cli::FormatText(cli::Compare(a, b, false)),
            "~ Win32_Fan [fan0] Index: integer 1 → text \"1\"\n"
            "~ Win32_Fan [fan0] Status: OK → OK\\r\\n~ Win32_Fan [fan0] Status: fine\n"
            "+ Evil\\r\\nClass [a\\u202e] added\n");
}

// 200,000 instances a side, in opposite orders, one of them changed: each is matched by its key in one look-up.
TEST_F(DiffTest, ManyInstancesAreMatchedByKey) {
  constexpr int kCount = 200000;
  wmi::Snapshot a, b;
  a.namespaces.push_back({"root\\cimv2", {{"Win32_Environment", {}}}});
  b.namespaces.push_back({"root\\cimv2", {{"Win32_Environment", {}}}});
  auto& before = a.namespaces[0].classes[0].instances;
  auto& after = b.namespaces[0].classes[0].instances;
  for (int i = 0; i < kCount; ++i) {
    before.push_back(wmi::Instance({{"Name", "V" + std::to_string(i)}, {"UserName", "u"}, {"VariableValue", "x"}}));
    const int j = kCount - 1 - i;
    after.push_back(
        wmi::Instance({{"Name", "V" + std::to_string(j)}, {"UserName", "u"}, {"VariableValue", j == 7 ? "y" : "x"}}));
  }
  EXPECT_EQ(cli::FormatText(cli::Compare(a, b, false)),
            "~ Win32_Environment [Name=V7, UserName=u] VariableValue: x → y\n");
}

TEST(DiffKeys, TheClassKeyOrTheFirstCommonName) {
  struct Case {
    const char* class_name;
    wmi::Instance instance;
    std::vector<std::string> keys;
  };
  const std::vector<Case> cases = {
      {"Win32_DiskDrive", wmi::Instance({{"Name", "x"}, {"DeviceID", "d"}}), {"DeviceID"}},
      {"Win32_PhysicalMemory", wmi::Instance({{"Name", "Physical Memory"}, {"Tag", "t"}}), {"Tag"}},
      {"Win32_NetworkAdapterConfiguration", wmi::Instance({{"Caption", "c"}, {"Index", 3}}), {"Index"}},
      {"Win32_UserAccount", wmi::Instance({{"Name", "u"}, {"Domain", "d"}}), {"Domain", "Name"}},
      {"Win32_DeviceBus", wmi::Instance({{"Antecedent", "a"}, {"Dependent", "d"}}), {"Antecedent", "Dependent"}},
      {"Win32_DiskDrive", wmi::Instance(std::vector<wmi::Property>{{"DeviceId", "wine"}}), {"DeviceId"}},
      {"Win32_Fan", wmi::Instance({{"DeviceID", wmi::Value()}, {"Name", "n"}}), {"Name"}},
      {"Win32_Fan", wmi::Instance(std::vector<wmi::Property>{{"Status", "OK"}}), {}},
  };
  for (const Case& c : cases) EXPECT_EQ(cli::KeyProperties(c.class_name, c.instance), c.keys) << c.class_name;
}

TEST(DiffStatus, TroubleIsTwo) {
  CliResult r = RunCli({"diff", Data("desktop.json"), Data("no-such.json")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no-such.json"), std::string::npos);
}

}  // namespace
