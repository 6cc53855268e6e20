#include <gtest/gtest.h>

#include "fake_window.h"
#include "queries/buttons.h"

namespace {

using browser_test::FakeWindow;
using browser_test::Lines;
using browser_test::TempFolder;

const std::string kDashes(90, '-');

// The test machine with every catalogue class present (those it lacks with no
// instances), so that each dump of a walk writes its file.
std::shared_ptr<wmi::Provider> EveryClassProvider() {
  auto snapshot = std::make_shared<wmi::Snapshot>(
      dynamic_cast<wmi::RecordedProvider&>(*browser_test::MachineProvider()).snapshot());
  for (const auto& name : browser_test::Catalogue())
    if (!snapshot->FindClass("root\\cimv2", name)) snapshot->namespaces[0].classes.push_back({name, {}});
  return std::make_shared<wmi::RecordedProvider>(snapshot);
}

// The captions of the header lines in the pane, in order.
std::vector<std::string> HeaderCaptions(const std::string& text) {
  std::vector<std::string> captions;
  for (const auto& l : Lines(text))
    if (l.size() >= kDashes.size() && l.ends_with(kDashes)) captions.push_back(l.substr(0, l.size() - kDashes.size()));
  return captions;
}

class AllGet : public testing::TestWithParam<int> {};

TEST_P(AllGet, RunsTheSixtyButtonsInOrderWithAutoClearOffAndRestoresTheSwitch) {
  FakeWindow w(browser_test::MachineProvider(), browser_test::Catalogue(), std::nullopt);
  w.auto_clear = GetParam();
  w.pane_.AppendMessage("earlier output");
  browser::AllGetClick(w);

  EXPECT_EQ(w.auto_clear, GetParam());
  EXPECT_TRUE(w.all_get_enabled);
  EXPECT_EQ(w.log, (std::vector<std::string>{"chkClear 0", "cmdAllGet off", "cmdAllGet on",
                                             "chkClear " + std::to_string(GetParam())}));
  EXPECT_EQ(Lines(w.pane_.text()).front(), "earlier output");
  std::vector<std::string> expected;
  for (int n = 1; n <= 60; ++n) expected.emplace_back(queries::FindButton("Command" + std::to_string(n))->caption);
  EXPECT_EQ(HeaderCaptions(w.pane_.text()), expected);
  EXPECT_EQ(w.dumps_started, 0);  // the battery button and the class dump never run
}

INSTANTIATE_TEST_SUITE_P(CheckStates, AllGet, testing::Values(0, 1, 2));

TEST(RunCategoryButton, BatteryButtonIsTheClassDump) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), {"Win32_Fan"}, info.path());
  w.PlaceSelection(0);
  browser::RunCategoryButton(w, *queries::FindButton("Command63"));
  EXPECT_EQ(w.dumps_started, 1);
  EXPECT_EQ(Lines(w.pane_.text())[2], "Caption:内部バッテリー");
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_Battery.txt"));
  EXPECT_FALSE(std::filesystem::exists(info.path() / "Win32_Fan.txt"));
}

struct WalkCase {
  std::string name;
  int selected;                      // index before the click
  int steps;                         // entries the walk selects
  int dumps;                         // class dumps the walk runs
  std::vector<std::string> touched;  // some files that must exist afterwards
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class AutoSave : public testing::TestWithParam<WalkCase> {};

TEST_P(AutoSave, DumpsEveryEntryAfterTheSelectedOne) {
  TempFolder info;
  FakeWindow w(EveryClassProvider(), browser_test::Catalogue(), info.path());
  w.PlaceSelection(GetParam().selected);
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.dumps_started, GetParam().dumps);
  EXPECT_EQ(info.FileCount(), static_cast<std::size_t>(GetParam().dumps));
  EXPECT_EQ(w.yield_lines.size(), static_cast<std::size_t>(GetParam().steps));  // one yield per step
  EXPECT_EQ(w.SelectedClassIndex(), GetParam().steps == 0 ? GetParam().selected : 1210);
  for (const auto& f : GetParam().touched) EXPECT_TRUE(std::filesystem::exists(info.path() / (f + ".txt"))) << f;
}

INSTANTIATE_TEST_SUITE_P(
    Walks, AutoSave,
    // The 36 classes the walk does not dump all stand after CIM_Action.
    testing::Values(
        WalkCase{"FromCimAction", 53, 1157, 1121, {"CIM_ActionSequence", "Win32_Battery", "Win32_WMISetting"}},
        WalkCase{"FromTheEntryBeforeTheLast", 1209, 1, 1, {"Win32_WMISetting"}},
        WalkCase{"FromTheLast", 1210, 0, 0, {}},
        WalkCase{"WithNothingSelected", -1, 1211, 1175, {"__AbsoluteTimerInstruction"}}),
    [](const auto& info) { return info.param.name; });

TEST(AutoSave, LastEntryKeepsItsFileUntouched) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), browser_test::Catalogue(), info.path());
  w.PlaceSelection(1210);
  w.pane_.AppendMessage("earlier output");
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.pane_.text(), "earlier output\r\n");
  EXPECT_EQ(info.FileCount(), 0u);
}

