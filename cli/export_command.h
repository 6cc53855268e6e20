// pcinfo-cli export: many machines' captures in one table.
//   export --db FILE CAPTURE...   loads the captures into an SQLite database:
//       one table per WMI class, one row per instance, the columns `machine`
//       and `captured`, then one column per property (arrays as JSON text).
//       Loading a machine again replaces its rows; the whole load is one
//       transaction, so a load that fails leaves the database as it was.
//   export --csv CLASS CAPTURE... writes that class of every capture as CSV
//       (UTF-8 with a byte order mark, CR LF).
#pragma once

#include <iosfwd>
#include <memory>
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

// One loaded capture with the machine it describes.
struct Capture {
  std::string machine;   // Win32_ComputerSystem.Name, else Win32_OperatingSystem.CSName, else the file's stem
  std::string captured;  // Win32_OperatingSystem.LocalDateTime as "YYYY-MM-DD hh:mm:ss", else the file's time (UTC)
  wmi::Snapshot snapshot;
};

// Throws UsageError when the file cannot be read or parsed.
Capture LoadCapture(const std::string& path);

// "20240131235959.000000+540" as "2024-01-31 23:59:59"; "" when not a WMI date.
std::string WmiDateTime(const std::string& text);

// The CSV of one class over many captures: the header machine, captured, then
// every property name met (in the order first met), one row per instance.
std::string ClassCsv(const std::string& class_name, const std::vector<Capture>& captures);

// The inventory database. Throws WriteError when it cannot be opened or written.
class InventoryDatabase {
 public:
  explicit InventoryDatabase(const std::string& path);
  ~InventoryDatabase();
  InventoryDatabase(const InventoryDatabase&) = delete;
  InventoryDatabase& operator=(const InventoryDatabase&) = delete;

  void Begin();
  // Deletes the machine's rows from every table and inserts the capture's.
  void Replace(const Capture& capture);
  void Commit();
  void Rollback();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when this build can write SQLite databases.
bool HaveDatabase();

int ExportCommand(const ExportArguments& args, std::ostream& out, std::ostream& err);

}  // namespace cli
