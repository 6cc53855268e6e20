#include "cli/dump_command.h"

#include <ostream>

#include "browser/browser.h"
#include "browser/catalogue.h"
#include "browser/code_page.h"
#include "cli/cli.h"

namespace cli {

void ConsoleWindow::SetDump(std::string class_name, std::string ns, std::filesystem::path info) {
  class_name_ = std::move(class_name);
  ns_ = std::move(ns);
  info_ = std::move(info);
}

bool IsPlainClassName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

int ClassesCommand(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 1) throw UsageError{"classes takes no arguments"};
  for (std::string_view name : browser::ClassCatalogue()) out << name << "\r\n";
  return 0;
}

int DumpCommand(const std::vector<std::string>& args, const std::optional<std::string>& from,
                const std::string& program_dir, std::ostream& out, std::ostream& err) {
  std::string ns = "cimv2";
  std::filesystem::path info = std::filesystem::path(program_dir) / "info";
  std::optional<std::string> class_name;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--namespace" || a == "--info") {
      if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
      if (a == "--namespace")
        ns = args[++i];
      else
        info = args[++i];
    } else if (class_name) {
      throw UsageError{"dump takes one class name"};
    } else {
      class_name = a;
    }
  }
  if (!class_name) throw UsageError{"dump needs a class name"};
  if (!IsPlainClassName(*class_name))
    throw UsageError{"not a class name (letters, digits and underscores only): " + *class_name};

  Options options;
  options.from = from;
  auto provider = OpenProvider(options);
  browser::AdoptUserLocale();
  ConsoleWindow window(*provider);
  window.SetDump(*class_name, ns, info);
  browser::Command61Click(window);
  out << window.text();
  if (window.failure()) {
    err << "pcinfo-cli: dump: cannot write " << *window.failure() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
