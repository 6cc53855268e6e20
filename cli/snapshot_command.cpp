// pcinfo-cli snapshot [--sanitize] [CLASS...]: the provider's answer (the live backend, or
// the --from snapshot) written as a snapshot file on stdout, so that a machine
// can be captured and replayed anywhere with --from. Without classes it takes
// every class the buttons query (from a --from capture: every class it holds).
#include "cli/snapshot_command.h"

#include <filesystem>
#include <ostream>

#include "cli/capture_header.h"
#include "cli/console.h"
#include "cli/export_command.h"
#include "cli/inventory.h"
#include "cli/sanitize.h"
#include "queries/buttons.h"
#include "wmi/error.h"
#include "wmi/recorded/capture.h"
#include "wmi/utf8_path.h"

namespace cli {

namespace {

const char* LiveSource() {
#ifdef _WIN32
  return "wmi";
#else
  return "linux";
#endif
}

}  // namespace

wmi::Snapshot MakeCapture(const SnapshotArguments& args, const Options& options, std::ostream& err) {
  std::vector<std::string> classes = args.classes;
  const bool defaults = classes.empty();
  auto provider = OpenProvider(options);
  const auto* recorded = dynamic_cast<const wmi::RecordedProvider*>(provider.get());
  wmi::Snapshot snapshot;
  if (recorded && defaults) {
    // A capture of a capture keeps every class of every namespace it holds.
    snapshot = recorded->snapshot();
  } else {
    if (defaults) classes = queries::QueriedClasses();
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
    if (recorded)  // the types the source capture gives
      for (wmi::RecordedClass& c : snapshot.namespaces[0].classes)
        if (const wmi::RecordedClass* source = recorded->snapshot().FindClass("root\\cimv2", c.name))
          c.types = source->types;
  }
  wmi::CaptureHeader header;
  const std::optional<wmi::CaptureHeader>& before = recorded ? recorded->snapshot().header : std::nullopt;
  header.program = std::string("pcinfo-cli ") + Version();
  header.source = recorded ? "capture" : options.tree ? "tree" : LiveSource();
  // A capture of a capture tells the time and machine of the data it holds.
  header.captured = before ? before->captured : recorded ? "" : UtcNow();
  header.machine_id = before ? before->machine_id : MachineIdOfSystem(options, snapshot);
  if (header.captured.empty()) {
    const wmi::RecordedClass* os = snapshot.FindClass("root\\cimv2", "Win32_OperatingSystem");
    if (os && !os->instances.empty())
      if (const wmi::Property* p = os->instances.front().Find("LocalDateTime");
          p && p->value.kind() == wmi::Value::Kind::Text)
        header.captured = CimDateTimeUtc(p->value.text());
  }
  snapshot.header = header;
  FillTypes(snapshot);
  if (args.sanitize || args.sanitize_key)
    Sanitize(snapshot, args.sanitize_key ? SiteKey(*args.sanitize_key) : RandomKey());
  return snapshot;
}

int SnapshotCommand(const SnapshotArguments& args, const Options& options, std::ostream& out, std::ostream& err) {
  if (args.db) {
    // Captured and loaded in one step (a login script, a timer).
    std::unique_ptr<Inventory> db = OpenInventory(*args.db);
    Capture capture = CaptureOf(MakeCapture(args, options, err), "");
    db->Begin();
    ReportLoad("snapshot", capture, db->Load(capture), err);
    db->Commit();
    return 0;
  }
  // ASCII: any shell's redirection carries it (PowerShell 5.1's > included).
  out << AsciiJson(wmi::SerializeSnapshot(MakeCapture(args, options, err)));
  return 0;
}

}  // namespace cli
