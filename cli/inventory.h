// The inventory database (SQLite): every capture loaded, each machine's
// history, one table per WMI class.
//
//   captures (capture_id, machine_id, machine, captured, source, program, file, loaded)
//       one row per capture; (machine_id, captured) is unique, so a capture
//       loaded again adds nothing.
//   latest_captures: the view of each machine's latest capture.
//   machines: the view of one row per machine from its latest capture (name,
//       maker, model, serial, processor, memory, disks, system, BIOS).
//   "<WMI class>" (capture_id, machine_id, <one column per property>)
//       one row per instance, indexed by capture_id. Columns take the
//       property's CIM type: integers of every width INTEGER, reals REAL,
//       booleans 0/1, datetimes ISO 8601 text in UTC, arrays JSON text.
//
// The usual question is one SELECT joining latest_captures to a class:
//   SELECT c.machine FROM latest_captures c JOIN Win32_BIOS b USING (capture_id) ...
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "cli/export_command.h"

namespace cli {

// What loading a capture did.
enum class LoadOutcome {
  NewMachine,  // the first capture of its machine
  Newer,       // newer than the machine's latest
  Older,       // older than the machine's latest: history
  Unchanged,   // loaded before
};

// The names the database keeps for itself: no class may take them.
bool IsOwnTableName(std::string_view name);

// Where captures are loaded: an SQLite file, or a PostgreSQL server.
class Inventory {
 public:
  virtual ~Inventory() = default;
  // Loads the captures between Begin and Commit: SQLite makes them one
  // transaction of the database; a server loads each in its own.
  virtual void Begin() {}
  virtual void Commit() {}
  // Loads one capture whole or not at all. Throws UsageError for a capture
  // the database cannot hold as it is (a class named like one of its own
  // tables, more properties than a table takes, names that differ in case
  // alone), WriteError when the database cannot be written; either way
  // nothing of the capture stays.
  virtual LoadOutcome Load(const Capture& capture) = 0;
};

// postgresql://... and postgres://... name a PostgreSQL server (libpq's
// connection URI; what it leaves out comes from PGHOST, PGSERVICE, ... and
// ~/.pgpass as libpq reads them); anything else is an SQLite file.
bool IsPostgresUri(std::string_view target);
std::unique_ptr<Inventory> OpenInventory(const std::string& target);

// The inventory in one SQLite file.
class InventoryDatabase : public Inventory {
 public:
  // Opens or makes the database. Throws WriteError when it cannot be opened,
  // written, or is not an inventory of this program's.
  explicit InventoryDatabase(const std::string& path);
  ~InventoryDatabase();
  InventoryDatabase(const InventoryDatabase&) = delete;
  InventoryDatabase& operator=(const InventoryDatabase&) = delete;

  void Begin() override;
  void Commit() override;
  LoadOutcome Load(const Capture& capture) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when this build can write SQLite databases.
bool HaveDatabase();
// True when this build can load into PostgreSQL (libpq).
bool HavePostgres();

// How long a load waits for a database that another program holds locked.
inline constexpr int kBusyTimeoutMs = 30000;

}  // namespace cli
