#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/browser.h"
#include "cli/console_window.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#include "cli/export_command.h"
#include "cli/output_file.h"
#include "cli/snapshot_command.h"
#include "cli/summary_command.h"
#include "queries/buttons.h"
#include "queries/host.h"
#include "queries/procedures.h"
#include "wmi/error.h"
#include "wmi/live.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/utf8_path.h"

#ifdef PCINFO_LINUX_TREES
#include "wmi/linux/linux_provider.h"
#endif

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#ifndef PCINFO_VERSION
#define PCINFO_VERSION "0.0.0"
#endif

namespace cli {

namespace {

std::string AsciiLower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// Levenshtein distance, byte by byte.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

// How near a button is to a name that is no button's (lower is nearer; 0 is
// not near at all): its caption, the class it queries, its group, then its
// control name spelt a little differently ("comand10", "40").
int Nearness(const queries::Button& b, const std::string& name) {
  const std::string caption = AsciiLower(b.caption);
  std::string query = AsciiLower(b.query);
  const std::size_t from = query.rfind(' ', query.find_last_not_of(' '));
  std::string cls = from == std::string::npos ? query : query.substr(from + 1);
  cls.erase(cls.find_last_not_of(' ') + 1);
  if (caption == name) return 1;
  if (caption.find(name) != std::string::npos) return 2;
  if (cls == name || cls == "win32_" + name) return 2;
  if (cls.find(name) != std::string::npos) return 3;
  if (AsciiLower(b.group) == name) return 4;
  const std::string control = AsciiLower(b.control);
  const std::string digits = control.substr(std::string_view("command").size());
  const std::size_t distance = std::min(EditDistance(control, name), EditDistance(digits, name) + 1);
  if (distance <= std::max<std::size_t>(2, name.size() / 4)) return 5 + static_cast<int>(distance);
  return 0;
}

// Button names match without regard to case (command40 is Command40). An
// unknown name is answered with the nearest buttons, by control name and
// caption, on the same one line.
const queries::Button& ButtonNamed(const std::string& name) {
  for (const queries::Button& b : queries::Buttons())
    if (wmi::EqualsIgnoreCase(b.control, name)) return b;
  const std::string wanted = AsciiLower(name);
  std::vector<std::pair<int, const queries::Button*>> nearest;
  if (!wanted.empty())
    for (const queries::Button& b : queries::Buttons())
      if (const int n = Nearness(b, wanted)) nearest.emplace_back(n, &b);
  std::stable_sort(nearest.begin(), nearest.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::string message = "unknown button: " + name;
  constexpr std::size_t kShown = 3;
  for (std::size_t i = 0; i < nearest.size() && i < kShown; ++i) {
    message += i == 0 ? "; did you mean " : ", ";
    message += std::string(nearest[i].second->control) + " \"" + std::string(nearest[i].second->caption) + "\"";
  }
  message += nearest.empty() ? " (pcinfo-cli buttons lists them all)" : "? (pcinfo-cli buttons lists them all)";
  throw UsageError{message};
}

void RunButtons(wmi::Provider& provider, const std::vector<const queries::Button*>& buttons, std::ostream& out) {
  // No class list: the battery button's dump writes no file.
  ConsoleWindow window(provider);
  for (const queries::Button* b : buttons) browser::RunCategoryButton(window, *b);
  out << window.text();
}

int Buttons(std::ostream& out) {
  for (const queries::Button& b : queries::Buttons())
    out << b.control << '\t' << b.group << '\t' << b.caption << '\t' << b.query << "\r\n";
  return 0;
}

// The arguments of every command, filled by the parser.
struct Arguments {
  Options options;
  std::vector<std::string> buttons;  // run
  DumpArguments dump;
  SnapshotArguments snapshot;
  DiffArguments diff;
  ExportArguments export_;
  SummaryArguments summary;
};

constexpr std::string_view kFooter =
    "Exit status: 0 done; 1 the work ran but something could not be written\n"
    "(a dump file, the output); 2 bad usage or bad input. diff: 0 the same,\n"
    "1 different, 2 trouble.";

// The one line of a parse error, without CLI11's hint line.
std::string OneLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// The program's help: every command with its arguments, and every option, one
// line each.
std::string ProgramHelp(CLI::App& app) {
  std::ostringstream o;
  auto line = [&](std::string left, const std::string& right) {
    left.resize(std::max<std::size_t>(left.size() + 2, 36), ' ');
    o << left << right << "\n";
  };
  auto option_name = [](const CLI::Option* opt) {
    std::string name = opt->get_name(false, true);
    if (!opt->get_option_text().empty()) name += " " + opt->get_option_text();
    return name;
  };
  o << app.get_description() << "\n\nUsage: pcinfo-cli [OPTIONS] [COMMAND [ARGUMENTS]]"
    << " (options before or after the command)\n\nCommands:\n";
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    std::string left = "  " + sub->get_name();
    for (const CLI::Option* opt : sub->get_options())
      if (opt->get_positional()) {
        std::string name = opt->get_name() + (opt->get_items_expected_max() > 1 ? "..." : "");
        left += " " + (opt->get_required() ? name : "[" + name + "]");
      }
    line(left, sub->get_description());
    for (const CLI::Option* opt : sub->get_options())
      if (!opt->get_positional() && opt != sub->get_help_ptr())
        line("      " + option_name(opt), opt->get_description());
  }
  o << "\nOptions:\n";
  for (const CLI::Option* opt : app.get_options()) line("  " + option_name(opt), opt->get_description());
  line("  COMMAND --help", "Print the command's help and exit");
  o << "\n" << app.get_footer() << "\n";
  return o.str();
}

}  // namespace

const char* Version() { return PCINFO_VERSION; }

std::unique_ptr<wmi::Provider> OpenProvider(const Options& options) {
  if (options.from && options.tree) throw UsageError{"--from and --tree exclude each other"};
  if (options.from) {
    try {
      return wmi::RecordedProvider::FromFile(*options.from);
    } catch (const wmi::SnapshotError& e) {
      throw UsageError{e.what()};
    }
  }
  if (options.tree) {
#ifdef PCINFO_LINUX_TREES
    std::error_code ec;
    if (!std::filesystem::is_directory(*options.tree, ec)) throw UsageError{"--tree: not a folder: " + *options.tree};
    return wmi::lx::LinuxProvider::ForTree(*options.tree);
#else
    throw UsageError{"--tree: this build has no Linux backend to read a tree with"};
#endif
  }
  try {
    return wmi::MakeLiveProvider();
  } catch (const wmi::Error& e) {
    throw UsageError{e.what()};
  }
}

std::filesystem::path ProgramDirectory(const char* argv0) {
  std::error_code ec;
#ifdef _WIN32
  std::filesystem::path self;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      self = std::filesystem::absolute(wmi::PathFromUtf8(argv0), ec);
      break;
    }
    if (n < buffer.size()) {
      self = std::filesystem::path(buffer.substr(0, n));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
#else
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) self = std::filesystem::absolute(argv0, ec);
#endif
  return self.parent_path();
}

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Arguments a;
  CLI::App app{"pcinfo-cli: PC information from WMI (or Linux's own sources, or a snapshot), as the window shows it.",
               "pcinfo-cli"};
  app.footer(std::string(kFooter));
  app.require_subcommand(0, 1);  // no command: the summary
  app.set_version_flag("--version", std::string("pcinfo-cli ") + PCINFO_VERSION, "Print the version and exit");
  app.set_help_flag("-h,--help", "Print this help and exit");

  // Options common to all commands; they may stand before or after the command.
  auto optional = [](CLI::App* to, const char* name, std::optional<std::string>& value, const char* text,
                     const char* description) {
    return to
        ->add_option_function<std::string>(
            name, [&value](const std::string& v) { value = v; }, description)
        ->option_text(text);
  };
  optional(&app, "--from", a.options.from, "SNAPSHOT", "Read the recorded SNAPSHOT instead of this machine");
  optional(&app, "--tree", a.options.tree, "DIR", "Read the captured Linux tree below DIR instead of this machine");
  optional(&app, "-o,--output", a.options.output, "FILE", "Write what stdout would get to FILE");

  auto command = [&](const char* name, const char* description) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->fallthrough();
    sub->set_help_flag("-h,--help", "Print this command's help and exit");
    return sub;
  };

  CLI::App* summary = command("summary", "The machine in one screen (the default command)");
  summary->add_flag("--json", a.summary.json, "JSON for programs, with the raw values beside the words");
  CLI::App* run = command("run", "Pane text of the named buttons (Command1 to Command63), in order");
  run->add_option("BUTTON", a.buttons, "Button names, without regard to case")->required()->expected(1, -1);
  CLI::App* all = command("all", "Pane text of Command1 to Command60, in order");
  CLI::App* buttons = command("buttons", "The button table: control, group, caption, query text");
  CLI::App* classes = command("classes", "The class catalogue, one name a line");
  CLI::App* dump = command("dump", "Class dump: pane text, and DIR/CLASS.txt");
  dump->add_option("--namespace", a.dump.ns, "Namespace below root (default cimv2)")->option_text("NS");
  optional(dump, "--info", a.dump.info, "DIR", "Folder of the dump file (default: info beside the program)");
  dump->add_option("CLASS", a.dump.class_name, "The class to dump")->required();
  CLI::App* snapshot = command("snapshot", "Capture the classes (default: those the buttons query) as a snapshot");
  snapshot->add_flag("--sanitize", a.snapshot.sanitize,
                     "Mask serial numbers, UUIDs, addresses, host, domain and user names, SIDs");
  optional(snapshot, "--sanitize-key", a.snapshot.sanitize_key, "FILE",
           "Sanitize with the site key in FILE (made when missing): one value, one mask in every capture");
  optional(snapshot, "--db", a.snapshot.db, "FILE|URI",
           "Load the capture into the inventory (SQLite file or postgresql:// URI) instead of writing it");
  snapshot->add_option("CLASS", a.snapshot.classes, "Classes to capture");
  snapshot->footer("Name a capture NAME.pcinfo.json: a file manager then opens it in the window, pcinfo.");
  CLI::App* diff = command("diff", "What changed between two captures");
  diff->add_flag("--all", a.diff.all, "Include values that change by themselves (free space, clocks, load, time)");
  diff->add_flag("--json", a.diff.json, "JSON for programs instead of text");
  diff->add_option("A", a.diff.before, "The earlier capture")->required();
  diff->add_option("B", a.diff.after, "The later capture")->required();
  CLI::App* exp = command("export", "Load captures into an inventory database, or one class of them as CSV");
  auto* db = optional(exp, "--db", a.export_.db, "FILE|URI",
                      "The SQLite database (created when missing) or a postgresql:// URI");
  auto* csv = optional(exp, "--csv", a.export_.csv_class, "CLASS", "Write this class of every capture as CSV");
  db->excludes(csv);
  exp->add_option("CAPTURE", a.export_.captures, "Snapshot files")->required()->expected(1, -1);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    // The program's help lists every command with its options; a command's
    // help lists its own.
    if (app.get_subcommands().empty())
      out << ProgramHelp(app);
    else
      out << app.help();
    return 0;
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << "\n";
    return 0;
  } catch (const CLI::ParseError& e) {
    std::vector<std::string> rest = app.remaining();
    if (app.get_subcommands().empty() && !rest.empty() && !rest.front().starts_with("-"))
      err << "pcinfo-cli: unknown command: " << rest.front() << " (see pcinfo-cli --help)\n";
    else
      err << "pcinfo-cli: " << OneLine(e.what()) << " (see pcinfo-cli --help)\n";
    return 2;
  }

  // What the command writes goes to stdout, or with -o to FILE once it is done.
  std::ostringstream to_file;
  std::ostream& sink = a.options.output ? static_cast<std::ostream&>(to_file) : out;
  int status = 0;
  try {
    if (a.options.from && a.options.tree) throw UsageError{"--from and --tree exclude each other"};
    if (*summary || app.get_subcommands().empty()) {
      status = SummaryCommand(a.summary, a.options, sink);
    } else if (*run) {
      std::vector<const queries::Button*> list;
      for (const std::string& name : a.buttons) list.push_back(&ButtonNamed(name));
      auto provider = OpenProvider(a.options);
      RunButtons(*provider, list, sink);
    } else if (*all) {
      std::vector<const queries::Button*> list;
      for (const queries::Button& b : queries::BatchButtons()) list.push_back(&b);
      auto provider = OpenProvider(a.options);
      RunButtons(*provider, list, sink);
    } else if (*buttons) {
      status = Buttons(sink);
    } else if (*classes) {
      status = ClassesCommand(sink);
    } else if (*dump) {
      status = DumpCommand(a.dump, a.options, ProgramDirectory(argv[0]), sink, err);
    } else if (*snapshot) {
      status = SnapshotCommand(a.snapshot, a.options, sink, err);
    } else if (*diff) {
      status = DiffCommand(a.diff, sink);
    } else if (*exp) {
      status = ExportCommand(a.export_, sink, err);
    }
  } catch (const UsageError& e) {
    err << "pcinfo-cli: " << e.message << "\n";
    return 2;
  } catch (const WriteError& e) {
    err << "pcinfo-cli: " << e.message << "\n";
    return 1;
  }

  // Written is not done until the stream says so (a full disk, a closed pipe).
  const int write_failed = *diff ? 2 : 1;
  if (a.options.output) {
    // Whole or not at all: on failure the file keeps what it held.
    if (std::string why = WriteWholeFile(wmi::PathFromUtf8(*a.options.output), to_file.str()); !why.empty()) {
      err << "pcinfo-cli: cannot write " << *a.options.output << ": " << why << "\n";
      return write_failed;
    }
  } else {
    out.flush();
    if (!out) {
      err << "pcinfo-cli: cannot write the output\n";
      return write_failed;
    }
  }
  return status;
}

}  // namespace cli
