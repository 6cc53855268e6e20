// Runs the console companion in-process, as `pcinfo-cli ARGS...` would.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace testing_support {

struct CliResult {
  int status;
  std::string out, err;
};

inline CliResult RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), "pcinfo-cli");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  int status = cli::Run(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

}  // namespace testing_support
