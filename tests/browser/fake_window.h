// A window for the class browser's tests: lists and controls held in memory,
// a message pump that records each yield and can run a user's action there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/browser.h"
#include "browser/catalogue.h"
#include "queries/pane.h"
#include "tests/support/test_host.h"
#include "wmi/recorded/snapshot.h"

namespace browser_test {

inline std::string DataFile(const std::string& name) { return std::string(PCINFO_TEST_DATA) + "/browser/" + name; }

inline std::vector<std::string> Catalogue() {
  std::vector<std::string> names;
  for (std::string_view n : browser::ClassCatalogue()) names.emplace_back(n);
  return names;
}

using testing_support::Lines;

inline std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh folder standing in for `info`, removed at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("pcinfo_browser_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }
  std::size_t FileCount() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }

 private:
  std::filesystem::path path_;
};

class FakeWindow : public browser::Window {
 public:
  FakeWindow(std::shared_ptr<wmi::Provider> provider, std::vector<std::string> classes,
             std::optional<std::filesystem::path> info)
      : provider_(std::move(provider)), classes_(std::move(classes)), info_(std::move(info)) {}

  queries::Pane& pane() override { return pane_; }
  wmi::Provider& provider() override { return *provider_; }

  void Yield() override {
    yield_lines.push_back(Lines(pane_.text()).size());
    yield_visible.push_back(pane_.visible());
    if (on_yield) {
      auto action = on_yield;  // an action may replace itself
      action();
    }
  }

  int ClassCount() override { return static_cast<int>(classes_.size()); }
  int SelectedClassIndex() override { return selected_; }
  void SelectClass(int index) override {
    ASSERT_GE(index, -1);
    ASSERT_LT(index, ClassCount()) << "selection set past the last entry";
    selected_ = index;
    browser::List1Click(*this);
  }
  std::string SelectedClass() override { return selected_ < 0 ? "" : classes_[static_cast<std::size_t>(selected_)]; }
  std::string SelectedNamespace() override { return ns; }

  void SetNamespaceListEnabled(bool e) override { log.push_back(std::string("List2 ") + (e ? "on" : "off")); }
  void SetTestButtonEnabled(bool e) override {
    log.push_back(std::string("Command61 ") + (e ? "on" : "off"));
    if (!e) ++dumps_started;
  }
  void SetAllGetEnabled(bool e) override {
    log.push_back(std::string("cmdAllGet ") + (e ? "on" : "off"));
    all_get_enabled = e;
  }
  int AutoClearValue() override { return auto_clear; }
  void SetAutoClearValue(int v) override {
    log.push_back("chkClear " + std::to_string(v));
    auto_clear = v;
  }
  std::optional<std::filesystem::path> InfoDirectory() override { return info_; }
  void DumpFileFailed(const std::filesystem::path& file, const std::string& reason) override {
    dump_failures.push_back({file, reason});
  }

  void BatchStarted(std::string_view name) override { batches.emplace_back(name); }
  void BatchProgress(int step, int total) override { progress.emplace_back(step, total); }
  void BatchEnded() override { batches.emplace_back("end"); }
  bool StopRequested() override { return stop_when && stop_when(); }

  // Sets the selection without raising the click, as a test's starting point.
  void PlaceSelection(int index) { selected_ = index; }

  queries::TextPane pane_;
  std::string ns = "cimv2";
  int auto_clear = 1;
  bool all_get_enabled = true;
  int dumps_started = 0;
  std::vector<std::string> log;
  std::vector<std::size_t> yield_lines;
  std::vector<bool> yield_visible;
  std::function<void()> on_yield;
  std::vector<std::string> batches;           // names of started batches, "end" at each end
  std::vector<std::pair<int, int>> progress;  // step, total
  std::function<bool()> stop_when;
  struct DumpFailure {
    std::filesystem::path file;
    std::string reason;
  };
  std::vector<DumpFailure> dump_failures;

 private:
  std::shared_ptr<wmi::Provider> provider_;
  std::vector<std::string> classes_;
  int selected_ = -1;
  std::optional<std::filesystem::path> info_;
};

inline std::shared_ptr<wmi::Provider> MachineProvider() {
  return std::shared_ptr<wmi::Provider>(wmi::RecordedProvider::FromFile(DataFile("machine.json")));
}

}  // namespace browser_test
