#include "queries/procedures.h"

#include <gtest/gtest.h>

#include "queries/buttons.h"
#include "tests/support/test_host.h"

namespace {

using testing_support::Dashes;
using testing_support::Lines;
using testing_support::TestHost;
using Strings = std::vector<std::string>;

const queries::Button& B(const char* control) {
  const queries::Button* b = queries::FindButton(control);
  EXPECT_NE(b, nullptr) << control;
  return *b;
}

std::string Header(const char* control) { return std::string(B(control).caption) + Dashes(90); }

constexpr const char* kMachine = R"({"namespaces": {"root\\cimv2": {
  "Win32_DiskDrive": [
    {"Availability": null, "BytesPerSector": 512, "Capabilities": [3, 4, 10],
     "CapabilityDescriptions": ["Random Access", "Supports Writing", "SMART Notification"], "Caption": "Disk 0"},
    {"Availability": 3, "BytesPerSector": 4096, "Capabilities": [], "CapabilityDescriptions": null, "Caption": null,
     "Index": [1, 2]}
  ],
  "Win32_LogicalDisk": [
    {"Access": null, "Caption": "C:", "FreeSpace": "1000", "Compressed": false, "PowerManagementCapabilities": [1],
     "Ratio": 0.25, "Embedded": {"object": "X"}}
  ],
  "Win32_LogonSession": [
    {"AuthenticationPackage": "NTLM", "Caption": null, "LogonId": "999", "LogonType": 0, "StartTime": "20261208011429.500000+540",
     "Flags": [1], "Ok": true}
  ],
  "Win32_LogicalDiskToPartition": [
    {"Antecedent": "\\\\PC\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #0, Partition #0\"",
     "Dependent": "\\\\PC\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"C:\"", "EndingAddress": "1000", "StartingAddress": "0"}
  ],
  "Win32_DeviceMemoryAddress": [],
  "Win32_Fan": []
}}})";

TEST(FixedList, PrintsHeaderSeparatorAndEntriesByTheirForms) {
  TestHost host(kMachine);
  queries::RunButton(host, B("Command10"));
  Strings lines = Lines(host.text());
  ASSERT_GE(lines.size(), 12u);
  Strings expected_start = {Header("Command10"),
                            Dashes(31),
                            "Availability: ",
                            "BytesPerSector: 512",
                            "Capabilities: 3",
                            "Capabilities: 4",
                            "Capabilities: 10",
                            "CapabilityDescriptions: Random Access",
                            "CapabilityDescriptions: Supports Writing",
                            "CapabilityDescriptions: SMART Notification",
                            "Caption: Disk 0",
                            Dashes(31),
                            "Availability: 3",
                            "BytesPerSector: 4096",
                            "Caption: "};
  EXPECT_EQ(Strings(lines.begin(), lines.begin() + expected_start.size()), expected_start);
  // The array held by the scalar entry Index prints nothing; the rest of the list
  // is absent from the snapshot's instances and prints nothing either.
  EXPECT_EQ(lines.size(), expected_start.size());
  EXPECT_EQ(host.text_pane().scrolls(), 2);
  EXPECT_EQ(host.text_pane().caret(), host.text().size());
}

TEST(FixedList, OutcomesOfAnEmptyOrFailingQuery) {
  struct Case {
    const char* snapshot;
    const char* control;
    Strings expected;
  } cases[] = {
      {kMachine, "Command14", {Header("Command14")}},                             // no instance
      {kMachine, "Command40", {Header("Command40"), Dashes(31)}},                 // class missing
      {R"({"namespaces": {}})", "Command10", {Header("Command10"), Dashes(31)}},  // no namespace
      {kMachine, "Command9", {Header("Command9"), Dashes(25)}},                   // opening line
      {R"({"namespaces": {}})", "Command9", {Header("Command9"), Dashes(25), Dashes(31)}},
  };
  for (const Case& c : cases) {
    TestHost host(c.snapshot);
    queries::RunButton(host, B(c.control));
    EXPECT_EQ(Lines(host.text()), c.expected) << c.control;
  }
}

TEST(AutoClear, OnlyTheTickedValueClearsBeforeTheHeader) {
  for (int check : {0, 1, 2}) {
    TestHost host(kMachine, check);
    host.pane().AppendMessage("earlier");
    queries::RunButton(host, B("Command14"));
    queries::RunButton(host, B("Command40"));
    Strings expected = {Header("Command40"), Dashes(31)};
    if (check != 1) expected.insert(expected.begin(), {"earlier", Header("Command14")});
    EXPECT_EQ(Lines(host.text()), expected) << "check value " << check;
  }
}

