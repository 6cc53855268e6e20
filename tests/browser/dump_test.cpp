#include <gtest/gtest.h>

#include "browser/code_page.h"
#include "fake_window.h"

namespace {

using browser_test::FakeWindow;
using browser_test::Lines;
using browser_test::ReadBytes;
using browser_test::TempFolder;

const std::string kHeader(90, '-');
const std::string kSeparator(31, '-');

// The file's bytes for these UTF-8 lines, each quoted and ended by CR LF.
std::string FileOf(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& l : lines) bytes += "\"" + browser::ToAnsi(l) + "\"\r\n";
  return bytes;
}

struct DumpCase {
  std::string name;
  std::string ns;
  std::string class_name;
  std::vector<std::string> pane;  // after the header
  std::vector<std::string> file;
  bool file_written = true;  // false: a failed connection or query writes none
};

void PrintTo(const DumpCase& c, std::ostream* os) { *os << c.name; }

class ClassDump : public testing::TestWithParam<DumpCase> {};

TEST_P(ClassDump, WritesPaneAndFile) {
  const DumpCase& c = GetParam();
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), {c.class_name}, info.path());
  w.PlaceSelection(0);
  w.pane_.AppendMessage("earlier output");
  browser::DumpWmiClass(w, "", c.ns, c.class_name);

  std::vector<std::string> expected{kHeader};
  expected.insert(expected.end(), c.pane.begin(), c.pane.end());
  EXPECT_EQ(Lines(w.pane_.text()), expected);
  EXPECT_TRUE(w.pane_.visible());
  auto file = info.path() / (c.class_name + ".txt");
  ASSERT_EQ(std::filesystem::exists(file), c.file_written);
  if (c.file_written) {
    EXPECT_EQ(ReadBytes(file), FileOf(c.file));
  }
  EXPECT_EQ(info.FileCount(), c.file_written ? 1u : 0u);  // no temporary file left
  EXPECT_TRUE(w.dump_failures.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Machine, ClassDump,
    testing::Values(
        DumpCase{"ThreeInstancesOfFiveScalars",
                 "cimv2",
                 "Win32_Processor",
                 {kSeparator, "DeviceID:CPU0", "Name:Core A", "NumberOfCores:4", "LoadPercentage:12.5",
                  "PowerManagementSupported:False", kSeparator, "DeviceID:CPU1", "Name:Core B", "NumberOfCores:8",
                  "LoadPercentage:3", "PowerManagementSupported:True", kSeparator, "DeviceID:CPU2", "Name:Core C",
                  "NumberOfCores:2", "LoadPercentage:0.25", "PowerManagementSupported:False"},
                 {"DeviceID:CPU0", "Name:Core A", "NumberOfCores:4", "LoadPercentage:12.5",
                  "PowerManagementSupported:False", "DeviceID:CPU1", "Name:Core B", "NumberOfCores:8",
                  "LoadPercentage:3", "PowerManagementSupported:True", "DeviceID:CPU2", "Name:Core C",
                  "NumberOfCores:2", "LoadPercentage:0.25", "PowerManagementSupported:False"}},
        // Null, quotes kept, one line per element, no line for an empty array
        // or an object.
        DumpCase{
            "NullArraysAndObjects",
            "cimv2",
            "Win32_Battery",
            {kSeparator, "Caption:内部バッテリー", "Name:Bat \"A\"", "Status:Null", "PowerManagementCapabilities:1",
             "PowerManagementCapabilities:3", "PowerManagementCapabilities:4", "DesignVoltage:12000", "Chemistry:6"},
            {"Caption:内部バッテリー", "Name:Bat \"A\"", "Status:Null", "PowerManagementCapabilities:1",
             "PowerManagementCapabilities:3", "PowerManagementCapabilities:4", "DesignVoltage:12000", "Chemistry:6"}},
        DumpCase{"NoInstances", "cimv2", "Win32_Fan", {}, {}},
        DumpCase{"ClassTheMachineLacks", "cimv2", "Win32_TapeDrive", {kSeparator}, {}, false},
        DumpCase{"NamespaceTheMachineLacks", "wmi", "Win32_Processor", {kSeparator}, {}, false},
        DumpCase{"EmptyNamespaceOfStartUp", "", "Win32_Processor", {kSeparator}, {}, false}),
    [](const auto& info) { return info.param.name; });

TEST(ClassDump, TitleStandsBeforeTheDashes) {
  FakeWindow w(browser_test::MachineProvider(), {"Win32_Fan"}, std::nullopt);
  browser::DumpWmiClass(w, "Fans", "cimv2", "Win32_Fan");
  EXPECT_EQ(w.pane_.text(), "Fans" + kHeader + "\r\n");
}

struct ClearCase {
  int value;
  bool clears;
};

class ClassDumpAutoClear : public testing::TestWithParam<ClearCase> {};

