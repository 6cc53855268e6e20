#include "cli/inventory.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "cli/capture_header.h"
#include "cli/cli.h"
#include "cli/inventory_detail.h"
#include "cli/value_json.h"
#include "wmi/provider.h"

#ifdef PCINFO_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace cli {

namespace inventory_detail {

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string Quoted(std::string_view identifier) {
  std::string out = "\"";
  for (char c : identifier) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace inventory_detail

using namespace inventory_detail;

namespace {

// The columns every class table has before its properties.
constexpr std::string_view kOwnColumns[] = {"capture_id", "machine_id"};

bool IsOwnColumn(std::string_view name) {
  for (std::string_view c : kOwnColumns)
    if (wmi::EqualsIgnoreCase(c, name)) return true;
  return false;
}

// A name fit for a table or column: not empty, no control characters (a NUL
// would cut the statement's text).
bool IsFitName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return true;
}

// The CIM type of a property as the database takes it: the capture's, unless
// the capture only knew it as text and the schema of this build knows better
// (uint64 values arrive as text from WMI).
std::string TypeFor(const wmi::RecordedClass& c, std::string_view ns, const std::string& property) {
  std::string type = c.TypeOf(property);
  if ((type.empty() || type == "string" || type == "string[]") && wmi::EqualsIgnoreCase(ns, "root\\cimv2")) {
    std::string schema = SchemaType(c.name, property);
    if (!schema.empty()) return schema;
  }
  return type;
}

std::string BaseType(const std::string& type) { return type.ends_with("[]") ? type.substr(0, type.size() - 2) : type; }

bool IsIntegerType(const std::string& base) {
  return (base.starts_with("uint") || base.starts_with("sint")) && base.size() <= 6;
}

#ifdef PCINFO_HAVE_SQLITE
// The declared type of a property's column.
std::string ColumnType(const std::string& type) {
  if (type.ends_with("[]")) return "TEXT";
  if (IsIntegerType(type) || type == "boolean") return "INTEGER";
  if (type == "real32" || type == "real64") return "REAL";
  if (type.empty()) return "";
  return "TEXT";
}
#endif

// A value as the column of its CIM type holds it (a JSON element for arrays).
nlohmann::ordered_json Converted(const wmi::Value& v, const std::string& base) {
  using Kind = wmi::Value::Kind;
  if (v.kind() == Kind::Text) {
    const std::string& t = v.text();
    if (IsIntegerType(base) && !t.empty()) {
      errno = 0;
      char* end = nullptr;
      if (t[0] == '-') {
        long long n = std::strtoll(t.c_str(), &end, 10);
        if (errno == 0 && end == t.c_str() + t.size()) return static_cast<std::int64_t>(n);
      } else {
        unsigned long long n = std::strtoull(t.c_str(), &end, 10);
        if (errno == 0 && end == t.c_str() + t.size() && t[0] >= '0' && t[0] <= '9') {
          if (n <= static_cast<unsigned long long>(INT64_MAX)) return static_cast<std::int64_t>(n);
          return static_cast<double>(n);  // above what an INTEGER holds
        }
      }
    }
    if (base == "datetime") {
      std::string iso = CimDateTimeUtc(t);
      if (!iso.empty()) return iso;
    }
    return t;
  }
  if (v.kind() == Kind::Array) {
    nlohmann::ordered_json a = nlohmann::ordered_json::array();
    for (const wmi::Value& e : v.elements()) a.push_back(Converted(e, base));
    return a;
  }
  return ToJson(v);
}

// What the machines view shows of one capture, summed up as the capture
// loads (the view reads one row a machine, not every class's rows). Maker and
// model come from Win32_ComputerSystem, else Win32_ComputerSystemProduct,
// else the board.
constexpr std::string_view kSummaryTable =
    "CREATE TABLE IF NOT EXISTS capture_summary (capture_id INTEGER PRIMARY KEY, maker TEXT, model TEXT, "
    "serial TEXT, processor TEXT, cores INTEGER, threads INTEGER, memory_bytes INTEGER, disks TEXT, "
    "disk_bytes INTEGER, os TEXT, os_version TEXT, os_build TEXT, bios_version TEXT, bios_date TEXT)";

constexpr std::string_view kSummaryInsert = R"(INSERT INTO capture_summary SELECT ?1,
  COALESCE((SELECT MIN(Manufacturer) FROM Win32_ComputerSystem WHERE capture_id = ?1),
           (SELECT MIN(Vendor) FROM Win32_ComputerSystemProduct WHERE capture_id = ?1),
           (SELECT MIN(Manufacturer) FROM Win32_BaseBoard WHERE capture_id = ?1)),
  COALESCE((SELECT MIN(Model) FROM Win32_ComputerSystem WHERE capture_id = ?1),
           (SELECT MIN(Name) FROM Win32_ComputerSystemProduct WHERE capture_id = ?1),
           (SELECT MIN(Product) FROM Win32_BaseBoard WHERE capture_id = ?1)),
  COALESCE((SELECT MIN(IdentifyingNumber) FROM Win32_ComputerSystemProduct WHERE capture_id = ?1),
           (SELECT MIN(SerialNumber) FROM Win32_BIOS WHERE capture_id = ?1)),
  (SELECT MIN(Name) FROM Win32_Processor WHERE capture_id = ?1),
  (SELECT SUM(NumberOfCores) FROM Win32_Processor WHERE capture_id = ?1),
  (SELECT SUM(NumberOfLogicalProcessors) FROM Win32_Processor WHERE capture_id = ?1),
  (SELECT SUM(Capacity) FROM Win32_PhysicalMemory WHERE capture_id = ?1),
  (SELECT group_concat(COALESCE(Model, DeviceID, '?') || ' (' || CAST(ROUND(Size / 1e9) AS INTEGER) || ' GB)', ', ')
     FROM Win32_DiskDrive WHERE capture_id = ?1),
  (SELECT SUM(Size) FROM Win32_DiskDrive WHERE capture_id = ?1),
  (SELECT MIN(Caption) FROM Win32_OperatingSystem WHERE capture_id = ?1),
  (SELECT MIN(Version) FROM Win32_OperatingSystem WHERE capture_id = ?1),
  (SELECT MIN(BuildNumber) FROM Win32_OperatingSystem WHERE capture_id = ?1),
  (SELECT MIN(SMBIOSBIOSVersion) FROM Win32_BIOS WHERE capture_id = ?1),
  (SELECT substr(MIN(ReleaseDate), 1, 10) FROM Win32_BIOS WHERE capture_id = ?1))";

// One row per machine from its latest capture: memory in GiB, disks in GB
// (10^9 bytes, as disks are sold).
constexpr std::string_view kMachinesView = R"(CREATE VIEW IF NOT EXISTS machines AS
SELECT c.machine_id, c.machine AS name, s.maker, s.model, s.serial, s.processor, s.cores, s.threads,
  ROUND(s.memory_bytes / 1073741824.0, 1) AS memory_gb, s.disks, ROUND(s.disk_bytes / 1e9, 1) AS disks_gb,
  s.os, s.os_version, s.os_build, s.bios_version, s.bios_date, c.captured
FROM latest_captures c LEFT JOIN capture_summary s USING (capture_id))";

}  // namespace

