// pcinfo_bench_export: the inventory database's figures.
//   1. Loading captures of made-up machines (made from the sample desktop
//      capture) as `pcinfo-cli export --db` does: captures per second, and how
//      the time splits between reading the captures and writing the database.
//   2. A generated site (10,000 machines, varied memory, BIOS versions, free
//      space, a second capture of every tenth machine) loaded, then each of the
//      README's questions timed against it (goal: under 100 ms each).
//   3. With a PostgreSQL server (PCINFO_BENCH_PG: a postgresql:// URI of an
//      empty database): the captures loaded by 1 and by 8 loaders at once,
//      then the site loaded by 8 loaders and the questions timed there.
//
// Usage: pcinfo_bench_export [--quick] [CAPTURES [SITE]]
#include <sqlite3.h>

#ifdef PCINFO_BENCH_LIBPQ
#include <libpq-fe.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/export_command.h"
#include "cli/inventory.h"
#include "tests/support/machine_captures.h"
#include "tests/support/readme_queries.h"

#ifndef PCINFO_TEST_DATA
#define PCINFO_TEST_DATA "tests/data"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void PrintQuery(const std::string& sql, std::vector<double> times, int rows) {
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::string title = sql.substr(3, sql.find('\n') - 3);
  std::printf("%-60s %8.1f ms  %6d rows   < 100 ms  %s\n", title.c_str(), median, rows,
              median < 100 ? "met" : "NOT met");
}

// Each of the README's questions run five times through `run`, which returns
// the rows it read or -1 after printing why it failed; the median is printed.
// Returns 1 when a question failed.
int TimeReadmeQueries(const std::function<int(const std::string&)>& run) {
  int status = 0;
  for (const std::string& sql : testing_support::ReadmeQueries(std::string(PCINFO_TEST_DATA) + "/../../README.md")) {
    std::vector<double> times;
    int rows = 0;
    for (int n = 0; n < 5 && rows >= 0; ++n) {
      const auto t0 = Clock::now();
      rows = run(sql);
      times.push_back(Seconds(Clock::now() - t0) * 1000);
    }
    if (rows < 0)
      status = 1;
    else
      PrintQuery(sql, times, rows);
  }
  return status;
}

// Loading `count` capture files, read and parsed as the command does.
void LoadFiles(const wmi::Snapshot& base, int count, const std::filesystem::path& dir) {
  std::uintmax_t bytes = 0;
  std::vector<std::string> files;
  for (int n = 0; n < count; ++n) {
    std::string path = (dir / (testing_support::MachineName(n) + ".json")).string();
    std::string text = wmi::SerializeSnapshot(testing_support::MachineCapture(base, n));
    bytes += text.size();
    std::ofstream(path, std::ios::binary) << text;
    files.push_back(path);
  }
  Clock::duration parse{}, database{};
  const std::string db_path = (dir / "inventory.sqlite").string();
  const auto start = Clock::now();
  {
    cli::InventoryDatabase db(db_path);
    db.Begin();
    for (const std::string& path : files) {
      auto t0 = Clock::now();
      cli::Capture capture = cli::LoadCapture(path);
      auto t1 = Clock::now();
      db.Load(capture);
      auto t2 = Clock::now();
      parse += t1 - t0;
      database += t2 - t1;
    }
    auto t0 = Clock::now();
    db.Commit();
    database += Clock::now() - t0;
  }
  const double total = Seconds(Clock::now() - start), parse_s = Seconds(parse), db_s = Seconds(database);
  std::printf("captures:          %d (%.1f MB of JSON)\n", count, bytes / 1e6);
  std::printf("total:             %.3f s, %.1f captures/s\n", total, count / total);
  std::printf("  read and parse:  %.3f s (%.1f%%), %.1f captures/s\n", parse_s, 100 * parse_s / total, count / parse_s);
  std::printf("  database:        %.3f s (%.1f%%), %.1f captures/s\n", db_s, 100 * db_s / total, count / db_s);
  std::printf("database size:     %.1f MB\n", std::filesystem::file_size(db_path) / 1e6);
}

// The site: `machines` machines, every tenth captured twice; then the README's questions.
int Site(const wmi::Snapshot& base, int machines, const std::filesystem::path& dir) {
  const std::string db_path = (dir / "site.sqlite").string();
  const auto start = Clock::now();
  int captures = 0;
  {
    cli::InventoryDatabase db(db_path);
    db.Begin();
    for (int n = 0; n < machines; ++n)
      for (int later = 0; later <= (n % 10 == 0 ? 1 : 0); ++later) {
        cli::Capture c;
        c.snapshot = testing_support::MachineCapture(base, n, later);
        c.machine = testing_support::MachineName(n);
        c.machine_id = c.snapshot.header->machine_id;
        c.captured = c.snapshot.header->captured;
        c.source = c.snapshot.header->source;
        c.file = c.machine + ".json";
        db.Load(c);
        ++captures;
      }
    db.Commit();
  }
  const double load = Seconds(Clock::now() - start);
  std::printf("site: %d machines, %d captures loaded in %.1f s (%.0f captures/s, no JSON), %.0f MB\n", machines,
              captures, load, captures / load, std::filesystem::file_size(db_path) / 1e6);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
  const int status = TimeReadmeQueries([db](const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
      return -1;
    }
    int rows = 0;
    while (sqlite3_step(s) == SQLITE_ROW) ++rows;
    sqlite3_finalize(s);
    return rows;
  });
  sqlite3_close(db);
  return status;
}