TEST(AutoSave, AUsersSelectionDuringTheWalkMovesIt) {
  TempFolder info;
  FakeWindow w(EveryClassProvider(), browser_test::Catalogue(), info.path());
  w.PlaceSelection(1200);
  w.on_yield = [&] {
    w.on_yield = nullptr;
    w.SelectClass(1205);  // the user's click runs its own dump
  };
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.dumps_started, 7);  // 1201, the user's 1205, then 1206 to 1210
  const auto names = browser_test::Catalogue();
  for (int i : {1201, 1205, 1206, 1210}) EXPECT_TRUE(std::filesystem::exists(info.path() / (names[i] + ".txt"))) << i;
  for (int i : {1202, 1203, 1204}) EXPECT_FALSE(std::filesystem::exists(info.path() / (names[i] + ".txt"))) << i;
}

TEST(AutoSave, SelectingTheLastEntryDuringTheWalkEndsIt) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), browser_test::Catalogue(), info.path());
  w.PlaceSelection(100);
  w.on_yield = [&] {
    w.on_yield = nullptr;
    w.SelectClass(1210);
  };
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.dumps_started, 2);
  EXPECT_EQ(w.SelectedClassIndex(), 1210);
}

TEST(AutoSave, SelectsButDoesNotDumpTheClassesThatDoHarm) {
  TempFolder info;
  FakeWindow w(EveryClassProvider(),
               {"Win32_Fan", "CIM_DataFile", "Win32_NTLogEvent", "win32_product", "Win32_Directory", "Win32_BIOS"},
               info.path());
  w.PlaceSelection(-1);
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.dumps_started, 2);
  EXPECT_EQ(w.yield_lines.size(), 6u);  // the walk went through every entry
  EXPECT_EQ(w.SelectedClassIndex(), 5);
  EXPECT_EQ(info.FileCount(), 2u);
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_Fan.txt"));
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_BIOS.txt"));
  EXPECT_EQ(HeaderCaptions(w.pane_.text()).size(), 1u);  // auto-clear: the last dump alone
}

// A service that knows its schema names the parents of the harmful classes:
// asked once, their queries are skipped too (they would enumerate the
// children's instances with their own).
TEST(AutoSave, SkipsEveryClassTheServiceDerivesAHarmfulOneFrom) {
  auto snapshot =
      std::make_shared<wmi::Snapshot>(dynamic_cast<wmi::RecordedProvider&>(*EveryClassProvider()).snapshot());
  std::vector<wmi::Instance> schema;
  // Win32_Binary : Win32_MSIResource : CIM_Setting, Win32_SystemUsers :
  // CIM_SystemComponent : CIM_Component, Win32_BIOS : CIM_BIOSElement.
  for (auto [name, parent] :
       std::vector<std::pair<const char*, wmi::Value>>{{"Win32_Binary", "Win32_MSIResource"},
                                                       {"Win32_MSIResource", "CIM_Setting"},
                                                       {"CIM_Setting", wmi::Value()},
                                                       {"Win32_SystemUsers", "CIM_SystemComponent"},
                                                       {"CIM_SystemComponent", "CIM_Component"},
                                                       {"CIM_Component", wmi::Value()},
                                                       {"Win32_BIOS", "CIM_BIOSElement"},
                                                       {"CIM_BIOSElement", wmi::Value()}})
    schema.push_back(wmi::Instance({{"__CLASS", wmi::Value(name)}, {"__SUPERCLASS", parent}}));
  snapshot->namespaces[0].classes.push_back({"meta_class", schema});
  auto provider = std::make_shared<wmi::RecordedProvider>(snapshot);
  EXPECT_EQ(browser::ParentsOfSkippedClasses(*provider, "cimv2"),
            (std::vector<std::string>{"CIM_Setting", "CIM_SystemComponent", "Win32_MSIResource"}));

  TempFolder info;
  FakeWindow w(provider, {"Win32_Fan", "CIM_Setting", "win32_msiresource", "CIM_SystemComponent", "CIM_BIOSElement"},
               info.path());
  w.PlaceSelection(-1);
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.yield_lines.size(), 5u);
  EXPECT_EQ(w.dumps_started, 2);
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_Fan.txt"));
  EXPECT_TRUE(std::filesystem::exists(info.path() / "CIM_BIOSElement.txt"));
  // A service without the schema query leaves the names alone to decide.
  EXPECT_TRUE(browser::ParentsOfSkippedClasses(*EveryClassProvider(), "cimv2").empty());
}

