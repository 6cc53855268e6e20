#include <gtest/gtest.h>

#include <algorithm>

#include "queries/buttons.h"
#include "queries/procedures.h"
#include "queries/property_list.h"
#include "tests/support/golden.h"
#include "tests/support/test_host.h"

namespace {

using queries::PrintForm;
using queries::PropertyList;
using queries::PropertyListOf;
using Strings = std::vector<std::string>;

Strings Labels(const char* control) {
  Strings out;
  for (const auto& e : PropertyListOf(control)) out.push_back(e.label);
  return out;
}

const char* FormName(PrintForm form) {
  switch (form) {
    case PrintForm::Scalar:
      return "scalar";
    case PrintForm::Each:
      return "each";
    case PrintForm::First:
      return "first";
    case PrintForm::Bios:
      return "bios";
  }
  return "?";
}

// Every fixed list as the buttons print it: the button, its caption and entry
// count, then one line per entry: property, print form and quoted label.
TEST(PropertyListsGolden, EveryFixedListEntryByEntry) {
  std::string dump;
  int lists = 0;
  for (const auto& b : queries::Buttons()) {
    PropertyList list = PropertyListOf(b.control);
    const bool fixed =
        b.procedure == queries::Procedure::FixedList || b.procedure == queries::Procedure::FixedListWithOpeningLine;
    EXPECT_EQ(fixed, !list.empty()) << b.control << ": a fixed-list button has a list, no other button has one";
    if (list.empty()) continue;
    ++lists;
    dump += std::string(b.control) + "\t" + std::string(b.caption) + "\t" + std::to_string(list.size()) + " entries\n";
    for (const auto& e : list) dump += "\t" + e.property + "\t" + FormName(e.form) + "\t\"" + e.label + "\"\n";
  }
  EXPECT_EQ(lists, 54);
  testing_support::ExpectMatchesGolden("queries/property_lists.txt", dump);
}

TEST(PropertyLists, LabelsAreNameColonBlankButForTheOneException) {
  for (const auto& b : queries::Buttons()) {
    for (const auto& e : PropertyListOf(b.control)) {
      if (b.control == "Command31" && e.property == "InfFilename") {
        EXPECT_EQ(e.label, "InfFileName: ");
      } else {
        EXPECT_EQ(e.label, e.property + ": ") << b.control;
      }
    }
  }
  // The same property elsewhere keeps its own spelling.
  auto video = PropertyListOf("Command54");
  EXPECT_TRUE(std::any_of(video.begin(), video.end(), [](const auto& e) { return e.label == "InfFilename: "; }));
}

TEST(PropertyLists, ListsDeclaredTheSameAreOneList) {
  const std::vector<std::vector<const char*>> shared = {
      {"Command41", "Command17"},
      {"Command27", "Command15", "Command18", "Command52"},
      {"Command7", "Command55", "Command50"},
      {"Command21", "Command22"},
  };
  for (const auto& group : shared)
    for (const char* c : group) EXPECT_EQ(PropertyListOf(c).data(), PropertyListOf(group[0]).data()) << c;
  // The fan list is the heat-pipe list with DesiredSpeed after Description and VariableSpeed at the end.
  Strings fan = Labels("Command14"), pipe = Labels("Command17");
  fan.erase(std::find(fan.begin(), fan.end(), "DesiredSpeed: "));
  ASSERT_EQ(fan.back(), "VariableSpeed: ");
  fan.pop_back();
  EXPECT_EQ(fan, pipe);
  // The memory address device list is the memory resource list with MemoryType before Name.
  Strings device = Labels("Command9"), resource = Labels("Command47");
  auto type = std::find(device.begin(), device.end(), "MemoryType: ");
  ASSERT_NE(type, device.end());
  EXPECT_EQ(*(type - 1), "InstallDate: ");
  EXPECT_EQ(*(type + 1), "Name: ");
  device.erase(type);
  EXPECT_EQ(device, resource);
}

// The print forms on the instances that show their edge cases.
TEST(PrintForms, EdgeCasesOfEachFirstAndScalarEntries) {
  testing_support::TestHost host(R"({"namespaces": {"root\\cimv2": {
    "Win32_BaseBoard": [{"Caption": "Base Board", "ConfigOptions": ["JP1: clear CMOS", "JP2: boot block"],
                         "CreationClassName": "Win32_BaseBoard"},
                        {"Caption": null, "ConfigOptions": [], "CreationClassName": "Win32_BaseBoard"},
                        {"ConfigOptions": null, "CreationClassName": "x"}],
    "Win32_PortConnector": [{"ConnectorPinout": "p", "ConnectorType": [2, 3], "CreationClassName": "c"},
                            {"ConnectorPinout": "p", "ConnectorType": null, "CreationClassName": "c"},
                            {"ConnectorPinout": "p", "ConnectorType": [], "CreationClassName": "c"}],
    "Win32_TapeDrive": [{"Availability": 3, "Capabilities": null, "CapabilityDescriptions": ["a"], "Caption": "T"}],
    "Win32_NetworkAdapterConfiguration": [
      {"Index": 1, "IPAddress": ["192.168.1.10", "fe80::1"], "IPConnectionMetric": 25,
       "DefaultIPGateway": null, "DNSDomainSuffixSearchOrder": []},
      {"Index": 2, "IPAddress": null, "IPConnectionMetric": 10}],
    "Win32_NetworkAdapter": [{"Index": 1, "PowerManagementCapabilities": null},
                             {"Index": 2, "PowerManagementCapabilities": [1, 2]}]
  }}})");
  using testing_support::Dashes;
  auto run = [&](const char* control) {
    host.pane().Clear();
    queries::RunButton(host, *queries::FindButton(control));
    Strings lines = testing_support::Lines(host.text());
    return Strings(lines.begin() + 1, lines.end());
  };
  EXPECT_EQ(run("Command2"), (Strings{Dashes(31), "Caption: Base Board", "ConfigOptions: JP1: clear CMOS",
                                      "CreationClassName: Win32_BaseBoard", Dashes(31), "Caption: ",
                                      "CreationClassName: Win32_BaseBoard", Dashes(31), "CreationClassName: x"}));
  EXPECT_EQ(run("Command33"), (Strings{Dashes(31), "ConnectorPinout: p", "ConnectorType: 2", "ConnectorType: 3",
                                       "CreationClassName: c", Dashes(31), "ConnectorPinout: p", "CreationClassName: c",
                                       Dashes(31), "ConnectorPinout: p", "CreationClassName: c"}));
  EXPECT_EQ(run("Command49"), (Strings{Dashes(31), "Availability: 3", "Capabilities: ", "Caption: T"}));
  EXPECT_EQ(run("Command24"), (Strings{Dashes(31), "Index: 1", "IPAddress: 192.168.1.10", "IPAddress: fe80::1",
                                       "IPConnectionMetric: 25", Dashes(31), "Index: 2", "IPConnectionMetric: 10"}));
  // PowerManagementCapabilities is a scalar entry: Null gives the bare label, an array no line.
  EXPECT_EQ(run("Command23"),
            (Strings{Dashes(31), "Index: 1", "PowerManagementCapabilities: ", Dashes(31), "Index: 2"}));
}

}  // namespace
