// pcinfo_bench_export: loading 500 captures of made-up machines (made from the
// sample desktop capture) into an inventory database, as
// `pcinfo-cli export --db` does. Prints captures per second, and how the time
// splits between reading the captures and writing the database.
//
// Usage: pcinfo_bench_export [CAPTURES [BASE.json]]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/inventory.h"
#include "tests/support/machine_captures.h"

#ifndef PCINFO_TEST_DATA
#define PCINFO_TEST_DATA "tests/data"
#endif

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  const int count = argc > 1 ? std::stoi(argv[1]) : 500;
  const std::string base_path = argc > 2 ? argv[2] : std::string(PCINFO_TEST_DATA) + "/desktop.json";
  if (!cli::HaveDatabase()) {
    std::fprintf(stderr, "pcinfo_bench_export: this build has no SQLite\n");
    return 2;
  }
  const auto dir = std::filesystem::temp_directory_path() / ("pcinfo-bench-export-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);

  std::uintmax_t bytes = 0;
  std::vector<std::string> files;
  {
    wmi::Snapshot base = wmi::LoadSnapshotFile(base_path);
    for (int n = 0; n < count; ++n) {
      std::string path = (dir / (testing_support::MachineName(n) + ".json")).string();
      std::string text = wmi::SerializeSnapshot(testing_support::MachineCapture(base, n));
      bytes += text.size();
      std::ofstream(path, std::ios::binary) << text;
      files.push_back(path);
    }
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
  const double total = std::chrono::duration<double>(Clock::now() - start).count();
  const double parse_s = std::chrono::duration<double>(parse).count();
  const double db_s = std::chrono::duration<double>(database).count();
  const auto db_size = std::filesystem::file_size(db_path);
  std::filesystem::remove_all(dir);

  std::printf("captures:          %d (%.1f MB of JSON, %s)\n", count, bytes / 1e6, base_path.c_str());
  std::printf("total:             %.3f s, %.1f captures/s\n", total, count / total);
  std::printf("  read and parse:  %.3f s (%.1f%%), %.1f captures/s\n", parse_s, 100 * parse_s / total, count / parse_s);
  std::printf("  database:        %.3f s (%.1f%%), %.1f captures/s\n", db_s, 100 * db_s / total, count / db_s);
  std::printf("database size:     %.1f MB\n", db_size / 1e6);
  return 0;
}
