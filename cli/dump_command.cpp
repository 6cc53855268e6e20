#include "cli/dump_command.h"

#include <ostream>

#include "browser/browser.h"
#include "browser/catalogue.h"
#include "browser/code_page.h"
#include "cli/cli.h"
#include "cli/console_window.h"
#include "wmi/utf8_path.h"

namespace cli {

bool IsPlainClassName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

int ClassesCommand(std::ostream& out) {
  for (std::string_view name : browser::ClassCatalogue()) out << name << "\r\n";
  return 0;
}

int DumpCommand(const DumpArguments& args, const Options& options, const std::filesystem::path& program_dir,
                std::ostream& out, std::ostream& err) {
  if (!IsPlainClassName(args.class_name))
    throw UsageError{"not a class name (letters, digits and underscores only): " + args.class_name};
  std::filesystem::path info;
  if (args.info) {
    info = wmi::PathFromUtf8(*args.info);
  } else {
    const ConsoleInfo chosen = ConsoleInfoFolder(program_dir);
    info = chosen.path;
    if (chosen.per_user)
      err << "pcinfo-cli: dump: " << wmi::Utf8FromPath(program_dir / "info") << " cannot be written; the file goes to "
          << wmi::Utf8FromPath(info) << "\n";
  }

  auto provider = OpenProvider(options);
  browser::AdoptUserLocale();
  ConsoleWindow window(*provider);
  window.SetDump(args.class_name, args.ns, info);
  browser::Command61Click(window);
  out << window.text();
  if (window.failure()) {
    err << "pcinfo-cli: dump: cannot write " << *window.failure() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
