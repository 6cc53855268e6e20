// The console companion's commands. Each takes the arguments after its name
// and returns the exit status; output goes to the given streams.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wmi/provider.h"

namespace cli {

// A bad argument, an unknown button or a snapshot that fails to load: the
// message becomes one line on stderr and the exit status is 2.
struct UsageError {
  std::string message;
};

struct Options {
  std::optional<std::string> from;  // --from SNAPSHOT
  std::vector<std::string> args;    // the command and its arguments
};

// The provider the options name: the snapshot, or the platform's live backend.
std::unique_ptr<wmi::Provider> OpenProvider(const Options& options);

// The program's own directory (where the `info` folder lies).
std::filesystem::path ProgramDirectory(const char* argv0);

int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace cli
