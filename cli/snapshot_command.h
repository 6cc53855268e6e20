// pcinfo-cli snapshot [--sanitize] [--sanitize-key FILE] [CLASS...].
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "wmi/recorded/snapshot.h"

namespace cli {

struct SnapshotArguments {
  bool sanitize = false;                    // --sanitize
  std::optional<std::string> sanitize_key;  // --sanitize-key FILE (implies --sanitize)
  std::optional<std::string> db;            // --db FILE|URI: loaded into the inventory, not written
  std::vector<std::string> classes;         // none: every class the buttons query, or all a --from capture holds
};

// The capture the options read, with its header: the time (now, or that of
// the capture it is made from), this program, the source, the machine's id,
// every property's CIM type.
wmi::Snapshot MakeCapture(const SnapshotArguments& args, const Options& options, std::ostream& err);

int SnapshotCommand(const SnapshotArguments& args, const Options& options, std::ostream& out, std::ostream& err);

}  // namespace cli