TEST_P(ClassDumpAutoClear, ClearsOnlyWhenTicked) {
  FakeWindow w(browser_test::MachineProvider(), {"Win32_Fan"}, std::nullopt);
  w.auto_clear = GetParam().value;
  w.pane_.AppendMessage("earlier output");
  browser::DumpWmiClass(w, "", "cimv2", "Win32_Fan");
  std::vector<std::string> expected;
  if (!GetParam().clears) expected.push_back("earlier output");
  expected.push_back(kHeader);
  EXPECT_EQ(Lines(w.pane_.text()), expected);
}

INSTANTIATE_TEST_SUITE_P(CheckStates, ClassDumpAutoClear,
                         testing::Values(ClearCase{0, false}, ClearCase{1, true}, ClearCase{2, false}));

TEST(ClassDump, FileIsNamedAfterTheSelectedEntryAndReplaced) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), {"CIM_Action"}, info.path());
  w.PlaceSelection(0);
  browser::DumpWmiClass(w, "", "cimv2", "Win32_Processor");
  browser::DumpWmiClass(w, "", "cimv2", "CIM_Action");
  EXPECT_EQ(info.FileCount(), 1u);
  EXPECT_EQ(ReadBytes(info.path() / "CIM_Action.txt"), "\"ActionID:a1\"\r\n\"Caption:Null\"\r\n");
}

TEST(ClassDump, MissingInfoFolderStillGivesTheWholePane) {
  TempFolder parent;
  auto info = parent.path() / "info";  // never created
  FakeWindow with_file(browser_test::MachineProvider(), {"Win32_Battery"}, parent.path());
  FakeWindow without(browser_test::MachineProvider(), {"Win32_Battery"}, info);
  with_file.PlaceSelection(0);
  without.PlaceSelection(0);
  browser::DumpWmiClass(with_file, "", "cimv2", "Win32_Battery");
  browser::DumpWmiClass(without, "", "cimv2", "Win32_Battery");
  EXPECT_EQ(without.pane_.text(), with_file.pane_.text());
  EXPECT_EQ(Lines(without.pane_.text()).size(), 10u);
  EXPECT_FALSE(std::filesystem::exists(info));
  EXPECT_TRUE(without.pane_.visible());
}

// A snapshot class of `count` properties per instance, built in code.
std::shared_ptr<wmi::Provider> WideClass(const std::vector<std::vector<wmi::Property>>& instances) {
  auto snapshot = std::make_shared<wmi::Snapshot>();
  wmi::RecordedClass cls{"Win32_Wide", {}};
  for (const auto& props : instances) cls.instances.emplace_back(props);
  snapshot->namespaces.push_back({"root\\cimv2", {cls}});
  return std::make_shared<wmi::RecordedProvider>(snapshot);
}

std::vector<wmi::Property> Scalars(int count, int first = 0) {
  std::vector<wmi::Property> props;
  for (int i = 0; i < count; ++i) props.push_back({"P" + std::to_string(first + i), wmi::Value(first + i)});
  return props;
}

struct YieldCase {
  std::string name;
  std::vector<std::vector<wmi::Property>> instances;
  std::vector<std::size_t> lines_at_yields;  // pane lines (header included) when each yield comes
};

void PrintTo(const YieldCase& c, std::ostream* os) { *os << c.name; }

class ClassDumpYield : public testing::TestWithParam<YieldCase> {};

TEST_P(ClassDumpYield, YieldsWhenTheCounterReachesAHundredfold) {
  FakeWindow w(WideClass(GetParam().instances), {"Win32_Wide"}, std::nullopt);
  browser::DumpWmiClass(w, "", "cimv2", "Win32_Wide");
  EXPECT_EQ(w.yield_lines, GetParam().lines_at_yields);
  // The pane stays hidden through the instance loop.
  EXPECT_EQ(w.yield_visible, std::vector<bool>(GetParam().lines_at_yields.size(), false));
  EXPECT_TRUE(w.pane_.visible());
}

std::vector<wmi::Property> ArrayThenScalars(int elements, int scalars) {
  std::vector<wmi::Value> values(static_cast<std::size_t>(elements), wmi::Value("e"));
  std::vector<wmi::Property> props{{"Codes", wmi::Value(values)}};
  auto rest = Scalars(scalars);
  props.insert(props.end(), rest.begin(), rest.end());
  return props;
}

