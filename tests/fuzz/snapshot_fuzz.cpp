// The snapshot loader on any bytes: a refused snapshot is a SnapshotError and
// nothing else; an accepted one serializes and reads back to the same text,
// and every button and a dump of each of its classes (file included) run on it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "browser/browser.h"
#include "cli/console_window.h"
#include "cli/dump_command.h"
#include "queries/buttons.h"
#include "wmi/recorded/snapshot.h"

namespace {

const std::filesystem::path& InfoFolder() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("pcinfo-fuzz-info-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  wmi::Snapshot snapshot;
  try {
    snapshot = wmi::ParseSnapshot(text, "fuzz.json");
  } catch (const wmi::SnapshotError&) {
    return 0;
  }
  const std::string once = wmi::SerializeSnapshot(snapshot);
  wmi::Snapshot again = wmi::ParseSnapshot(once, "again.json");  // must not throw
  if (wmi::SerializeSnapshot(again) != once) std::abort();

  wmi::RecordedProvider provider(std::make_shared<const wmi::Snapshot>(std::move(again)));
  {
    cli::ConsoleWindow window(provider);
    for (const queries::Button& b : queries::Buttons()) browser::RunCategoryButton(window, b);
  }
  int dumps = 0;
  for (const auto& ns : snapshot.namespaces) {
    for (const auto& cls : ns.classes) {
      if (++dumps > 8) return 0;
      cli::ConsoleWindow window(provider);
      std::string below_root = ns.name.size() > 5 ? ns.name.substr(5) : "";
      window.SetDump(cli::IsPlainClassName(cls.name) ? cls.name : "Fuzz_Class", below_root, InfoFolder());
      browser::DumpWmiClass(window, "", below_root, cls.name);
    }
  }
  return 0;
}