TEST(AllPropertiesWithNullMarker, NullMarkedConvertibleOnesPrintedArraysAndObjectsLeftOut) {
  TestHost host(kMachine);
  queries::RunButton(host, B("Command1"));
  EXPECT_EQ(Lines(host.text()), (Strings{Header("Command1"), Dashes(31), "Access:NULL", "Caption:C:", "FreeSpace:1000",
                                         "Compressed:False", "Ratio:0.25"}));
  EXPECT_EQ(host.text_pane().scrolls(), 0);
}

TEST(AllPropertiesText, OnlyTextValuesGiveLines) {
  TestHost host(kMachine);
  queries::RunButton(host, B("Command56"));
  EXPECT_EQ(Lines(host.text()), (Strings{Header("Command56"), Dashes(31), "AuthenticationPackage:NTLM", "LogonId:999",
                                         "StartTime:20261208011429.500000+540"}));
  TestHost parts(kMachine);
  queries::RunButton(parts, B("Command59"));
  Strings lines = Lines(parts.text());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "Antecedent:\\\\PC\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #0, Partition #0\"");
  EXPECT_EQ(lines[5], "StartingAddress:0");
}

TEST(AllPropertiesText, FailuresLeaveHeaderAndOneSeparator) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {}}})", 1);
  queries::RunButton(host, B("Command56"));
  queries::RunButton(host, B("Command59"));
  EXPECT_EQ(Lines(host.text()), (Strings{Header("Command59"), Dashes(31)}));
}

TEST(ButtonTable, SixtyOneRowsWithTheirProcedures) {
  auto rows = queries::Buttons();
  ASSERT_EQ(rows.size(), 61u);
  for (int n = 1; n <= 60; ++n) EXPECT_EQ(rows[n - 1].control, "Command" + std::to_string(n));
  EXPECT_EQ(rows[60].control, "Command63");
  using queries::Procedure;
  int fixed = 0;
  for (const auto& b : rows) {
    const bool opening = b.procedure == Procedure::FixedListWithOpeningLine;
    fixed += b.procedure == Procedure::FixedList || opening;
    EXPECT_EQ(opening, b.control == "Command9") << b.control;
  }
  EXPECT_EQ(fixed, 54);
  EXPECT_EQ(B("Command57").procedure, Procedure::BaseBoardAdapters);
  EXPECT_EQ(B("Command58").procedure, Procedure::UsbDevices);
  EXPECT_EQ(B("Command60").procedure, Procedure::OperatingSystem);
  EXPECT_EQ(B("Command63").procedure, Procedure::ClassDump);
  EXPECT_EQ(B("Command56").query, "Select * from Win32_LogonSession ");
  EXPECT_EQ(B("Command10").caption, "物理ディスクドライブ");
  EXPECT_EQ(B("Command10").group, "ドライブ");
  EXPECT_EQ(B("Command48").caption,
            "ポート、マザーボードのスロット、周辺機器、独自の接続ポイントなど物理的な接続ポイント");
  EXPECT_EQ(B("Command50").caption, "温度センター");
  EXPECT_EQ(B("Command1").procedure, queries::Procedure::AllPropertiesNullMarker);
  EXPECT_EQ(B("Command59").procedure, queries::Procedure::AllPropertiesText);
  EXPECT_EQ(queries::FindButton("Command61"), nullptr);
}

TEST(ButtonTable, TheBatchRunsCommand1ToCommand60InOrder) {
  auto batch = queries::BatchButtons();
  ASSERT_EQ(batch.size(), 60u);
  for (std::size_t i = 0; i < batch.size(); ++i) {
    EXPECT_EQ(batch[i].control, "Command" + std::to_string(i + 1));
    EXPECT_EQ(&batch[i], queries::FindButton(batch[i].control));
  }
}

TEST(Lines, HeaderOfAnEmptyCaptionIsNinetyDashes) {
  EXPECT_EQ(queries::HeaderLine(""), Dashes(90));
  EXPECT_EQ(queries::HeaderLine("CPU"), "CPU" + Dashes(90));
  queries::TextPane pane;
  pane.AppendMessage("");
  EXPECT_EQ(pane.text(), "\r\n");
}

}  // namespace
