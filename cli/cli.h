// The console companion's commands. Run parses the command line and returns
// the exit status: 0 done; 1 the work ran but something could not be written
// (a dump file, the output); 2 bad usage or bad input. Output goes to the
// given streams.
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

// Something the work produced could not be written: one line on stderr and
// the exit status 1.
struct WriteError {
  std::string message;
};

// The options every command sees, wherever they stand on the command line.
struct Options {
  std::optional<std::string> from;    // --from SNAPSHOT
  std::optional<std::string> tree;    // --tree DIR: a captured or synthetic Linux tree
  std::optional<std::string> output;  // -o FILE: what stdout would get, written to FILE
};

// The provider the options name: the snapshot, the Linux tree, or the
// platform's live backend.
std::unique_ptr<wmi::Provider> OpenProvider(const Options& options);

// The program's own directory (where the `info` folder lies).
std::filesystem::path ProgramDirectory(const char* argv0);

// The program's version, from the build.
const char* Version();

int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace cli
