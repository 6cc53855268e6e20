#include "front/command_line.h"

namespace front {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  // --help and --version answer whatever else stands beside them.
  CommandLine line;
  bool options = true;
  auto fail = [&line](std::string error) {
    if (line.error.empty()) line.error = std::move(error);
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::optional<std::string> from;
    if (options && (a == "--help" || a == "-h")) {
      line.help = true;
    } else if (options && a == "--version") {
      line.version = true;
    } else if (options && a == "--") {
      options = false;
    } else if (options && a == "--from") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        fail("--from needs a snapshot file");
      else
        from = args[++i];
    } else if (options && a.starts_with("--from=")) {
      if (a.size() == 7)
        fail("--from needs a snapshot file");
      else
        from = a.substr(7);
    } else if (options && a.size() > 1 && a.starts_with("-")) {
      fail("unknown option: " + a);
    } else if (a.empty()) {
      fail("an empty argument");
    } else {
      from = a;
    }
    if (!from) continue;
    if (line.from) fail("one snapshot at a time");
    line.from = from;
  }
  if (line.help) return {{}, {}, true, false};
  if (line.version) return {{}, {}, false, true};
  if (!line.error.empty()) line.from.reset();
  return line;
}

}  // namespace front
