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
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_Fan.txt"));
}

struct WalkCase {
  std::string name;
  int selected;                      // index before the click
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
  EXPECT_EQ(w.yield_lines.size(), static_cast<std::size_t>(GetParam().dumps));  // one yield per step
  EXPECT_EQ(w.SelectedClassIndex(), GetParam().dumps == 0 ? GetParam().selected : 1210);
  for (const auto& f : GetParam().touched) EXPECT_TRUE(std::filesystem::exists(info.path() / (f + ".txt"))) << f;
}

INSTANTIATE_TEST_SUITE_P(
    Walks, AutoSave,
    testing::Values(WalkCase{"FromCimAction", 53, 1157, {"CIM_ActionSequence", "Win32_Battery", "Win32_WMISetting"}},
                    WalkCase{"FromTheEntryBeforeTheLast", 1209, 1, {"Win32_WMISetting"}},
                    WalkCase{"FromTheLast", 1210, 0, {}},
                    WalkCase{"WithNothingSelected", -1, 1211, {"__AbsoluteTimerInstruction"}}),
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

}  // namespace
