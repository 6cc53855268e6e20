// The window's command line: pcinfo [--from] [SNAPSHOT] | --help | --version
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace front {

inline constexpr char kWindowUsage[] = "pcinfo [--from SNAPSHOT | SNAPSHOT] | --help | --version";

// What --help prints.
inline constexpr char kWindowHelp[] =
    "pcinfo: the window \"PC情報収集プログラム\": 61 buttons of WMI queries and the class browser.\n"
    "\n"
    "Usage: pcinfo [--from SNAPSHOT | SNAPSHOT]\n"
    "\n"
    "  --from SNAPSHOT, SNAPSHOT  Show the recorded SNAPSHOT (pcinfo-cli snapshot) instead of this machine\n"
    "  -h, --help                 Print this help and exit\n"
    "  --version                  Print the version and exit\n"
    "\n"
    "Keys: Esc stops a running batch, Ctrl+S saves the result pane, Ctrl+F finds in it.\n"
    "A capture dropped on the window is opened. Dump files go to the info folder beside\n"
    "the program, or to $XDG_DATA_HOME/pcinfo/info where that cannot be written.\n"
    "See pcinfo(1); pcinfo-cli gives the same information on a console.\n";

struct CommandLine {
  std::optional<std::string> from;  // the capture to show instead of this machine
  std::string error;                // "" when the arguments are fine
  bool help = false;                // --help or -h, wherever it stands
  bool version = false;             // --version
};

// `args` without the program name and without the toolkit's own options. A
// bare argument is the capture, as after --from (a file manager passes the
// file so); "--" ends the options.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace front
