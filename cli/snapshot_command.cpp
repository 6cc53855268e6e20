// pcinfo-cli snapshot [--sanitize] [CLASS...]: the provider's answer (the live backend, or
// the --from snapshot) written as a snapshot file on stdout, so that a machine
// can be captured and replayed anywhere with --from. Without classes it takes
// every class the buttons query.
#include "cli/snapshot_command.h"

#include <ostream>

#include "cli/console.h"
#include "cli/sanitize.h"
#include "queries/buttons.h"
#include "wmi/error.h"
#include "wmi/recorded/capture.h"

namespace cli {

int SnapshotCommand(const SnapshotArguments& args, const Options& options, std::ostream& out, std::ostream& err) {
  std::vector<std::string> classes = args.classes;
  const bool defaults = classes.empty();
  if (defaults) classes = queries::QueriedClasses();
  auto provider = OpenProvider(options);
  wmi::Snapshot snapshot;
  try {
    snapshot = wmi::CaptureSnapshot(*provider, "root\\cimv2", classes);
  } catch (const wmi::Error& e) {
    throw UsageError{e.what()};
  }
  // A class the provider does not have stays out, so that it fails on replay
  // too. With the default list such classes are expected: no message.
  if (!defaults) {
    for (const std::string& name : classes) {
      bool kept = false;
      for (const auto& c : snapshot.namespaces[0].classes) kept = kept || wmi::EqualsIgnoreCase(c.name, name);
      if (!kept) err << "pcinfo-cli: snapshot: " << name << " left out: the provider does not answer it\n";
    }
  }
  if (args.sanitize) Sanitize(snapshot);
  // ASCII: any shell's redirection carries it (PowerShell 5.1's > included).
  out << AsciiJson(wmi::SerializeSnapshot(snapshot));
  return 0;
}

}  // namespace cli
