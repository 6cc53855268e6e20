// The inventory on a PostgreSQL server, through libpq: the schema of the
// SQLite inventory (cli/inventory.h) in PostgreSQL's types (bigint, double
// precision, boolean, timestamptz, jsonb for arrays), loaded by many loaders
// at once.
//
// Names: tables and columns are the class and property names in lower case,
// so that the same unquoted SELECTs work as in SQLite; a name longer than
// PostgreSQL's 63 bytes is cut to 52 and told apart by a hash of the whole.
//
// Concurrency: each capture loads in its own transaction. Schema changes (a
// new class or property) are made in a transaction of their own that holds
// an advisory lock exclusively, and looks at the catalog again once it holds
// it; every loading transaction holds the same lock shared from its start. So
// a schema change waits for the loads under way and a load for the change, no
// two loaders add the same column, and no lock is ever waited for in two
// orders (no deadlock). A loader cut off midway leaves its capture out whole.
#include <map>
#include <set>
#include <vector>

#include "cli/capture_header.h"
#include "cli/cli.h"
#include "cli/inventory.h"
#include "cli/inventory_detail.h"
#include "cli/sha256.h"

#ifdef PCINFO_HAVE_LIBPQ
#include <dlfcn.h>
#include <libpq-fe.h>
#endif