INSTANTIATE_TEST_SUITE_P(Counter, ClassDumpYield,
                         testing::Values(
                             // 250 scalars: after the 100th and the 200th (header and separator first).
                             YieldCase{"TwoHundredFiftyScalars", {Scalars(250)}, {102, 202}},
                             YieldCase{"NinetyNineScalars", {Scalars(99)}, {}},
                             // The counter runs on across instances: 60 + 60 reaches 100 in the second.
                             YieldCase{"CountedOverInstances", {Scalars(60), Scalars(60, 60)}, {2 + 60 + 1 + 40}},
                             // An array of 150 leaves the counter at 151: the next yield is 49 scalars on.
                             YieldCase{"ArrayOfOneHundredFifty", {ArrayThenScalars(150, 60)}, {2 + 150 + 49}},
                             // An array of 99 leaves it at 100: a yield right after the array.
                             YieldCase{"ArrayOfNinetyNine", {ArrayThenScalars(99, 5)}, {2 + 99}},
                             // An empty array gives no line but steps the counter once.
                             YieldCase{"EmptyArrayStepsOnce", {ArrayThenScalars(0, 100)}, {2 + 99}}),
                         [](const auto& info) { return info.param.name; });

TEST(ClassDumpYield, ASelectionDuringAYieldRunsAWholeDumpInside) {
  TempFolder info;
  // List: the wide class, then Win32_Processor.
  auto snapshot = std::make_shared<wmi::Snapshot>(
      dynamic_cast<wmi::RecordedProvider&>(*browser_test::MachineProvider()).snapshot());
  snapshot->namespaces[0].classes.push_back({"Win32_Wide", {wmi::Instance(Scalars(150))}});
  FakeWindow w(std::make_shared<wmi::RecordedProvider>(snapshot), {"Win32_Wide", "Win32_Processor"}, info.path());
  w.auto_clear = 0;
  bool inner_saw_hidden_pane = true;
  w.on_yield = [&] {
    w.on_yield = nullptr;
    w.SelectClass(1);  // the user picks Win32_Processor
    inner_saw_hidden_pane = !w.pane_.visible();
  };
  w.SelectClass(0);

  auto lines = Lines(w.pane_.text());
  // Outer header, separator, 100 properties, then the inner dump (header,
  // 3 separators, 15 lines), then the remaining 50 of the outer dump.
  ASSERT_EQ(lines.size(), 2u + 100 + 1 + 3 + 15 + 50);
  EXPECT_EQ(lines[101], "P99:99");
  EXPECT_EQ(lines[102], kHeader);
  EXPECT_EQ(lines[104], "DeviceID:CPU0");
  EXPECT_EQ(lines[121], "P100:100");
  EXPECT_FALSE(inner_saw_hidden_pane);
  EXPECT_TRUE(w.pane_.visible());
  // Each dump has its own file, named after the entry selected when it opened it.
  EXPECT_EQ(Lines(ReadBytes(info.path() / "Win32_Wide.txt")).size(), 150u);
  EXPECT_EQ(Lines(ReadBytes(info.path() / "Win32_Processor.txt")).size(), 15u);
  EXPECT_EQ(w.log, (std::vector<std::string>{"List2 off", "Command61 off", "List2 off", "Command61 off", "Command61 on",
                                             "List2 on", "Command61 on", "List2 on"}));
}

TEST(Command61, DumpsTheSelectedClassOfTheSelectedNamespace) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), {"Win32_Fan", "Win32_Processor"}, info.path());
  w.PlaceSelection(1);
  w.ns = "cimv2";
  browser::Command61Click(w);
  EXPECT_EQ(Lines(w.pane_.text()).size(), 1u + 3 + 15);
  EXPECT_EQ(w.log, (std::vector<std::string>{"List2 off", "Command61 off", "Command61 on", "List2 on"}));
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_Processor.txt"));
  EXPECT_FALSE(std::filesystem::exists(info.path() / "Win32_Fan.txt"));
}

TEST(Command61, ListClickDumpsTheNewSelection) {
  FakeWindow w(browser_test::MachineProvider(), {"Win32_Fan", "CIM_Action"}, std::nullopt);
  w.SelectClass(1);
  EXPECT_EQ(Lines(w.pane_.text()), (std::vector<std::string>{kHeader, kSeparator, "ActionID:a1", "Caption:Null"}));
}

TEST(Command63, DumpsTheBatteryIntoItsOwnFileWhateverIsSelected) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), browser_test::Catalogue(), info.path());
  w.PlaceSelection(53);  // CIM_Action
  w.pane_.AppendMessage("earlier output");
  browser::Command63Click(w);
  auto lines = Lines(w.pane_.text());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], kHeader);  // auto-clear on: the dump cleared the pane
  EXPECT_EQ(lines[2], "Caption:内部バッテリー");
  EXPECT_EQ(w.log, (std::vector<std::string>{"List2 off", "Command61 off", "Command61 on", "List2 on"}));
  EXPECT_EQ(info.FileCount(), 1u);
  EXPECT_EQ(Lines(ReadBytes(info.path() / "Win32_Battery.txt")).size(), 8u);
  EXPECT_FALSE(std::filesystem::exists(info.path() / "CIM_Action.txt"));
}

}  // namespace
