#include "queries/summary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "queries/value_names.h"
#include "tests/support/golden.h"
#include "tests/support/test_host.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/wql.h"

namespace {

using queries::Language;
using testing_support::Dashes;
using testing_support::Lines;
using testing_support::TestHost;
using Strings = std::vector<std::string>;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The summary of each sample capture, in both languages, as the pane shows it.
TEST(SummaryGolden, TheSampleCapturesInEnglishAndJapanese) {
  for (const char* capture : {"desktop", "wine-wmi", "wine-check"}) {
    for (auto [language, suffix] : {std::pair{Language::English, "en"}, std::pair{Language::Japanese, "ja"}}) {
      TestHost host(Slurp(std::string(PCINFO_TEST_DATA) + "/" + capture + ".json"));
      queries::RunSummary(host, language);
      testing_support::ExpectMatchesGolden(std::string("queries/summary/") + capture + "." + suffix + ".txt",
                                           host.text());
    }
  }
}

// Win32_ComputerSystem and its product, where the backend answers them, come
// before the board and the firmware; a domain member names its domain.
TEST(Summary, TheComputerSystemWinsOverTheFallbacksAndPlaceholdersAreLeftOut) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {
    "Win32_ComputerSystem": [{"Name": "PC-7", "Domain": "corp.example", "PartOfDomain": true,
       "Manufacturer": "LENOVO", "Model": "20L5CTO1WW", "SystemType": "x64-based PC", "PCSystemType": 2, "TotalPhysicalMemory": "8221343744"}],
    "Win32_ComputerSystemProduct": [{"IdentifyingNumber": "PF1ABCDE", "Vendor": "LENOVO", "Name": "20L5CTO1WW"}],
    "Win32_OperatingSystem": [{"CSName": "OTHER"}],
    "Win32_BaseBoard": [{"Manufacturer": "Board Maker", "Product": "Board", "SerialNumber": "To Be Filled By O.E.M."}],
    "Win32_BIOS": [{"SerialNumber": "Default string"}],
    "Win32_Processor": [{"Architecture": 9}]}}})");
  queries::RunSummary(host, Language::English);
  EXPECT_EQ(Lines(host.text()), (Strings{"Summary" + Dashes(90), "Computer name: PC-7", "Domain: corp.example",
                                         "Manufacturer: LENOVO", "Model: 20L5CTO1WW", "Serial number: PF1ABCDE",
                                         "System type: x64-based PC", "Chassis: Mobile", "Usable memory: 7.7 GB"}));
  EXPECT_EQ(host.text_pane().scrolls(), 1);
}

// A machine that answers nothing gives the header alone; auto-clear clears first.
TEST(Summary, NothingAnsweredGivesTheHeaderAloneAfterAutoClear) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {}}})", 1);
  host.pane().AppendMessage("old");
  queries::RunSummary(host, Language::Japanese);
  EXPECT_EQ(host.text(), "概要" + Dashes(90) + "\r\n");
}

// Where Win32_Battery leaves the capacities empty, as Windows often does, the
// battery driver's classes in root\wmi give them.
TEST(Summary, BatteryCapacitiesComeFromRootWmiWhereWin32BatteryHasNone) {
  TestHost host(R"({"namespaces": {
    "root\\cimv2": {"Win32_Battery": [{"DeviceID": "1", "DesignCapacity": null, "FullChargeCapacity": null}]},
    "root\\wmi": {"BatteryStaticData": [{"InstanceName": "ACPI\\PNP0C0A\\1_0", "DesignedCapacity": 83995}],
                  "BatteryFullChargedCapacity": [{"InstanceName": "ACPI\\PNP0C0A\\1_0", "FullChargedCapacity": 53398}]}}})");
  queries::RunSummary(host, Language::Japanese);
  EXPECT_EQ(Lines(host.text()).back(), "バッテリー: 設計容量 84.0 Wh, フル充電容量 53.4 Wh, 状態 64%");
}

// A recorded machine that notes the class of every query it is asked.
class CountingProvider : public wmi::RecordedProvider {
 public:
  using RecordedProvider::RecordedProvider;
  std::vector<std::string> classes;

 protected:
  std::unique_ptr<wmi::Connection> ConnectNamespace(const std::string& ns) override {
    class Counting : public wmi::Connection {
     public:
      Counting(std::unique_ptr<wmi::Connection> inner, std::vector<std::string>& classes)
          : inner_(std::move(inner)), classes_(classes) {}
      std::unique_ptr<wmi::ResultSet> ExecQuery(std::string_view query, int flags) override {
        classes_.push_back(wmi::ParseWql(query).class_name);
        return inner_->ExecQuery(query, flags);
      }
      std::unique_ptr<wmi::ResultSet> InstancesOf(std::string_view name, int flags) override {
        classes_.emplace_back(name);
        return inner_->InstancesOf(name, flags);
      }

     private:
      std::unique_ptr<wmi::Connection> inner_;
      std::vector<std::string>& classes_;
    };
    return std::make_unique<Counting>(RecordedProvider::ConnectNamespace(ns), classes);
  }
};

// The summary asks for each class it names once, and for no other.
TEST(Summary, ReadsEachOfItsClassesOnceAndNoOther) {
  CountingProvider provider(std::make_shared<const wmi::Snapshot>(
      wmi::ParseSnapshot(Slurp(std::string(PCINFO_TEST_DATA) + "/desktop.json"), "desktop.json")));
  queries::BuildSummary(provider, Language::English);
  const Strings expected(queries::SummaryClasses().begin(), queries::SummaryClasses().end());
  EXPECT_EQ(provider.classes, expected);
}

// Every table is a documented value map: codes ascending and unique, a word in
// both languages, and the look-up finds each by class and property in any case.
TEST(ValueNames, EveryMapDecodesItsCodesInBothLanguages) {
  for (const queries::ValueMap& map : queries::ValueMaps()) {
    std::int64_t last = -1;
    for (const queries::ValueName& n : map.names) {
      EXPECT_GT(n.code, last) << map.class_name << "." << map.property;
      last = n.code;
      EXPECT_FALSE(n.english.empty() || n.japanese.empty());
      EXPECT_EQ(queries::ValueNameOf(map.class_name, map.property, n.code), n.english);
    }
  }
  EXPECT_EQ(queries::ValueNameOf("win32_systemenclosure", "chassistypes", 10, Language::Japanese), "ノートPC");
  EXPECT_EQ(queries::ValueNameOf("Win32_PhysicalMemory", "MemoryType", 23), std::nullopt);  // not in the map
  EXPECT_EQ(queries::ValueNameOf("Win32_Fan", "ActiveCooling", 1), std::nullopt);
}

}  // namespace