namespace cli {

#ifdef PCINFO_HAVE_LIBPQ

namespace {

using namespace inventory_detail;

// libpq, loaded when a server is named: linked, it would bring some twenty
// libraries (TLS, Kerberos, LDAP) into every start of the program.
// clang-format off
#define PCINFO_PQ_FUNCTIONS(X) \
  X(PQconnectdb) X(PQstatus) X(PQerrorMessage) X(PQfinish) X(PQexecParams) X(PQexec) X(PQresultStatus) \
  X(PQclear) X(PQntuples) X(PQgetvalue) X(PQgetisnull) X(PQresultErrorField)
// clang-format on

struct PqLibrary {
#define PCINFO_PQ_POINTER(f) decltype(&::f) f = nullptr;
  PCINFO_PQ_FUNCTIONS(PCINFO_PQ_POINTER)
#undef PCINFO_PQ_POINTER
};

// Throws UsageError when libpq is not installed.
const PqLibrary& Pq() {
  static const PqLibrary* library = []() -> const PqLibrary* {
    void* handle = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    static PqLibrary l;
#define PCINFO_PQ_RESOLVE(f)                                 \
  l.f = reinterpret_cast<decltype(&::f)>(dlsym(handle, #f)); \
  if (!l.f) return nullptr;
    PCINFO_PQ_FUNCTIONS(PCINFO_PQ_RESOLVE)
#undef PCINFO_PQ_RESOLVE
    return &l;
  }();
  if (!library) throw UsageError{"--db postgresql://: PostgreSQL's client library (libpq5) is not installed"};
  return *library;
}

// The advisory lock key that guards the schema ("pcinfo" in ASCII).
constexpr const char* kSchemaLock = "112099105110102111";

std::string PgName(std::string_view name) {
  std::string lower = Lower(name);
  if (lower.size() <= 63) return lower;
  return lower.substr(0, 52) + "_" + Hex(Sha256(lower)).substr(0, 10);
}

std::string PgType(const std::string& type) {
  if (type.ends_with("[]")) return "jsonb";
  if ((type.starts_with("uint") || type.starts_with("sint")) && type.size() <= 6) return "bigint";
  if (type == "boolean") return "boolean";
  if (type == "real32" || type == "real64") return "double precision";
  if (type == "datetime") return "timestamptz";
  return "text";
}

// Text PostgreSQL takes: valid UTF-8 (what is not becomes U+FFFD), no NUL.
std::string PgText(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = n > 0 && i + n <= s.size();
    for (std::size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (ok && n == 2) ok = c >= 0xC2;
    if (ok && n == 3) {
      const auto c1 = static_cast<unsigned char>(s[i + 1]);
      ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
    }
    if (ok && n == 4) {
      const auto c1 = static_cast<unsigned char>(s[i + 1]);
      ok = c <= 0xF4 && !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
    }
    if (!ok) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      if (c != 0) out.append(s, i, n);
      i += n;
    }
  }
  return out;
}

// A value as a text parameter; nullopt for NULL.
std::optional<std::string> Param(const wmi::Value& v, const std::string& type) {
  nlohmann::ordered_json j = ColumnValue(v, type);
  if (j.is_null()) return std::nullopt;
  const std::string pg = PgType(type);
  if (pg == "jsonb" || j.is_array() || j.is_object()) {
    std::string text = j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    // jsonb takes no NUL, even escaped.
    for (std::size_t at = 0; (at = text.find("\\u0000", at)) != std::string::npos;) text.replace(at, 6, "\\ufffd");
    return text;
  }
  if (j.is_boolean()) return j.get<bool>() ? "true" : "false";
  if (j.is_number_integer()) return std::to_string(j.get<std::int64_t>());
  if (j.is_number_float()) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", j.get<double>());
    return std::string(buffer);
  }
  const std::string& text = j.get_ref<const std::string&>();
  // A datetime that is no point in time (an interval, a wildcard) has no timestamptz.
  if (pg == "timestamptz" && !(text.size() == 20 && text.back() == 'Z')) return std::nullopt;
  return PgText(text);
}

constexpr std::string_view kSetup = R"(
CREATE TABLE IF NOT EXISTS captures (capture_id bigserial PRIMARY KEY, machine_id text NOT NULL,
  machine text NOT NULL, captured timestamptz NOT NULL, source text, program text, file text,
  loaded timestamptz NOT NULL DEFAULT now(), UNIQUE (machine_id, captured));
CREATE TABLE IF NOT EXISTS capture_summary (capture_id bigint PRIMARY KEY, maker text, model text, serial text,
  processor text, cores bigint, threads bigint, memory_bytes bigint, disks text, disk_bytes bigint, os text,
  os_version text, os_build text, bios_version text, bios_date text);
CREATE OR REPLACE VIEW latest_captures AS SELECT * FROM captures c WHERE NOT EXISTS
  (SELECT 1 FROM captures n WHERE n.machine_id = c.machine_id AND n.captured > c.captured);
CREATE OR REPLACE VIEW machines AS
SELECT c.machine_id, c.machine AS name, s.maker, s.model, s.serial, s.processor, s.cores, s.threads,
  ROUND(s.memory_bytes / 1073741824.0, 1) AS memory_gb, s.disks, ROUND(s.disk_bytes / 1e9, 1) AS disks_gb,
  s.os, s.os_version, s.os_build, s.bios_version, s.bios_date, c.captured
FROM latest_captures c LEFT JOIN capture_summary s USING (capture_id);
)";

constexpr std::string_view kSummaryInsert = R"(INSERT INTO capture_summary SELECT $1::bigint,
  COALESCE((SELECT MIN(manufacturer) FROM win32_computersystem WHERE capture_id = $1::bigint),
           (SELECT MIN(vendor) FROM win32_computersystemproduct WHERE capture_id = $1::bigint),
           (SELECT MIN(manufacturer) FROM win32_baseboard WHERE capture_id = $1::bigint)),
  COALESCE((SELECT MIN(model) FROM win32_computersystem WHERE capture_id = $1::bigint),
           (SELECT MIN(name) FROM win32_computersystemproduct WHERE capture_id = $1::bigint),
           (SELECT MIN(product) FROM win32_baseboard WHERE capture_id = $1::bigint)),
  COALESCE((SELECT MIN(identifyingnumber) FROM win32_computersystemproduct WHERE capture_id = $1::bigint),
           (SELECT MIN(serialnumber) FROM win32_bios WHERE capture_id = $1::bigint)),
  (SELECT MIN(name) FROM win32_processor WHERE capture_id = $1::bigint),
  (SELECT SUM(numberofcores) FROM win32_processor WHERE capture_id = $1::bigint),
  (SELECT SUM(numberoflogicalprocessors) FROM win32_processor WHERE capture_id = $1::bigint),
  (SELECT SUM(capacity) FROM win32_physicalmemory WHERE capture_id = $1::bigint),
  (SELECT string_agg(COALESCE(model, deviceid, '?') || ' (' || ROUND(size / 1e9)::bigint || ' GB)', ', ')
     FROM win32_diskdrive WHERE capture_id = $1::bigint),
  (SELECT SUM(size) FROM win32_diskdrive WHERE capture_id = $1::bigint),
  (SELECT MIN(caption) FROM win32_operatingsystem WHERE capture_id = $1::bigint),
  (SELECT MIN(version) FROM win32_operatingsystem WHERE capture_id = $1::bigint),
  (SELECT MIN(buildnumber) FROM win32_operatingsystem WHERE capture_id = $1::bigint),
  (SELECT MIN(smbiosbiosversion) FROM win32_bios WHERE capture_id = $1::bigint),
  (SELECT to_char(MIN(releasedate) AT TIME ZONE 'UTC', 'YYYY-MM-DD') FROM win32_bios WHERE capture_id = $1::bigint))";

