// pcinfo-cli snapshot [CLASS...].
#pragma once

#include <iosfwd>

#include "cli/cli.h"

namespace cli {

int SnapshotCommand(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace cli