namespace inventory_detail {

std::string PropertyType(const wmi::RecordedClass& c, std::string_view ns, const std::string& property) {
  return TypeFor(c, ns, property);
}

nlohmann::ordered_json ColumnValue(const wmi::Value& v, const std::string& type) {
  if (v.is_null()) return nullptr;
  return Converted(v, BaseType(type));
}

void CheckNames(const Capture& capture) {
  for (const wmi::RecordedNamespace& ns : capture.snapshot.namespaces)
    for (const wmi::RecordedClass& c : ns.classes) {
      if (!IsFitName(c.name)) throw UsageError{"a class name that is empty or holds control characters"};
      if (IsOwnTableName(c.name))
        throw UsageError{"the class " + c.name + " is named like one of the database's own tables"};
      for (const wmi::Instance& inst : c.instances) {
        std::set<std::string> names;
        for (const wmi::Property& p : inst.Properties()) {
          if (!IsFitName(p.name))
            throw UsageError{"a property of " + c.name + " has a name that is empty or holds control characters"};
          if (IsOwnColumn(p.name))
            throw UsageError{"the property " + c.name + "." + p.name + " is named like a column of the database's own"};
          if (!names.insert(Lower(p.name)).second)
            throw UsageError{"the properties of " + c.name + " named " + p.name + " differ in case alone"};
        }
      }
    }
}

const std::vector<ViewTable>& ViewTables() {
  static const std::vector<ViewTable> tables = {
      {"Win32_ComputerSystem", {{"Name", "string"}, {"Manufacturer", "string"}, {"Model", "string"}}},
      {"Win32_ComputerSystemProduct",
       {{"Vendor", "string"}, {"Name", "string"}, {"IdentifyingNumber", "string"}, {"UUID", "string"}}},
      {"Win32_BaseBoard", {{"Manufacturer", "string"}, {"Product", "string"}}},
      {"Win32_BIOS", {{"SerialNumber", "string"}, {"SMBIOSBIOSVersion", "string"}, {"ReleaseDate", "datetime"}}},
      {"Win32_Processor", {{"Name", "string"}, {"NumberOfCores", "uint32"}, {"NumberOfLogicalProcessors", "uint32"}}},
      {"Win32_PhysicalMemory", {{"Capacity", "uint64"}}},
      {"Win32_DiskDrive", {{"DeviceID", "string"}, {"Model", "string"}, {"Size", "uint64"}}},
      {"Win32_OperatingSystem", {{"Caption", "string"}, {"Version", "string"}, {"BuildNumber", "string"}}},
  };
  return tables;
}

}  // namespace inventory_detail

