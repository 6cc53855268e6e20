#include "cli/cli.h"

#include <filesystem>
#include <ostream>
#include <string_view>

#include "browser/browser.h"
#include "cli/dump_command.h"
#include "cli/snapshot_command.h"
#include "queries/buttons.h"
#include "queries/host.h"
#include "queries/procedures.h"
#include "wmi/error.h"
#include "wmi/live.h"
#include "wmi/recorded/snapshot.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace cli {

namespace {

constexpr std::string_view kUsage =
    "usage: pcinfo-cli [--from SNAPSHOT] run CommandN... | all | buttons | classes"
    " | dump [--namespace NS] [--info DIR] CLASS";

Options ParseOptions(int argc, char** argv) {
  Options o;
  int i = 1;
  while (i < argc) {
    std::string_view a = argv[i];
    if (a == "--from") {
      if (i + 1 >= argc) throw UsageError{"--from needs a snapshot file"};
      o.from = argv[i + 1];
      i += 2;
    } else if (a.starts_with("--from=")) {
      o.from = std::string(a.substr(7));
      ++i;
    } else {
      break;
    }
  }
  for (; i < argc; ++i) o.args.emplace_back(argv[i]);
  if (o.args.empty()) throw UsageError{std::string(kUsage)};
  return o;
}

const queries::Button& ButtonNamed(const std::string& name) {
  const queries::Button* b = queries::FindButton(name);
  if (!b) throw UsageError{"unknown button: " + name};
  return *b;
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

}  // namespace

std::unique_ptr<wmi::Provider> OpenProvider(const Options& options) {
  if (options.from) {
    try {
      return wmi::RecordedProvider::FromFile(*options.from);
    } catch (const wmi::SnapshotError& e) {
      throw UsageError{e.what()};
    }
  }
  try {
    return wmi::MakeLiveProvider();
  } catch (const wmi::Error& e) {
    throw UsageError{e.what()};
  }
}

std::string ProgramDirectory(const char* argv0) {
  std::error_code ec;
#ifdef _WIN32
  std::filesystem::path self;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      self = std::filesystem::absolute(argv0, ec);
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
  return self.parent_path().string();
}

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  try {
    Options o = ParseOptions(argc, argv);
    const std::string& cmd = o.args[0];
    if (cmd == "buttons") return Buttons(out);
    if (cmd == "classes") return ClassesCommand(o.args, out);
    if (cmd == "dump") return DumpCommand(o.args, o.from, ProgramDirectory(argv[0]), out, err);
    if (cmd == "snapshot") return SnapshotCommand(o, out, err);
    if (cmd == "run" || cmd == "all") {
      std::vector<const queries::Button*> buttons;
      if (cmd == "run") {
        if (o.args.size() < 2) throw UsageError{"run needs one or more button names"};
        for (std::size_t i = 1; i < o.args.size(); ++i) buttons.push_back(&ButtonNamed(o.args[i]));
      } else {
        if (o.args.size() != 1) throw UsageError{"all takes no arguments"};
        for (int n = 1; n <= 60; ++n) buttons.push_back(&ButtonNamed("Command" + std::to_string(n)));
      }
      auto provider = OpenProvider(o);
      RunButtons(*provider, buttons, out);
      return 0;
    }
    throw UsageError{"unknown command: " + cmd + " (" + std::string(kUsage) + ")"};
  } catch (const UsageError& e) {
    err << "pcinfo-cli: " << e.message << "\n";
    return 2;
  }
}

}  // namespace cli