#ifdef PCINFO_BENCH_LIBPQ
// `count` captures of made-up machines loaded into the server by `loaders` at
// once, each loader its own connection and machines.
double LoadPostgres(const std::string& uri, const wmi::Snapshot& base, int first, int count, int loaders,
                    bool with_history) {
  std::vector<std::vector<cli::Capture>> work(loaders);
  int captures = 0;
  for (int n = first; n < first + count; ++n)
    for (int later = 0; later <= (with_history && n % 10 == 0 ? 1 : 0); ++later) {
      cli::Capture c = cli::CaptureOf(testing_support::MachineCapture(base, n, later), "");
      c.machine = testing_support::MachineName(n);
      work[n % loaders].push_back(std::move(c));
      ++captures;
    }
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (auto& list : work)
    threads.emplace_back([&uri, &list] {
      std::unique_ptr<cli::Inventory> db = cli::OpenInventory(uri);
      for (const cli::Capture& c : list) db->Load(c);
    });
  for (std::thread& t : threads) t.join();
  return captures / Seconds(Clock::now() - start);
}

int Postgres(const std::string& uri, const wmi::Snapshot& base, int count, int site) {
  try {
    std::unique_ptr<cli::Inventory> setup = cli::OpenInventory(uri);
    std::printf("PostgreSQL, 1 loader:   %.1f captures/s (%d captures, no JSON)\n",
                LoadPostgres(uri, base, 0, count, 1, false), count);
    std::printf("PostgreSQL, 8 loaders:  %.1f captures/s (%d captures, no JSON)\n",
                LoadPostgres(uri, base, count, count, 8, false), count);
    std::printf("site on PostgreSQL: %d machines more, every tenth twice, 8 loaders: %.0f captures/s\n", site,
                LoadPostgres(uri, base, 2 * count, site, 8, true));
  } catch (const cli::WriteError& e) {
    std::fprintf(stderr, "pcinfo_bench_export: %s\n", e.message.c_str());
    return 1;
  } catch (const cli::UsageError& e) {
    std::fprintf(stderr, "pcinfo_bench_export: %s\n", e.message.c_str());
    return 1;
  }
  PGconn* c = PQconnectdb(uri.c_str());
  PQclear(PQexec(c, "ANALYZE"));
  const int status = TimeReadmeQueries([c](const std::string& sql) {
    PGresult* r = PQexec(c, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK;
    if (!ok) std::fprintf(stderr, "%s: %s\n", sql.c_str(), PQerrorMessage(c));
    const int rows = ok ? PQntuples(r) : -1;
    PQclear(r);
    return rows;
  });
  PQfinish(c);
  return status;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  if (quick) ++arg;
  // A count is a positive number; anything else (--help included) gets the usage.
  auto number = [&](int at, int otherwise) {
    if (argc <= at) return otherwise;
    char* end = nullptr;
    const long n = std::strtol(argv[at], &end, 10);
    if (end == argv[at] || *end != '\0' || n <= 0 || n > 1000000) {
      std::fprintf(stderr, "usage: pcinfo_bench_export [--quick] [CAPTURES [SITE_MACHINES]]\n");
      std::exit(2);
    }
    return static_cast<int>(n);
  };
  const int count = number(arg, quick ? 20 : 500);
  const int site = number(arg + 1, quick ? 100 : 10000);
  if (!cli::HaveDatabase()) {
    std::fprintf(stderr, "pcinfo_bench_export: this build has no SQLite\n");
    return 2;
  }
  const auto dir = std::filesystem::temp_directory_path() / ("pcinfo-bench-export-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const wmi::Snapshot base = wmi::LoadSnapshotFile(std::string(PCINFO_TEST_DATA) + "/desktop.json");
  LoadFiles(base, count, dir);
  int status = Site(base, site, dir);
#ifdef PCINFO_BENCH_LIBPQ
  if (const char* pg = std::getenv("PCINFO_BENCH_PG"); pg && *pg) status |= Postgres(pg, base, count, site);
#endif
  // PCINFO_BENCH_KEEP=1 keeps the databases for a look (the folder is printed).
  if (const char* keep = std::getenv("PCINFO_BENCH_KEEP"); keep && *keep == '1')
    std::printf("kept: %s\n", dir.string().c_str());
  else
    std::filesystem::remove_all(dir);
  return status;
}
