// The companion's class browser: the `classes` and `dump` commands, and the
// window stand-in the companion's commands run on.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "browser/window.h"
#include "cli/cli.h"
#include "queries/pane.h"

namespace cli {

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
  std::optional<std::filesystem::path> InfoDirectory() override { return info_; }

  const std::string& text() const { return pane_.text(); }

 private:
  queries::TextPane pane_;
  wmi::Provider& provider_;
  std::optional<std::string> class_name_;
  std::string ns_;
  std::optional<std::filesystem::path> info_;
};

// True for a plain class name: letters, digits and underscores, at least one.
bool IsPlainClassName(const std::string& name);

// `classes`: the catalogue, one name a line.
int ClassesCommand(std::ostream& out);

struct DumpArguments {
  std::string ns = "cimv2";         // --namespace NS
  std::optional<std::string> info;  // --info DIR
  std::string class_name;           // CLASS
};

// `dump [--namespace NS] [--info DIR] CLASS`. `program_dir` is the folder
// whose `info` folder is the default DIR.
int DumpCommand(const DumpArguments& args, const Options& options, const std::string& program_dir,
                std::ostream& out, std::ostream& err);

}  // namespace cli
