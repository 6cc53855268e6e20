#include "cli/dump_command.h"

#include <optional>
#include <ostream>
#include <string>

#include "browser/browser.h"
#include "browser/catalogue.h"
#include "browser/code_page.h"
#include "cli/cli.h"
#include "cli/console_window.h"
#include "wmi/error.h"
#include "wmi/provider.h"
#include "wmi/utf8_path.h"

namespace cli {

bool IsPlainClassName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

namespace {

// Why the dump's query failed, when the pane shows that it did (the header and
// one separator: no instance, no property line): no such namespace, no such
// class, or what the provider said.
std::optional<std::string> QueryFailure(const std::string& pane, wmi::Provider& provider, const std::string& ns,
                                        const std::string& class_name) {
  std::size_t lines = 0;
  for (auto p = pane.find(queries::kLineEnd); p != std::string::npos; p = pane.find(queries::kLineEnd, p + 1)) ++lines;
  if (lines != 2) return std::nullopt;
  const std::string where = "root\\" + ns;
  try {
    auto connection = provider.Connect("winmgmts:\\\\.\\" + where);
    auto results = connection->ExecQuery("Select * from " + class_name, wmi::kCategoryFlags);
    (void)results->Next();
  } catch (const wmi::Error& e) {
    if (e.code() == wmi::ErrorCode::ConnectFailed) return "no namespace " + where;
    if (e.code() == wmi::ErrorCode::InvalidClass || e.code() == wmi::ErrorCode::InvalidQuery)
      return "no class " + class_name + " in " + where;
    return class_name + ": " + e.what();
  }
  return std::nullopt;  // the class is there now
}

}  // namespace

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
  if (auto why = QueryFailure(window.text(), *provider, args.ns, args.class_name)) {
    err << "pcinfo-cli: dump: " << *why << "\n";
    return 2;
  }
  if (window.failure()) {
    err << "pcinfo-cli: dump: cannot write " << *window.failure() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace cli
