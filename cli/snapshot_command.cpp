// pcinfo-cli snapshot [CLASS...]: the provider's answer (the live backend, or
// the --from snapshot) written as a snapshot file on stdout, so that a machine
// can be captured and replayed anywhere with --from. Without classes it takes
// every class the button table and the composite buttons query.
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "queries/buttons.h"
#include "queries/procedures.h"
#include "wmi/error.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/wql.h"

namespace cli {

// Declared here and where they are used (cli.cpp, tests): this file has no header of its own.
std::vector<std::string> DefaultSnapshotClasses();
wmi::Snapshot CaptureSnapshot(wmi::Provider& provider, const std::vector<std::string>& classes, std::ostream* err);
int SnapshotCommand(const Options& options, std::ostream& out, std::ostream& err);

std::vector<std::string> DefaultSnapshotClasses() {
  std::vector<std::string> classes;
  auto add = [&](const std::string& name) {
    for (const std::string& c : classes)
      if (wmi::EqualsIgnoreCase(c, name)) return;
    classes.push_back(name);
  };
  for (const queries::Button& b : queries::Buttons()) {
    try {
      add(wmi::ParseWql(b.query).class_name);
    } catch (const wmi::Error&) {
      if (!b.query.empty()) add(std::string(b.query));  // the OS button names its class alone
    }
  }
  add("Win32_PnPEntity");  // the USB device button's second query
  return classes;
}

wmi::Snapshot CaptureSnapshot(wmi::Provider& provider, const std::vector<std::string>& classes, std::ostream* err) {
  std::unique_ptr<wmi::Connection> connection;
  try {
    connection = provider.Connect(queries::kCimv2Moniker);
  } catch (const wmi::Error& e) {
    throw UsageError{e.what()};
  }
  wmi::RecordedNamespace ns{"root\\cimv2", {}};
  for (const std::string& name : classes) {
    wmi::RecordedClass cls{name, {}};
    try {
      auto result = connection->ExecQuery("Select * from " + name, wmi::kCategoryFlags);
      while (auto instance = result->Next()) cls.instances.push_back(std::move(*instance));
    } catch (const wmi::Error& e) {
      // A class the provider does not have stays out of the snapshot, so that it fails on replay too.
      if (err) *err << "pcinfo-cli: snapshot: " << name << " left out: " << e.what() << "\n";
      continue;
    }
    ns.classes.push_back(std::move(cls));
  }
  wmi::Snapshot snapshot;
  snapshot.namespaces.push_back(std::move(ns));
  return snapshot;
}

int SnapshotCommand(const Options& options, std::ostream& out, std::ostream& err) {
  std::vector<std::string> classes(options.args.begin() + 1, options.args.end());
  bool defaults = classes.empty();
  if (defaults) classes = DefaultSnapshotClasses();
  auto provider = OpenProvider(options);
  // With the default list, classes that this platform lacks are expected: no message for them.
  wmi::Snapshot snapshot = CaptureSnapshot(*provider, classes, defaults ? nullptr : &err);
  out << wmi::SerializeSnapshot(snapshot);
  return 0;
}

}  // namespace cli
