// The form apart from its drawing: the capture it shows and its title, and
// the status line through a batch, as every front-end shows them.
#include "front/form.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "browser/browser.h"
#include "queries/pane.h"
#include "wmi/recorded/snapshot.h"

namespace {

namespace fs = std::filesystem;

// A form whose controls are plain values; it counts what it is told to redraw.
class PlainForm : public front::Form {
 public:
  using front::Form::Form;
  queries::Pane& pane() override { return pane_; }
  int ClassCount() override { return static_cast<int>(classes.size()); }
  int SelectedClassIndex() override { return selected; }
  void SelectClass(int index) override {
    selected = index;
    browser::List1Click(*this);
  }
  std::string SelectedClass() override { return selected < 0 ? "" : classes[static_cast<std::size_t>(selected)]; }
  std::string SelectedNamespace() override { return "cimv2"; }
  void SetNamespaceListEnabled(bool) override {}
  void SetTestButtonEnabled(bool) override {}
  void SetAllGetEnabled(bool) override {}
  int AutoClearValue() override { return 0; }
  void SetAutoClearValue(int) override {}

  std::vector<std::string> classes{"Win32_BIOS", "Win32_Processor", "Win32_Fan"};
  int selected = 0;
  std::vector<std::string> errors;
  std::vector<std::string> statuses;  // the status text at each yield
  std::function<void()> on_pump;

 protected:
  void PumpMessages() override {
    statuses.push_back(Status().text);
    if (on_pump) on_pump();
  }
  std::string ClassEntry(int index) override { return classes[static_cast<std::size_t>(index)]; }
  void StatusChanged() override {}
  void TitleChanged() override {}
  void ShowError(const std::string& text) override { errors.push_back(text); }

 private:
  queries::TextPane pane_;
};

class Form : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("pcinfo_front_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  wmi::RecordedProvider machine_{std::make_shared<const wmi::Snapshot>()};
};

TEST_F(Form, OpensACaptureInAJapaneseFolderAndNamesItInTheTitle) {
  PlainForm form(machine_, dir_ / "info");
  const fs::path folder = dir_ / fs::path(u8"山田") / fs::path(u8"デスクトップ");
  fs::create_directories(folder);
  fs::copy_file(std::string(PCINFO_TEST_DATA) + "/desktop.json", folder / fs::path(u8"記録.json"));
  EXPECT_EQ(form.Title(), "PC情報収集プログラム");
  ASSERT_TRUE(form.OpenCapture(folder / fs::path(u8"記録.json")));
  EXPECT_EQ(form.Title(), "PC情報収集プログラム - 記録.json");
  EXPECT_NE(&form.provider(), &machine_);
  // A file that is no capture: one error naming it, the capture stays.
  std::ofstream(folder / "bad.json") << "[1]";
  EXPECT_FALSE(form.OpenCapture(folder / "bad.json"));
  ASSERT_EQ(form.errors.size(), 1u);
  EXPECT_NE(form.errors[0].find("bad.json"), std::string::npos) << form.errors[0];
  EXPECT_EQ(form.CaptureName(), "記録.json");
}

TEST_F(Form, StatusLineFollowsAutoSaveAndEscStopsIt) {
  PlainForm form(machine_, dir_ / "info");
  form.ShowNotice("保存先: X");
  form.DumpFileFailed(dir_ / "A.txt", "disk full");
  form.on_pump = [&] {
    if (form.statuses.size() == 1) {
      EXPECT_FALSE(form.OpenCapture(dir_ / "late.json"));
      EXPECT_TRUE(form.Escape());
    }
  };
  browser::AutoSaveClick(form);
  // Stopped after the class at hand: one entry walked of the two after the first.
  EXPECT_EQ(form.selected, 1);
  ASSERT_FALSE(form.statuses.empty());
  EXPECT_EQ(form.statuses[0], "AutoSave 2 / 3 Win32_Processor\nEsc で中止");
  EXPECT_FALSE(form.BatchRunning());
  EXPECT_FALSE(form.Escape());
  const front::StatusLine idle = form.Status();
  EXPECT_FALSE(idle.batch);
  EXPECT_EQ(idle.text, "ダンプファイル 1 件を書けませんでした。最後: " + (dir_ / "A.txt").string() +
                           ": disk full\n実行中の処理が終わってから記録を開いてください: late.json\n"
                           "AutoSave: 2 / 3 で中止\n保存先: X");
  EXPECT_EQ(idle.text_rect.left, front::kStatusIdleRect.left);
}

TEST_F(Form, SavedTextReplacesTheOldFileOnlyWhenComplete) {
  std::string error;
  ASSERT_TRUE(front::SaveTextFile(dir_ / "out.txt", "a\r\nb\r\n", &error)) << error;
  std::ifstream in(dir_ / "out.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a\r\nb\r\n");
  fs::create_directories(dir_ / "taken.txt" / "inside");
  EXPECT_FALSE(front::SaveTextFile(dir_ / "taken.txt", "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.txt" / "inside"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);  // no part file left
}

}  // namespace
