// pcinfo-cli snapshot [--sanitize] [CLASS...].
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace cli {

struct SnapshotArguments {
  bool sanitize = false;             // --sanitize
  std::vector<std::string> classes;  // none: every class the buttons query
};

int SnapshotCommand(const SnapshotArguments& args, const Options& options, std::ostream& out, std::ostream& err);

}  // namespace cli
