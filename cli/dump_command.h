// The companion's class browser: the `classes` and `dump` commands.
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
// whose `info` folder is the default DIR; DIR is made when missing. When the
// file cannot be written the pane text is still printed, one line on `err`
// says why, and the status is 1. When the namespace or the class is not there
// the pane shows the failed query, one line on `err` says which, no file is
// written (an old one stays) and the status is 2, as for other bad input.
int DumpCommand(const DumpArguments& args, const Options& options, const std::filesystem::path& program_dir,
                std::ostream& out, std::ostream& err);

}  // namespace cli