// PostgreSQL's most columns a table holds.
constexpr std::size_t kMaxColumns = 1600;

class Result {
 public:
  explicit Result(PGresult* r) : r_(r) {}
  ~Result() { Pq().PQclear(r_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  PGresult* get() const { return r_; }
  int rows() const { return Pq().PQntuples(r_); }
  std::string at(int row, int column) const { return Pq().PQgetvalue(r_, row, column); }
  bool null(int row, int column) const { return Pq().PQgetisnull(r_, row, column); }

 private:
  PGresult* r_;
};

class PostgresInventory : public Inventory {
 public:
  explicit PostgresInventory(const std::string& uri) : uri_(uri) {
    conn_ = Pq().PQconnectdb(uri.c_str());
    if (Pq().PQstatus(conn_) != CONNECTION_OK) Fail("cannot connect");
    Exec("SET client_min_messages = warning");
    // A capture reported loaded stays loaded when the server goes down right
    // after (a crash, an immediate restart), whatever the server's default.
    Exec("SET synchronous_commit = on");
    // Made once, by the first loader with the rights to (an administrator
    // may have made it for loaders that may only insert).
    Result view(Query("SELECT to_regclass('machines') IS NOT NULL AND to_regclass('capture_summary') IS NOT NULL"));
    if (view.at(0, 0) != "t") {
      Exec("BEGIN");
      Exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLock + ")");
      ReadCatalog();
      for (const ViewTable& table : ViewTables()) {
        std::vector<std::pair<std::string, std::string>> wanted;
        for (const auto& [name, type] : table.properties) wanted.emplace_back(PgName(name), PgType(type));
        AddColumns(PgName(table.name), wanted);
      }
      Exec(std::string(kSetup));
      Exec("COMMIT");
    }
    ReadCatalog();
  }
  ~PostgresInventory() override { Pq().PQfinish(conn_); }

  LoadOutcome Load(const Capture& capture) override {
    CheckNames(capture);
    // The columns the capture needs, by table: (column, PostgreSQL type).
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> wanted;
    struct ClassRows {
      std::string table;
      const wmi::RecordedClass* cls;
      std::map<std::string, std::string> types;  // lower-case property: CIM type
    };
    std::vector<ClassRows> classes;
    for (const wmi::RecordedNamespace& ns : capture.snapshot.namespaces)
      for (const wmi::RecordedClass& c : ns.classes) {
        ClassRows rows{PgName(c.name), &c, {}};
        auto& columns = wanted[rows.table];
        for (const wmi::Instance& inst : c.instances)
          for (const wmi::Property& p : inst.Properties())
            if (!rows.types.count(Lower(p.name))) {
              std::string type = PropertyType(c, ns.name, p.name);
              rows.types.emplace(Lower(p.name), type);
              columns.emplace_back(PgName(p.name), PgType(type));
            }
        classes.push_back(std::move(rows));
      }
    EnsureSchema(wanted);
    try {
      Exec("BEGIN");
      Exec(std::string("SELECT pg_advisory_xact_lock_shared(") + kSchemaLock + ")");
      LoadOutcome outcome = Insert(capture, classes);
      Exec(outcome == LoadOutcome::Unchanged ? "ROLLBACK" : "COMMIT");
      return outcome;
    } catch (...) {
      Pq().PQclear(Pq().PQexec(conn_, "ROLLBACK"));
      throw;
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    std::string message = Pq().PQerrorMessage(conn_);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    for (char& c : message)
      if (c == '\n' || c == '\t') c = ' ';
    for (std::size_t at = message.find("  "); at != std::string::npos; at = message.find("  ", at))
      message.erase(at, 1);
    throw WriteError{"database " + uri_ + ": " + what + (message.empty() ? "" : ": " + message)};
  }
  void Exec(const std::string& sql) {
    Result r(Pq().PQexec(conn_, sql.c_str()));
    if (Pq().PQresultStatus(r.get()) != PGRES_COMMAND_OK && Pq().PQresultStatus(r.get()) != PGRES_TUPLES_OK)
      Fail("failed");
  }
  PGresult* Query(const std::string& sql, const std::vector<std::optional<std::string>>& params = {}) {
    std::vector<const char*> values;
    for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
    PGresult* r = Pq().PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                    nullptr, nullptr, 0);
    if (Pq().PQresultStatus(r) != PGRES_COMMAND_OK && Pq().PQresultStatus(r) != PGRES_TUPLES_OK) {
      std::string state =
          Pq().PQresultErrorField(r, PG_DIAG_SQLSTATE) ? Pq().PQresultErrorField(r, PG_DIAG_SQLSTATE) : "";
      Pq().PQclear(r);
      // A value the column's type does not take refuses the capture, not the load.
      if (state.starts_with("22")) {
        std::string message = Pq().PQerrorMessage(conn_);
        while (!message.empty() && message.back() == '\n') message.pop_back();
        throw UsageError{"a value the database does not take: " + message};
      }
      Fail("failed");
    }
    return r;
  }
  void ReadCatalog() {
    catalog_.clear();
    Result r(
        Query("SELECT table_name, column_name FROM information_schema.columns WHERE table_schema = current_schema()"));
    for (int i = 0; i < r.rows(); ++i) catalog_[r.at(i, 0)].insert(r.at(i, 1));
  }
  // Adds what is missing of a table; within the schema transaction.
  void AddColumns(const std::string& table, const std::vector<std::pair<std::string, std::string>>& columns) {
    auto it = catalog_.find(table);
    if (it == catalog_.end()) {
      std::set<std::string> made{"capture_id", "machine_id"};
      std::string sql = "CREATE TABLE " + Quoted(table) + " (capture_id bigint NOT NULL, machine_id text NOT NULL";
      for (const auto& [name, type] : columns)
        if (made.insert(name).second) sql += ", " + Quoted(name) + " " + type;
      if (made.size() > kMaxColumns)
        throw UsageError{"the class " + table + " would need " + std::to_string(made.size()) +
                         " columns, more than the " + std::to_string(kMaxColumns) + " a table of the database holds"};
      Exec(sql + ")");
      Exec("CREATE INDEX ON " + Quoted(table) + " (capture_id)");
      catalog_.emplace(table, std::move(made));
      return;
    }
    std::size_t total = it->second.size();
    for (const auto& [name, type] : columns) total += !it->second.count(name);
    if (total > kMaxColumns)
      throw UsageError{"the class " + table + " would need " + std::to_string(total) + " columns, more than the " +
                       std::to_string(kMaxColumns) + " a table of the database holds"};
    for (const auto& [name, type] : columns)
      if (it->second.insert(name).second)
        Exec("ALTER TABLE " + Quoted(table) + " ADD COLUMN IF NOT EXISTS " + Quoted(name) + " " + type);
  }
  bool Missing(const std::map<std::string, std::vector<std::pair<std::string, std::string>>>& wanted) const {
    for (const auto& [table, columns] : wanted) {
      auto it = catalog_.find(table);
      if (it == catalog_.end()) return true;
      for (const auto& [name, type] : columns)
        if (!it->second.count(name)) return true;
    }
    return false;
  }
  void EnsureSchema(const std::map<std::string, std::vector<std::pair<std::string, std::string>>>& wanted) {
    if (!Missing(wanted)) return;
    Exec("BEGIN");
    try {
      Exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLock + ")");
      ReadCatalog();  // what other loaders added meanwhile
      for (const auto& [table, columns] : wanted) AddColumns(table, columns);
      Exec("COMMIT");
    } catch (...) {
      Pq().PQclear(Pq().PQexec(conn_, "ROLLBACK"));
      ReadCatalog();
      throw;
    }
  }
  template <typename Rows>
  LoadOutcome Insert(const Capture& capture, const Rows& classes) {
    Result known(Query("SELECT 1 FROM captures WHERE machine_id = $1 AND captured = $2",
                       {PgText(capture.machine_id), capture.captured}));
    if (known.rows() > 0) return LoadOutcome::Unchanged;
    Result latest(Query("SELECT MAX(captured) < $2::timestamptz FROM captures WHERE machine_id = $1",
                        {PgText(capture.machine_id), capture.captured}));
    LoadOutcome outcome = latest.null(0, 0)        ? LoadOutcome::NewMachine
                          : latest.at(0, 0) == "t" ? LoadOutcome::Newer
                                                   : LoadOutcome::Older;
    Result added(Query(
        "INSERT INTO captures (machine_id, machine, captured, source, program, file) VALUES ($1, $2, $3, $4, $5, $6) "
        "ON CONFLICT (machine_id, captured) DO NOTHING RETURNING capture_id",
        {PgText(capture.machine_id), PgText(capture.machine), capture.captured, PgText(capture.source),
         PgText(capture.program), PgText(capture.file)}));
    if (added.rows() == 0) return LoadOutcome::Unchanged;  // another loader has just loaded it
    const std::string id = added.at(0, 0);
    for (const auto& rows : classes) {
      // The instances in statements of many rows, each within PostgreSQL's
      // 65535 parameters.
      std::vector<std::string> columns;
      std::map<std::string, std::size_t> index;
      for (const wmi::Instance& inst : rows.cls->instances)
        for (const wmi::Property& p : inst.Properties())
          if (index.emplace(PgName(p.name), columns.size()).second) columns.push_back(PgName(p.name));
      if (rows.cls->instances.empty()) continue;
      const std::size_t per_row = columns.size() + 2;
      const std::size_t batch = std::max<std::size_t>(1, 30000 / per_row);
      const auto& instances = rows.cls->instances;
      for (std::size_t start = 0; start < instances.size(); start += batch) {
        std::string sql = "INSERT INTO " + Quoted(rows.table) + " (capture_id, machine_id";
        for (const std::string& c : columns) sql += ", " + Quoted(c);
        sql += ") VALUES ";
        std::vector<std::optional<std::string>> params;
        for (std::size_t i = start; i < std::min(instances.size(), start + batch); ++i) {
          std::vector<std::optional<std::string>> row(per_row);
          row[0] = id;
          row[1] = PgText(capture.machine_id);
          for (const wmi::Property& p : instances[i].Properties())
            row[index[PgName(p.name)] + 2] = Param(p.value, rows.types.at(Lower(p.name)));
          sql += i == start ? "(" : ", (";
          for (std::size_t k = 0; k < per_row; ++k)
            sql += (k ? ", $" : "$") + std::to_string(params.size() + k + 1) + (k == 0 ? "::bigint" : "");
          sql += ")";
          params.insert(params.end(), row.begin(), row.end());
        }
        Result r(Query(sql, params));
      }
    }
    Result summary(Query(std::string(kSummaryInsert), {id}));
    return outcome;
  }

  std::string uri_;
  PGconn* conn_ = nullptr;
  std::map<std::string, std::set<std::string>> catalog_;  // table: columns, as PostgreSQL names them
};

}  // namespace

std::unique_ptr<Inventory> MakePostgresInventory(const std::string& uri) {
  return std::make_unique<PostgresInventory>(uri);
}

bool HavePostgres() { return true; }

#else

std::unique_ptr<Inventory> MakePostgresInventory(const std::string&) {
  throw UsageError{
      "--db postgresql://: this build has no PostgreSQL client (libpq); write captures and load them "
      "where there is one"};
}

bool HavePostgres() { return false; }

#endif

}  // namespace cli
