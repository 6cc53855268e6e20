#include "cli/export_command.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>

#include "cli/cli.h"
#include "cli/value_json.h"
#include "wmi/provider.h"
#include "wmi/utf8_path.h"

#ifdef PCINFO_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace cli {

namespace {

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

const wmi::Value* FirstValue(const wmi::Snapshot& s, std::string_view class_name, std::string_view property) {
  const wmi::RecordedClass* c = s.FindClass("root\\cimv2", class_name);
  if (!c || c->instances.empty()) return nullptr;
  const wmi::Property* p = c->instances.front().Find(property);
  return p ? &p->value : nullptr;
}

std::string TextOf(const wmi::Value* v) { return v && v->kind() == wmi::Value::Kind::Text ? v->text() : ""; }

std::string FileTime(const std::string& path) {
  std::error_code ec;
  auto t = std::filesystem::last_write_time(wmi::PathFromUtf8(path), ec);
  if (ec) return "";
  auto sys = std::chrono::file_clock::to_sys(t);
  std::time_t tt = std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::seconds>(sys));
  const std::tm* tm = std::gmtime(&tt);
  if (!tm) return "";
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", tm);
  return buffer;
}

// A CSV field: quoted when it holds a comma, a quotation mark or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CellText(const wmi::Value& v) {
  if (v.is_null()) return "";
  if (v.kind() == wmi::Value::Kind::Text) return v.text();
  return JsonText(v);
}

}  // namespace

std::string WmiDateTime(const std::string& text) {
  // yyyymmddHHMMSS.mmmmmmsUUU
  if (text.size() < 14) return "";
  for (int i = 0; i < 14; ++i)
    if (text[i] < '0' || text[i] > '9') return "";
  return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2) + " " + text.substr(8, 2) + ":" +
         text.substr(10, 2) + ":" + text.substr(12, 2);
}

Capture LoadCapture(const std::string& path) {
  Capture c;
  try {
    c.snapshot = wmi::LoadSnapshotFile(path);
  } catch (const wmi::SnapshotError& e) {
    throw UsageError{e.what()};
  }
  c.machine = TextOf(FirstValue(c.snapshot, "Win32_ComputerSystem", "Name"));
  if (c.machine.empty()) c.machine = TextOf(FirstValue(c.snapshot, "Win32_OperatingSystem", "CSName"));
  if (c.machine.empty()) c.machine = wmi::Utf8FromPath(wmi::PathFromUtf8(path).stem());
  c.captured = WmiDateTime(TextOf(FirstValue(c.snapshot, "Win32_OperatingSystem", "LocalDateTime")));
  if (c.captured.empty()) c.captured = FileTime(path);
  return c;
}

std::string ClassCsv(const std::string& class_name, const std::vector<Capture>& captures) {
  std::vector<std::string> columns;
  std::set<std::string> seen;
  for (const Capture& c : captures)
    for (const wmi::RecordedNamespace& ns : c.snapshot.namespaces)
      if (const wmi::RecordedClass* cls = c.snapshot.FindClass(ns.name, class_name))
        for (const wmi::Instance& inst : cls->instances)
          for (const wmi::Property& p : inst.Properties())
            if (seen.insert(Lower(p.name)).second) columns.push_back(p.name);
  std::string out =
      "\xEF\xBB\xBF"
      "machine,captured";
  for (const std::string& name : columns) out.append(",").append(CsvField(name));
  out += "\r\n";
  for (const Capture& c : captures)
    for (const wmi::RecordedNamespace& ns : c.snapshot.namespaces)
      if (const wmi::RecordedClass* cls = c.snapshot.FindClass(ns.name, class_name))
        for (const wmi::Instance& inst : cls->instances) {
          out += CsvField(c.machine) + "," + CsvField(c.captured);
          for (const std::string& name : columns) {
            const wmi::Property* p = inst.Find(name);
            out += ',';
            if (p) out += CsvField(CellText(p->value));
          }
          out += "\r\n";
        }
  return out;
}

