// The window's command line: pcinfo [--from SNAPSHOT]
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace front {

inline constexpr char kWindowUsage[] = "pcinfo [--from SNAPSHOT]";

struct CommandLine {
  std::optional<std::string> from;  // the capture to show instead of this machine
  std::string error;                // "" when the arguments are fine
};

// `args` without the program name and without the toolkit's own options.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace front
