#include "queries/property_list.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "queries/buttons.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"

namespace {

using queries::PrintForm;
using queries::PropertyListOf;
using Strings = std::vector<std::string>;

Strings Labels(const char* control) {
  Strings out;
  for (const auto& e : PropertyListOf(control)) out.push_back(e.label);
  return out;
}

// Entry counts of every fixed-list button, as the window's lists give them.
TEST(PropertyLists, EveryFixedListButtonHasItsEntryCount) {
  const std::pair<const char*, std::size_t> counts[] = {
      {"Command40", 44}, {"Command5", 53},  {"Command3", 26},  {"Command10", 49}, {"Command6", 47},  {"Command49", 40},
      {"Command52", 23}, {"Command2", 29},  {"Command25", 20}, {"Command14", 22}, {"Command17", 20}, {"Command41", 20},
      {"Command48", 31}, {"Command54", 59}, {"Command8", 28},  {"Command11", 15}, {"Command12", 14}, {"Command53", 30},
      {"Command35", 79}, {"Command23", 33}, {"Command24", 60}, {"Command22", 39}, {"Command21", 39}, {"Command47", 10},
      {"Command29", 27}, {"Command28", 30}, {"Command9", 11},  {"Command43", 29}, {"Command42", 47}, {"Command45", 23},
      {"Command37", 45}, {"Command39", 24}, {"Command38", 33}, {"Command18", 23}, {"Command33", 20}, {"Command27", 23},
      {"Command13", 19}, {"Command34", 11}, {"Command26", 26}, {"Command4", 21},  {"Command44", 38}, {"Command46", 37},
      {"Command30", 22}, {"Command19", 15}, {"Command36", 2},  {"Command51", 43}, {"Command32", 38}, {"Command16", 30},
      {"Command15", 23}, {"Command31", 33}, {"Command20", 23}, {"Command50", 35}, {"Command7", 35},  {"Command55", 35},
  };
  ASSERT_EQ(std::size(counts), 54u);
  for (const auto& [control, count] : counts) {
    EXPECT_EQ(PropertyListOf(control).size(), count) << control;
    const queries::Button* b = queries::FindButton(control);
    ASSERT_NE(b, nullptr) << control;
    EXPECT_TRUE(b->procedure == queries::Procedure::FixedList || b->procedure == queries::Procedure::FixedListWithOpeningLine) << control;
  }
  for (const char* none : {"Command1", "Command56", "Command57", "Command58", "Command59", "Command60", "Command63"})
    EXPECT_TRUE(PropertyListOf(none).empty()) << none;
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

TEST(PropertyLists, LabelSequencesAsPrinted) {
  EXPECT_EQ(Labels("Command10"),
            (Strings{"Availability: ", "BytesPerSector: ", "Capabilities: ", "CapabilityDescriptions: ", "Caption: ",
                     "CompressionMethod: ", "ConfigManagerErrorCode: ", "ConfigManagerUserConfig: ",
                     "CreationClassName: ", "DefaultBlockSize: ", "Description: ", "DeviceID: ", "ErrorCleared: ",
                     "ErrorDescription: ", "ErrorMethodology: ", "Index: ", "InstallDate: ", "InterfaceType: ",
                     "LastErrorCode: ", "Manufacturer: ", "MaxBlockSize: ", "MaxMediaSize: ", "MediaLoaded: ",
                     "MediaType: ", "MinBlockSize: ", "Model: ", "Name: ", "NeedsCleaning: ",
                     "NumberOfMediaSupported: ", "Partitions: ", "PNPDeviceID: ", "PowerManagementCapabilities: ",
                     "PowerManagementSupported: ", "SCSIBus: ", "SCSILogicalUnit: ", "SCSIPort: ", "SCSITargetId: ",
                     "SectorsPerTrack: ", "SerialNumber: ", "Size: ", "Status: ", "StatusInfo: ",
                     "SystemCreationClassName: ", "SystemName: ", "TotalCylinders: ", "TotalHeads: ",
                     "TotalSectors: ", "TotalTracks: ", "TracksPerCylinder: "}));
  EXPECT_EQ(Labels("Command47"), (Strings{"Caption: ", "CreationClassName: ", "CSCreationClassName: ", "CSName: ",
                                          "Description: ", "EndingAddress: ", "InstallDate: ", "Name: ",
                                          "StartingAddress: ", "Status: "}));
  EXPECT_EQ(Labels("Command36"), (Strings{"EventType: ", "OEMEventCode: "}));
  EXPECT_EQ(Labels("Command17"),
            (Strings{"ActiveCooling: ", "Availability: ", "Caption: ", "ConfigManagerErrorCode: ",
                     "ConfigManagerUserConfig: ", "CreationClassName: ", "Description: ", "DeviceID: ",
                     "ErrorCleared: ", "ErrorDescription: ", "InstallDate: ", "LastErrorCode: ", "Name: ",
                     "PNPDeviceID: ", "PowerManagementCapabilities: ", "PowerManagementSupported: ", "Status: ",
                     "StatusInfo: ", "SystemCreationClassName: ", "SystemName: "}));
  Strings pointing = Labels("Command31");
  auto inf = std::find(pointing.begin(), pointing.end(), "InfFileName: ");
  ASSERT_NE(inf, pointing.end());
  EXPECT_EQ(*(inf - 1), "HardwareType: ");
  EXPECT_EQ(*(inf + 1), "InfSection: ");
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

TEST(PropertyLists, NonScalarFormsStandExactlyWhereMarked) {
  using Marks = std::vector<std::pair<std::string, PrintForm>>;
  const std::pair<const char*, Marks> expected[] = {
      {"Command5", {{"CurrentSRAM", PrintForm::Each}, {"SupportedSRAM", PrintForm::Each}}},
      {"Command3", {{"BiosCharacteristics", PrintForm::Bios}, {"ListOfLanguages", PrintForm::Each}}},
      {"Command10", {{"Capabilities", PrintForm::Each}, {"CapabilityDescriptions", PrintForm::Each}}},
      {"Command6", {{"Capabilities", PrintForm::Each}, {"CapabilityDescriptions", PrintForm::Each}}},
      {"Command2", {{"ConfigOptions", PrintForm::First}}},
      {"Command24",
       {{"DefaultIPGateway", PrintForm::Each}, {"DNSDomainSuffixSearchOrder", PrintForm::Each},
        {"DNSServerSearchOrder", PrintForm::Each}, {"GatewayCostMetric", PrintForm::Each},
        {"IPAddress", PrintForm::Each}, {"IPSubnet", PrintForm::Each}}},
      {"Command33", {{"ConnectorType", PrintForm::Each}}},
  };
  for (const auto& b : queries::Buttons()) {
    Marks marks;
    for (const auto& e : PropertyListOf(b.control))
      if (e.form != PrintForm::Scalar) marks.emplace_back(e.property, e.form);
    Marks want;
    for (const auto& [control, m] : expected)
      if (b.control == control) want = m;
    EXPECT_EQ(marks, want) << b.control;
  }
  EXPECT_EQ(PropertyListOf("Command3")[0].property, "BiosCharacteristics");
  EXPECT_EQ(PropertyListOf("Command3")[1].property, "BuildNumber");
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
                                       "CreationClassName: c", Dashes(31), "ConnectorPinout: p",
                                       "CreationClassName: c", Dashes(31), "ConnectorPinout: p",
                                       "CreationClassName: c"}));
  EXPECT_EQ(run("Command49"), (Strings{Dashes(31), "Availability: 3", "Capabilities: ", "Caption: T"}));
  EXPECT_EQ(run("Command24"), (Strings{Dashes(31), "Index: 1", "IPAddress: 192.168.1.10", "IPAddress: fe80::1",
                                       "IPConnectionMetric: 25", Dashes(31), "Index: 2",
                                       "IPConnectionMetric: 10"}));
  // PowerManagementCapabilities is a scalar entry: Null gives the bare label, an array no line.
  EXPECT_EQ(run("Command23"), (Strings{Dashes(31), "Index: 1", "PowerManagementCapabilities: ", Dashes(31),
                                       "Index: 2"}));
}

}  // namespace