#ifdef PCINFO_HAVE_SQLITE

namespace {

std::string Quoted(std::string_view identifier) {
  std::string out = "\"";
  for (char c : identifier) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

struct InventoryDatabase::Impl {
  std::string path;
  sqlite3* db = nullptr;
  bool in_transaction = false;
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
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) Fail();
    statements.emplace(sql, s);
    return s;
  }
  void Step(sqlite3_stmt* s) {
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail();
  }
  void ReadTables() {
    sqlite3_stmt* s = Statement("SELECT name FROM sqlite_master WHERE type = 'table'");
    std::vector<std::string> names;
    while (sqlite3_step(s) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    for (const std::string& name : names) {
      std::set<std::string>& columns = tables[Lower(name)];
      sqlite3_stmt* info = Statement("SELECT name FROM pragma_table_info(?)");
      sqlite3_bind_text(info, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(info) == SQLITE_ROW)
        columns.insert(Lower(reinterpret_cast<const char*>(sqlite3_column_text(info, 0))));
    }
  }
  // The table of a class with a column for each of the properties.
  void EnsureTable(const std::string& name, const std::vector<std::string>& properties) {
    auto it = tables.find(Lower(name));
    if (it == tables.end()) {
      // A new table gets all its columns at once: each schema change makes
      // SQLite read the schema again.
      std::set<std::string> columns{"machine", "captured"};
      std::string sql = "CREATE TABLE " + Quoted(name) + " (machine TEXT NOT NULL, captured TEXT";
      for (const std::string& p : properties)
        if (columns.insert(Lower(p)).second) sql += ", " + Quoted(p);
      Exec(sql + ")");
      Exec("CREATE INDEX " + Quoted(name + "_machine") + " ON " + Quoted(name) + " (machine)");
      tables.emplace(Lower(name), std::move(columns));
      return;
    }
    for (const std::string& p : properties)
      if (it->second.insert(Lower(p)).second) Exec("ALTER TABLE " + Quoted(name) + " ADD COLUMN " + Quoted(p));
  }
  void Bind(sqlite3_stmt* s, int index, const wmi::Value& v) {
    switch (v.kind()) {
      case wmi::Value::Kind::Null:
        sqlite3_bind_null(s, index);
        break;
      case wmi::Value::Kind::Integer:
        sqlite3_bind_int64(s, index, v.integer());
        break;
      case wmi::Value::Kind::Real:
        sqlite3_bind_double(s, index, v.real());
        break;
      case wmi::Value::Kind::Boolean:
        sqlite3_bind_int(s, index, v.boolean() ? 1 : 0);
        break;
      case wmi::Value::Kind::Text:
        sqlite3_bind_text(s, index, v.text().data(), static_cast<int>(v.text().size()), SQLITE_TRANSIENT);
        break;
      default: {
        std::string json = JsonText(v);
        sqlite3_bind_text(s, index, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
      }
    }
  }
};

InventoryDatabase::InventoryDatabase(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  // SQLite makes a handle even when the open fails: a constructor that throws
  // closes it, since no destructor will.
  try {
    if (sqlite3_open_v2(path.c_str(), &impl_->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
      impl_->Fail();
    impl_->Exec("CREATE TABLE IF NOT EXISTS machines (machine TEXT PRIMARY KEY, captured TEXT)");
    impl_->ReadTables();
    impl_->tables.erase("machines");
  } catch (...) {
    for (auto& [sql, s] : impl_->statements) sqlite3_finalize(s);
    sqlite3_close(impl_->db);
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
}

void InventoryDatabase::Commit() {
  impl_->Exec("COMMIT");
  impl_->in_transaction = false;
}

void InventoryDatabase::Rollback() {
  if (!impl_->in_transaction) return;
  impl_->in_transaction = false;
  impl_->Exec("ROLLBACK");
}

void InventoryDatabase::Replace(const Capture& capture) {
  Impl& d = *impl_;
  // A machine loaded before: its rows go from every table.
  sqlite3_stmt* known = d.Statement("SELECT 1 FROM machines WHERE machine = ?");
  sqlite3_bind_text(known, 1, capture.machine.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(known) == SQLITE_ROW) {
    for (const auto& [table, columns] : d.tables) {
      sqlite3_stmt* s = d.Statement("DELETE FROM " + Quoted(table) + " WHERE machine = ?");
      sqlite3_bind_text(s, 1, capture.machine.c_str(), -1, SQLITE_TRANSIENT);
      d.Step(s);
    }
  }
  sqlite3_reset(known);
  sqlite3_stmt* machine = d.Statement("INSERT OR REPLACE INTO machines (machine, captured) VALUES (?, ?)");
  sqlite3_bind_text(machine, 1, capture.machine.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(machine, 2, capture.captured.c_str(), -1, SQLITE_TRANSIENT);
  d.Step(machine);
  for (const wmi::RecordedNamespace& ns : capture.snapshot.namespaces)
    for (const wmi::RecordedClass& c : ns.classes) {
      std::vector<std::string> properties;
      std::set<std::string> seen{"machine", "captured"};
      for (const wmi::Instance& inst : c.instances)
        for (const wmi::Property& p : inst.Properties())
          if (seen.insert(Lower(p.name)).second) properties.push_back(p.name);
      d.EnsureTable(c.name, properties);
      for (const wmi::Instance& inst : c.instances) {
        std::string sql = "INSERT INTO " + Quoted(c.name) + " (machine, captured";
        std::string values = "?, ?";
        std::vector<const wmi::Value*> bound;
        std::set<std::string> used{"machine", "captured"};
        for (const wmi::Property& p : inst.Properties()) {
          if (!used.insert(Lower(p.name)).second) continue;
          sql += ", " + Quoted(p.name);
          values += ", ?";
          bound.push_back(&p.value);
        }
        sql += ") VALUES (" + values + ")";
        sqlite3_stmt* s = d.Statement(sql);
        sqlite3_bind_text(s, 1, capture.machine.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, capture.captured.c_str(), -1, SQLITE_TRANSIENT);
        for (std::size_t i = 0; i < bound.size(); ++i) d.Bind(s, static_cast<int>(i) + 3, *bound[i]);
        d.Step(s);
      }
    }
}

bool HaveDatabase() { return true; }

#else

struct InventoryDatabase::Impl {};
InventoryDatabase::InventoryDatabase(const std::string&) { throw UsageError{"export --db: this build has no SQLite"}; }
InventoryDatabase::~InventoryDatabase() = default;
void InventoryDatabase::Begin() {}
void InventoryDatabase::Replace(const Capture&) {}
void InventoryDatabase::Commit() {}
void InventoryDatabase::Rollback() {}
bool HaveDatabase() { return false; }

#endif

int ExportCommand(const ExportArguments& args, std::ostream& out, std::ostream& /*err*/) {
  if (!args.db && !args.csv_class) throw UsageError{"export needs --db FILE or --csv CLASS"};
  if (args.db) {
    InventoryDatabase db(*args.db);
    db.Begin();
    // A capture that fails to load ends the load; the database rolls back.
    for (const std::string& path : args.captures) db.Replace(LoadCapture(path));
    db.Commit();
    return 0;
  }
  std::vector<Capture> captures;
  bool held = false;
  for (const std::string& path : args.captures) {
    captures.push_back(LoadCapture(path));
    for (const wmi::RecordedNamespace& ns : captures.back().snapshot.namespaces)
      held = held || captures.back().snapshot.FindClass(ns.name, *args.csv_class);
  }
  if (!held) throw UsageError{"export --csv: no capture holds the class " + *args.csv_class};
  out << ClassCsv(*args.csv_class, captures);
  return 0;
}

}  // namespace cli
