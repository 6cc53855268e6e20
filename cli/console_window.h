// The window stand-in every console command runs on.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "browser/window.h"
#include "queries/pane.h"
#include "wmi/utf8_path.h"

namespace cli {

// The folder of `dump`'s file when --info names none: `info` beside the
// program, or, where that cannot be written (a program in a system folder or
// on a read-only share), the window's per-user folder; `per_user` says which.
struct ConsoleInfo {
  std::filesystem::path path;
  bool per_user = false;
};
ConsoleInfo ConsoleInfoFolder(const std::filesystem::path& program_dir);

// A window with no message pump and auto-clear off. Its class list holds at
// most one entry (the class a dump names), selected; with none it writes no
// dump file.
class ConsoleWindow : public browser::Window {
 public:
  explicit ConsoleWindow(wmi::Provider& provider) : provider_(provider) {}

  // For `dump`: the one class, its namespace and the folder of its file.
  void SetDump(std::string class_name, std::string ns, std::filesystem::path info);

  queries::Pane& pane() override { return pane_; }
  wmi::Provider& provider() override { return provider_; }
  void Yield() override {}
  int ClassCount() override { return class_name_ ? 1 : 0; }
  int SelectedClassIndex() override { return class_name_ ? 0 : -1; }
  void SelectClass(int) override {}
  std::string SelectedClass() override { return class_name_.value_or(""); }
  std::string SelectedNamespace() override { return ns_; }
  void SetNamespaceListEnabled(bool) override {}
  void SetTestButtonEnabled(bool) override {}
  void SetAllGetEnabled(bool) override {}
  int AutoClearValue() override { return 0; }
  void SetAutoClearValue(int) override {}
  // Made when missing, as the window makes its own; a folder that cannot be
  // made leaves the dump file to fail with the reason.
  std::optional<std::filesystem::path> InfoDirectory() override;
  void DumpFileFailed(const std::filesystem::path& file, const std::string& reason) override {
    if (!failure_) failure_ = wmi::Utf8FromPath(file) + ": " + reason;
  }

  // The first dump file that could not be written and why, if any.
  const std::optional<std::string>& failure() const { return failure_; }

  const std::string& text() const { return pane_.text(); }

 private:
  queries::TextPane pane_;
  wmi::Provider& provider_;
  std::optional<std::string> class_name_;
  std::string ns_;
  std::optional<std::filesystem::path> info_;
  std::optional<std::string> failure_;
};

}  // namespace cli