TEST(AutoSave, AUserStillGetsTheDumpOfAClassTheWalkSkips) {
  TempFolder info;
  FakeWindow w(EveryClassProvider(), {"Win32_Fan", "CIM_DataFile", "Win32_BIOS", "Win32_Product"}, info.path());
  w.SelectClass(1);  // a click on CIM_DataFile outside any walk
  EXPECT_EQ(w.dumps_started, 1);
  EXPECT_TRUE(std::filesystem::exists(info.path() / "CIM_DataFile.txt"));

  // During the walk's yield the user clicks Win32_Product: that click dumps it.
  w.PlaceSelection(1);
  w.on_yield = [&] {
    w.on_yield = nullptr;
    w.SelectClass(3);
  };
  browser::AutoSaveClick(w);
  EXPECT_EQ(w.dumps_started, 3);  // Win32_BIOS by the walk, Win32_Product by the user
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_Product.txt"));
}

TEST(AutoSave, EverySkippedClassIsInTheCatalogue) {
  int skipped = 0;
  for (const std::string& name : browser_test::Catalogue()) skipped += browser::IsSkippedByAutoSave(name) ? 1 : 0;
  EXPECT_EQ(skipped, 36);
  for (const char* name : {"CIM_DATAFILE", "win32_ntlogevent", "Win32_Product", "Win32_UserAccount",
                           "Win32_PatchPackage", "CIM_LogicalElement"})
    EXPECT_TRUE(browser::IsSkippedByAutoSave(name)) << name;
  for (const char* name :
       {"Win32_ProductX", "CIM_DataFil", "Win32_Processor", "Win32_PageFile", "Win32_NTEventlogFile", ""})
    EXPECT_FALSE(browser::IsSkippedByAutoSave(name)) << name;
}

// The batch reports before each step; the window's stop request ends it after
// the step at hand.
struct StopCase {
  std::string name;
  bool all_get;    // 全自動収集, else AutoSave from CIM_Action
  int stop_after;  // steps run before the window asks to stop (0: never)
  int steps;       // steps run in all
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class BatchStop : public testing::TestWithParam<StopCase> {};

TEST_P(BatchStop, ReportsEachStepAndStopsAfterTheOneAtHand) {
  const StopCase& c = GetParam();
  TempFolder info;
  FakeWindow w(EveryClassProvider(), browser_test::Catalogue(), info.path());
  w.PlaceSelection(53);
  if (c.stop_after > 0) w.stop_when = [&] { return static_cast<int>(w.progress.size()) >= c.stop_after; };
  if (c.all_get)
    browser::AllGetClick(w);
  else
    browser::AutoSaveClick(w);
  const int total = c.all_get ? 60 : 1211;
  ASSERT_EQ(w.progress.size(), static_cast<std::size_t>(c.steps));
  for (int i = 0; i < c.steps; ++i)
    EXPECT_EQ(w.progress[static_cast<std::size_t>(i)], std::make_pair((c.all_get ? 1 : 55) + i, total)) << i;
  EXPECT_EQ(w.batches, (std::vector<std::string>{c.all_get ? "全自動収集" : "AutoSave", "end"}));
  if (c.all_get) {
    EXPECT_EQ(HeaderCaptions(w.pane_.text()).size(), static_cast<std::size_t>(c.steps));
    EXPECT_TRUE(w.all_get_enabled);
    EXPECT_EQ(w.auto_clear, 1);
  } else {
    // Every entry walked gets its file, but for the classes the walk skips.
    const std::vector<std::string> catalogue = browser_test::Catalogue();
    std::size_t skipped = 0;
    for (int i = 54; i < 54 + c.steps; ++i)
      skipped += browser::IsSkippedByAutoSave(catalogue[static_cast<std::size_t>(i)]);
    EXPECT_EQ(info.FileCount(), static_cast<std::size_t>(c.steps) - skipped);
    EXPECT_EQ(w.SelectedClassIndex(), 53 + c.steps);
  }
}

INSTANTIATE_TEST_SUITE_P(Batches, BatchStop,
                         testing::Values(StopCase{"AllGetToTheEnd", true, 0, 60}, StopCase{"AllGetStopped", true, 3, 3},
                                         StopCase{"AutoSaveToTheEnd", false, 0, 1157},
                                         StopCase{"AutoSaveStopped", false, 2, 2}),
                         [](const auto& info) { return info.param.name; });

TEST(AllGet, YieldsAfterEachButtonAndEveryHundredLines) {
  FakeWindow w(std::shared_ptr<wmi::Provider>(wmi::RecordedProvider::FromFile(browser_test::DataFile("rich.json"))),
               browser_test::Catalogue(), std::nullopt);
  bool enabled_at_every_yield = false;
  w.on_yield = [&] { enabled_at_every_yield = enabled_at_every_yield || w.all_get_enabled; };
  browser::AllGetClick(w);
  EXPECT_FALSE(enabled_at_every_yield) << "cmdAllGet stays disabled while the batch yields";
  const std::size_t lines = Lines(w.pane_.text()).size();
  ASSERT_GT(lines, 100u);
  // One yield after each of the sixty buttons, and one every 100 lines.
  EXPECT_EQ(w.yield_lines.size(), 60u + lines / 100);
  std::size_t at_hundreds = 0;
  for (std::size_t n : w.yield_lines) at_hundreds += (n > 0 && n % 100 == 0);
  EXPECT_GE(at_hundreds, lines / 100);
}

}  // namespace
