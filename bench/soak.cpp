// Soak: runs every button and a few class dumps (files written) on the live
// backend N times in one process, and prints the resident memory and the open
// file descriptors as it goes, so that growth shows.
// Usage: pcinfo_soak [--runs N] (default 10000)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "browser/browser.h"
#include "cli/console_window.h"
#include "cli/dump_command.h"
#include "queries/buttons.h"
#include "wmi/live.h"

namespace {

long ResidentKb() {
  std::ifstream in("/proc/self/statm");
  long pages = 0, resident = 0;
  in >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

int OpenFds() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n - 1;  // the iterator's own
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 10000;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs") runs = std::atol(argv[i + 1]);
  auto info = std::filesystem::temp_directory_path() / ("pcinfo-soak-" + std::to_string(::getpid()));
  std::filesystem::create_directories(info);
  auto provider = wmi::MakeLiveProvider();
  const char* dumped[] = {"Win32_Processor", "Win32_DiskDrive", "Win32_NetworkAdapter", "Win32_PnPEntity",
                          "Win32_TapeDrive"};
  std::size_t pane_bytes = 0;
  auto t0 = std::chrono::steady_clock::now();
  std::printf("%8s %10s %6s %10s\n", "run", "rss_kb", "fds", "seconds");
  for (long run = 1; run <= runs; ++run) {
    {
      cli::ConsoleWindow window(*provider);
      for (const queries::Button& b : queries::Buttons()) browser::RunCategoryButton(window, b);
      pane_bytes = window.text().size();
    }
    for (const char* cls : dumped) {
      cli::ConsoleWindow window(*provider);
      window.SetDump(cls, "cimv2", info);
      browser::Command61Click(window);
    }
    if (run == 1 || run % 1000 == 0) {
      double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      std::printf("%8ld %10ld %6d %10.1f\n", run, ResidentKb(), OpenFds(), s);
      std::fflush(stdout);
    }
  }
  std::printf("pane bytes per run: %zu; files in the info folder: %zu\n", pane_bytes,
              static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(info), {})));
  std::filesystem::remove_all(info);
  return 0;
}
