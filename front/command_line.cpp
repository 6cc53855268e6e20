#include "front/command_line.h"

namespace front {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::optional<std::string> from;
    if (a == "--from") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return {{}, "--from needs a snapshot file"};
      from = args[++i];
    } else if (a.starts_with("--from=")) {
      from = a.substr(7);
      if (from->empty()) return {{}, "--from needs a snapshot file"};
    } else {
      return {{}, "unknown argument: " + a};
    }
    if (line.from) return {{}, "--from given twice"};
    line.from = from;
  }
  return line;
}

}  // namespace front