bool IsOwnTableName(std::string_view name) {
  static constexpr std::string_view kOwn[] = {"captures", "latest_captures", "machines", "capture_summary"};
  for (std::string_view own : kOwn)
    if (wmi::EqualsIgnoreCase(own, name)) return true;
  return Lower(name).starts_with("sqlite_");
}

#ifdef PCINFO_HAVE_SQLITE

struct InventoryDatabase::Impl {
  std::string path;
  sqlite3* db = nullptr;
  bool in_transaction = false;
  int max_columns = 2000;
  // Tables by lower-case name: their lower-case column names.
  std::map<std::string, std::set<std::string>> tables;
  std::map<std::string, sqlite3_stmt*> statements;

  [[noreturn]] void Fail() const {
    throw WriteError{"database " + path + ": " + (db ? sqlite3_errmsg(db) : "cannot be opened")};
  }
  void Exec(const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
  }
  sqlite3_stmt* Statement(const std::string& sql) {
    auto it = statements.find(sql);
    if (it != statements.end()) {
      sqlite3_reset(it->second);
      sqlite3_clear_bindings(it->second);
      return it->second;
    }
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr) != SQLITE_OK) Fail();
    statements.emplace(sql, s);
    return s;
  }
  void Step(sqlite3_stmt* s) {
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail();
  }
  void BindText(sqlite3_stmt* s, int index, const std::string& text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void ReadTables() {
    tables.clear();
    sqlite3_stmt* s = Statement("SELECT name FROM sqlite_master WHERE type = 'table'");
    std::vector<std::string> names;
    while (sqlite3_step(s) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    for (const std::string& name : names) {
      if (IsOwnTableName(name)) continue;
      std::set<std::string>& columns = tables[Lower(name)];
      sqlite3_stmt* info = Statement("SELECT name FROM pragma_table_info(?)");
      BindText(info, 1, name);
      while (sqlite3_step(info) == SQLITE_ROW)
        columns.insert(Lower(reinterpret_cast<const char*>(sqlite3_column_text(info, 0))));
    }
  }
  // The table of a class with a column for each of the properties (name, CIM type).
  void EnsureTable(const std::string& name, const std::vector<std::pair<std::string, std::string>>& properties) {
    auto it = tables.find(Lower(name));
    if (it == tables.end()) {
      // A new table gets all its columns at once: each schema change makes
      // SQLite read the schema again.
      std::set<std::string> columns{"capture_id", "machine_id"};
      std::string sql = "CREATE TABLE " + Quoted(name) +
                        " (capture_id INTEGER NOT NULL REFERENCES captures (capture_id), machine_id TEXT NOT NULL";
      for (const auto& [p, type] : properties)
        if (columns.insert(Lower(p)).second) sql += ", " + Quoted(p) + " " + ColumnType(type);
      Exec(sql + ")");
      Exec("CREATE INDEX " + Quoted(name + " by capture") + " ON " + Quoted(name) + " (capture_id)");
      tables.emplace(Lower(name), std::move(columns));
      return;
    }
    for (const auto& [p, type] : properties)
      if (!it->second.count(Lower(p))) {
        Exec("ALTER TABLE " + Quoted(name) + " ADD COLUMN " + Quoted(p) + " " + ColumnType(type));
        it->second.insert(Lower(p));
      }
  }
  void Bind(sqlite3_stmt* s, int index, const wmi::Value& v, const std::string& type) {
    if (v.is_null()) {
      sqlite3_bind_null(s, index);
      return;
    }
    nlohmann::ordered_json j = ColumnValue(v, type);
    if (j.is_number_integer()) {
      sqlite3_bind_int64(s, index, j.get<std::int64_t>());
    } else if (j.is_number_float()) {
      sqlite3_bind_double(s, index, j.get<double>());
    } else if (j.is_boolean()) {
      sqlite3_bind_int(s, index, j.get<bool>() ? 1 : 0);
    } else if (j.is_string()) {
      BindText(s, index, j.get_ref<const std::string&>());
    } else if (j.is_null()) {
      sqlite3_bind_null(s, index);
    } else {
      BindText(s, index, j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    }
  }
  // What the capture would do to the schema, checked before anything is written.
  void Check(const Capture& capture) {
    CheckNames(capture);
    std::map<std::string, std::set<std::string>> added;  // table: new columns
    for (const wmi::RecordedNamespace& ns : capture.snapshot.namespaces)
      for (const wmi::RecordedClass& c : ns.classes)
        for (const wmi::Instance& inst : c.instances)
          for (const wmi::Property& p : inst.Properties()) {
            auto table = tables.find(Lower(c.name));
            if (table == tables.end() || !table->second.count(Lower(p.name)))
              added[Lower(c.name)].insert(Lower(p.name));
          }
    for (const auto& [table, columns] : added) {
      auto it = tables.find(table);
      std::size_t total = (it == tables.end() ? 2 : it->second.size()) + columns.size();
      if (total > static_cast<std::size_t>(max_columns))
        throw UsageError{"the class " + table + " would need " + std::to_string(total) + " columns, more than the " +
                         std::to_string(max_columns) + " a table of the database holds"};
    }
  }
  LoadOutcome Insert(const Capture& capture) {
    sqlite3_stmt* known = Statement("SELECT 1 FROM captures WHERE machine_id = ? AND captured = ?");
    BindText(known, 1, capture.machine_id);
    BindText(known, 2, capture.captured);
    const bool loaded_before = sqlite3_step(known) == SQLITE_ROW;
    sqlite3_reset(known);
    if (loaded_before) return LoadOutcome::Unchanged;
    sqlite3_stmt* latest = Statement("SELECT MAX(captured) FROM captures WHERE machine_id = ?");
    BindText(latest, 1, capture.machine_id);
    LoadOutcome outcome = LoadOutcome::NewMachine;
    if (sqlite3_step(latest) == SQLITE_ROW && sqlite3_column_type(latest, 0) != SQLITE_NULL)
      outcome = reinterpret_cast<const char*>(sqlite3_column_text(latest, 0)) < capture.captured ? LoadOutcome::Newer
                                                                                                 : LoadOutcome::Older;
    sqlite3_reset(latest);
    sqlite3_stmt* add = Statement(
        "INSERT INTO captures (machine_id, machine, captured, source, program, file, loaded) "
        "VALUES (?, ?, ?, ?, ?, ?, strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))");
    BindText(add, 1, capture.machine_id);
    BindText(add, 2, capture.machine);
    BindText(add, 3, capture.captured);
    BindText(add, 4, capture.source);
    BindText(add, 5, capture.program);
    BindText(add, 6, capture.file);
    Step(add);
    const sqlite3_int64 id = sqlite3_last_insert_rowid(db);
    for (const wmi::RecordedNamespace& ns : capture.snapshot.namespaces)
      for (const wmi::RecordedClass& c : ns.classes) {
        std::vector<std::pair<std::string, std::string>> properties;
        std::map<std::string, std::string> types;  // lower-case name: CIM type
        for (const wmi::Instance& inst : c.instances)
          for (const wmi::Property& p : inst.Properties())
            if (!types.count(Lower(p.name))) {
              std::string type = TypeFor(c, ns.name, p.name);
              types.emplace(Lower(p.name), type);
              properties.emplace_back(p.name, type);
            }
        EnsureTable(c.name, properties);
        for (const wmi::Instance& inst : c.instances) {
          std::string sql = "INSERT INTO " + Quoted(c.name) + " (capture_id, machine_id";
          std::string values = "?, ?";
          for (const wmi::Property& p : inst.Properties()) {
            sql += ", " + Quoted(p.name);
            values += ", ?";
          }
          sqlite3_stmt* s = Statement(sql + ") VALUES (" + values + ")");
          sqlite3_bind_int64(s, 1, id);
          BindText(s, 2, capture.machine_id);
          int index = 3;
          for (const wmi::Property& p : inst.Properties()) Bind(s, index++, p.value, types[Lower(p.name)]);
          Step(s);
        }
      }
    sqlite3_stmt* summary = Statement(std::string(kSummaryInsert));
    sqlite3_bind_int64(summary, 1, id);
    Step(summary);
    return outcome;
  }
};

InventoryDatabase::InventoryDatabase(const std::string& path) : impl_(std::make_unique<Impl>()) {
  Impl& d = *impl_;
  d.path = path;
  // SQLite makes a handle even when the open fails: a constructor that throws
  // closes it, since no destructor will.
  try {
    if (sqlite3_open_v2(path.c_str(), &d.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
      d.Fail();
    // Another program holding the database is waited for.
    sqlite3_busy_timeout(d.db, kBusyTimeoutMs);
    d.max_columns = sqlite3_limit(d.db, SQLITE_LIMIT_COLUMN, -1);
    sqlite3_stmt* old = d.Statement("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'machines'");
    const bool earlier = sqlite3_step(old) == SQLITE_ROW;
    sqlite3_reset(old);
    if (earlier)
      throw WriteError{"database " + path +
                       ": made by an earlier version of pcinfo-cli (one machine, one capture); load the captures "
                       "into a new database"};
    d.Exec(
        "CREATE TABLE IF NOT EXISTS captures (capture_id INTEGER PRIMARY KEY, machine_id TEXT NOT NULL, "
        "machine TEXT NOT NULL, captured TEXT NOT NULL, source TEXT, program TEXT, file TEXT, loaded TEXT, "
        "UNIQUE (machine_id, captured))");
    d.Exec(
        "CREATE VIEW IF NOT EXISTS latest_captures AS SELECT * FROM captures c WHERE NOT EXISTS "
        "(SELECT 1 FROM captures n WHERE n.machine_id = c.machine_id AND n.captured > c.captured)");
    d.ReadTables();
    sqlite3_stmt* view = d.Statement("SELECT 1 FROM sqlite_master WHERE name = 'machines'");
    const bool have_view = sqlite3_step(view) == SQLITE_ROW;
    sqlite3_reset(view);
    if (!have_view) {
      d.Exec("BEGIN IMMEDIATE");
      d.ReadTables();
      for (const ViewTable& table : ViewTables())
        if (!d.tables.count(Lower(table.name))) d.EnsureTable(std::string(table.name), table.properties);
      d.Exec(std::string(kSummaryTable));
      d.Exec(std::string(kMachinesView));
      d.Exec("COMMIT");
    }
  } catch (...) {
    for (auto& [sql, s] : d.statements) sqlite3_finalize(s);
    sqlite3_close(d.db);
    throw;
  }
}

InventoryDatabase::~InventoryDatabase() {
  if (impl_->in_transaction) sqlite3_exec(impl_->db, "ROLLBACK", nullptr, nullptr, nullptr);
  for (auto& [sql, s] : impl_->statements) sqlite3_finalize(s);
  sqlite3_close(impl_->db);
}

void InventoryDatabase::Begin() {
  impl_->Exec("BEGIN IMMEDIATE");
  impl_->in_transaction = true;
  impl_->ReadTables();  // another program may have added tables before the lock was taken
}

void InventoryDatabase::Commit() {
  impl_->Exec("COMMIT");
  impl_->in_transaction = false;
}

LoadOutcome InventoryDatabase::Load(const Capture& capture) {
  Impl& d = *impl_;
  d.Check(capture);
  d.Exec("SAVEPOINT capture");
  try {
    LoadOutcome outcome = d.Insert(capture);
    d.Exec("RELEASE capture");
    return outcome;
  } catch (...) {
    sqlite3_exec(d.db, "ROLLBACK TO capture; RELEASE capture", nullptr, nullptr, nullptr);
    d.ReadTables();  // the tables and columns the capture added went with it
    throw;
  }
}

bool HaveDatabase() { return true; }

#else

struct InventoryDatabase::Impl {};
InventoryDatabase::InventoryDatabase(const std::string&) { throw UsageError{"export --db: this build has no SQLite"}; }
InventoryDatabase::~InventoryDatabase() = default;
void InventoryDatabase::Begin() {}
void InventoryDatabase::Commit() {}
LoadOutcome InventoryDatabase::Load(const Capture&) { return LoadOutcome::Unchanged; }
bool HaveDatabase() { return false; }

#endif

}  // namespace cli

namespace cli {

bool IsPostgresUri(std::string_view target) {
  return target.starts_with("postgresql://") || target.starts_with("postgres://");
}

std::unique_ptr<Inventory> MakePostgresInventory(const std::string& uri);  // pg_inventory.cpp

std::unique_ptr<Inventory> OpenInventory(const std::string& target) {
  if (IsPostgresUri(target)) return MakePostgresInventory(target);
  return std::make_unique<InventoryDatabase>(target);
}

}  // namespace cli
