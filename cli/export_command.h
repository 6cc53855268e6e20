// pcinfo-cli export: many machines' captures in one database or table.
//   export --db FILE|URI CAPTURE... loads the captures into an SQLite inventory
//       or, for a postgresql:// URI, a PostgreSQL one
//       (see cli/inventory.h): each capture kept with its machine and time, a
//       capture loaded again changing nothing; one line on stderr per capture
//       says what it added. A capture that cannot be read or loaded is
//       reported and skipped (exit 1); each loads whole or not at all.
//   export --csv CLASS CAPTURE... writes that class of every capture as CSV
//       (UTF-8 with a byte order mark, CR LF).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "wmi/recorded/snapshot.h"

namespace cli {

struct ExportArguments {
  std::optional<std::string> db;         // --db FILE
  std::optional<std::string> csv_class;  // --csv CLASS
  std::vector<std::string> captures;
};

// One loaded capture with what identifies it.
struct Capture {
  std::string file;
  // The header's machine id; in a capture without a header the real UUID of
  // Win32_ComputerSystemProduct, else "name:" and the machine's name.
  std::string machine_id;
  std::string machine;   // Win32_ComputerSystem.Name, else Win32_OperatingSystem.CSName, else the file's stem
  std::string captured;  // UTC, "YYYY-MM-DDThh:mm:ssZ": the header's, else LocalDateTime's, else the file's time
  std::string source;    // the header's ("wmi", "linux", "tree", "capture"), "" without one
  std::string program;   // the header's, "" without one
  wmi::Snapshot snapshot;
};

// Throws UsageError when the file cannot be read or parsed.
Capture LoadCapture(const std::string& path);
// The capture of a snapshot read from `path` (or made here: "").
Capture CaptureOf(wmi::Snapshot snapshot, const std::string& path);

// "20240131235959.000000+540" as "2024-01-31 23:59:59"; "" when not a WMI date.
std::string WmiDateTime(const std::string& text);

// The CSV of one class over many captures: the header machine, captured, then
// every property name met (in the order first met), one row per instance.
// Text that a spreadsheet would take for a formula (=, +, -, @, a tab or a
// carriage return first) is written after a single quotation mark.
std::string ClassCsv(const std::string& class_name, const std::vector<Capture>& captures);

enum class LoadOutcome;
// One line on stderr: what loading the capture did.
void ReportLoad(const std::string& path, const Capture& capture, LoadOutcome outcome, std::ostream& err);

int ExportCommand(const ExportArguments& args, std::ostream& out, std::ostream& err);

}  // namespace cli
