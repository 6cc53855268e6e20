#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "cli/console.h"

#ifdef _WIN32
#include "wmi/windows/com.h"
#include "wmi/windows/wbem.h"
#endif

namespace {

// The options of the program's start, taken out of the command line before
// the commands read it; they may stand anywhere.
struct StartOptions {
  cli::RedirectedEncoding encoding = cli::RedirectedEncoding::ConsoleCodePage;
  long timeout_seconds = 120;  // 0: no bound
  bool help = false;
  std::string error;  // a bad value
};

constexpr std::string_view kStartHelp =
    "\nOptions of every command:\n"
    "  --timeout SECONDS                 Give up a class whose provider has not answered for SECONDS\n"
    "                                    (default 120, 0 for no bound): it is skipped and named on stderr\n"
    "  --encoding utf8                   Redirected output in UTF-8; by default, on Windows, in the\n"
    "                                    console's code page (932 on a Japanese machine), as Windows\n"
    "                                    PowerShell 5.1, more and findstr read it\n"
    "\nTo keep the text whole in a file, let the program write it: pcinfo-cli all -o all.txt, or\n"
    "pcinfo-cli snapshot -o pc.json (UTF-8, whatever the shell), rather than \"> all.txt\".\n";

StartOptions TakeStartOptions(std::vector<std::string>& args) {
  StartOptions o;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i > 0 && (a == "-h" || a == "--help")) o.help = true;
    auto value = [&](std::string_view name, std::string& out) {
      if (a == name) {
        if (i + 1 >= args.size()) {
          o.error = std::string(name) + " needs a value";
          return true;
        }
        out = args[++i];
        return true;
      }
      if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
        out = a.substr(name.size() + 1);
        return true;
      }
      return false;
    };
    std::string v;
    if (i > 0 && value("--encoding", v)) {
      if (v == "utf8" || v == "utf-8" || v == "UTF-8")
        o.encoding = cli::RedirectedEncoding::Utf8;
      else if (v == "console")
        o.encoding = cli::RedirectedEncoding::ConsoleCodePage;
      else if (o.error.empty())
        o.error = "--encoding: utf8 or console, not " + v;
    } else if (i > 0 && value("--timeout", v)) {
      char* end = nullptr;
      const long seconds = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || seconds < 0 || seconds > 86400) {
        if (o.error.empty()) o.error = "--timeout: a number of seconds from 0 to 86400, not " + v;
      } else {
        o.timeout_seconds = seconds;
      }
    } else {
      rest.push_back(a);
    }
  }
  args = std::move(rest);
  return o;
}

int RunWith(std::vector<std::string> args, const StartOptions& start, std::ostream& out, std::ostream& err) {
  if (!start.error.empty()) {
    err << "pcinfo-cli: " << start.error << " (see pcinfo-cli --help)\n";
    return 2;
  }
#ifdef _WIN32
  const long seconds = start.timeout_seconds;
  wmi::windows::SetWaitLimit(std::chrono::seconds(seconds), [&err, seconds](const std::string& what) {
    err << "pcinfo-cli: " << what << ": no answer within " << seconds << " s, skipped\n";
  });
#endif
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  const int status = cli::Run(static_cast<int>(args.size()), pointers.data(), out, err);
  if (start.help && status == 0) out << kStartHelp;
  return status;
}

}  // namespace

#ifdef _WIN32
// The command line as UTF-16, so that a folder or class named in any script
// arrives whole; the rest of the program reads it as UTF-8.
int wmain(int argc, wchar_t** argv) {
  // COM and its security before anything else can touch them; left at the
  // end of wmain, not at exit.
  wmi::windows::ComStart com(wmi::windows::Apartment::Multithreaded, wmi::windows::Security::SetForProcess);
  std::vector<std::string> args = cli::Utf8Arguments(argc, argv);
  const StartOptions start = TakeStartOptions(args);
  cli::PrepareConsole(start.encoding);
  cli::StandardStreams streams;
  return RunWith(std::move(args), start, streams.out(), streams.err());
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  const StartOptions start = TakeStartOptions(args);
  cli::PrepareConsole(start.encoding);
  cli::StandardStreams streams;
  return RunWith(std::move(args), start, streams.out(), streams.err());
}
#endif
