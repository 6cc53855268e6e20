// Times `pcinfo-cli all` on the live machine beside `lshw` and `hwinfo --all`
// in one run and prints the ratios. The goal: pcinfo-cli takes at most 0.15
// of the time of the faster peer. Usage: pcinfo_bench [--runs N] [--cli PATH]
// Each program runs N times (default 5) with its output thrown away; the
// median wall-clock time and the peak resident size count. The process floor
// (`pcinfo-cli --version`) is timed too, so that the cost of the work itself
// shows. A peer that is not installed is reported and left out of the ratios.
// Then the summary (`pcinfo-cli summary`) beside what reading its classes
// costs: `run` of the buttons that query them, `snapshot` of exactly those
// classes, and `lshw -short`. The goals: at most 1.2 times the reads of its
// classes, and under lshw -short.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "queries/buttons.h"
#include "queries/summary.h"
#include "wmi/error.h"
#include "wmi/text.h"
#include "wmi/wql.h"

namespace {

std::optional<std::string> OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin:/usr/sbin:/sbin";
  dirs += ":/usr/sbin:/sbin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string full = dir + "/" + name;
    if (!dir.empty() && ::access(full.c_str(), X_OK) == 0) return full;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return std::nullopt;
}

struct Sample {
  double seconds;
  long max_rss_kib;
};

// Wall-clock seconds and peak memory of one run, or nullopt when the program could not run or failed.
std::optional<Sample> RunOnce(const std::vector<std::string>& argv) {
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) < 0) return std::nullopt;
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return Sample{secs, usage.ru_maxrss};
}

struct Result {
  std::string label;
  std::optional<double> median;
  std::string note;
  long max_rss_kib = 0;  // the largest of the runs
};

Result Time(const std::string& label, const std::vector<std::string>& argv, int runs) {
  std::vector<double> times;
  long rss = 0;
  for (int i = 0; i < runs; ++i) {
    auto t = RunOnce(argv);
    if (!t) return {label, std::nullopt, "failed to run"};
    times.push_back(t->seconds);
    rss = std::max(rss, t->max_rss_kib);
  }
  std::sort(times.begin(), times.end());
  return {label, times[times.size() / 2], "", rss};
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string cli =
      (std::filesystem::path(std::filesystem::read_symlink("/proc/self/exe")).parent_path() / "pcinfo-cli").string();
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--cli" && i + 1 < argc)
      cli = argv[++i];
    else {
      std::fprintf(stderr, "usage: pcinfo_bench [--runs N] [--cli PATH]\n");
      return 2;
    }
  }
  std::vector<Result> results;
  results.push_back(Time("pcinfo-cli all", {cli, "all"}, runs));
  Result floor = Time("pcinfo-cli --version", {cli, "--version"}, runs);
  for (auto [label, program, args] :
       {std::tuple<const char*, const char*, std::vector<std::string>>{"lshw", "lshw", {}},
        {"hwinfo --all", "hwinfo", {"--all"}}}) {
    auto path = OnPath(program);
    if (!path) {
      results.push_back({label, std::nullopt, "not installed"});
      continue;
    }
    std::vector<std::string> full = {*path};
    full.insert(full.end(), args.begin(), args.end());
    results.push_back(Time(label, full, runs));
  }

  std::printf("%-22s %12s %14s\n", "program", "median (ms)", "peak RSS (KiB)");
  for (const Result& r : results) {
    if (r.median)
      std::printf("%-22s %12.1f %14ld\n", r.label.c_str(), *r.median * 1000, r.max_rss_kib);
    else
      std::printf("%-22s %12s %14s  (%s)\n", r.label.c_str(), "-", "-", r.note.c_str());
  }
  if (floor.median && results[0].median)
    std::printf("%-22s %12.1f %14ld  (process floor; `all` costs %.1f ms above it)\n", floor.label.c_str(),
                *floor.median * 1000, floor.max_rss_kib, (*results[0].median - *floor.median) * 1000);
  const Result& ours = results[0];
  if (!ours.median) {
    std::printf("pcinfo-cli all did not run: no ratios\n");
    return 0;
  }
  std::optional<double> fastest;
  for (std::size_t i = 1; i < results.size(); ++i) {
    if (!results[i].median) continue;
    std::printf("ratio pcinfo-cli / %-12s %8.4f  (%.1fx faster)\n", results[i].label.c_str(),
                *ours.median / *results[i].median, *results[i].median / *ours.median);
    if (!fastest || *results[i].median < *fastest) fastest = results[i].median;
  }
  if (fastest) {
    double ratio = *ours.median / *fastest;
    std::printf("goal: at most 0.15 of the faster peer: %.4f, %s\n", ratio, ratio <= 0.15 ? "met" : "NOT met");
  }
  std::printf("runs per program: %d\n", runs);

  // The summary beside the reads of its classes.
  std::vector<std::string> snapshot = {cli, "snapshot"};
  for (std::string_view c : queries::SummaryClasses()) snapshot.emplace_back(c);
  std::vector<std::string> run = {cli, "run"};
  for (const queries::Button& b : queries::Buttons()) {
    try {
      const std::string cls = wmi::ParseWql(b.query).class_name;
      for (std::string_view c : queries::SummaryClasses())
        if (wmi::EqualsIgnoreCase(c, cls)) run.emplace_back(b.control);
    } catch (const wmi::Error&) {
    }
  }
  std::printf("\n");
  Result summary = Time("pcinfo-cli summary", {cli, "summary"}, runs);
  Result reads = Time("run of its classes", run, runs);
  Result capture = Time("snapshot of them", snapshot, runs);
  std::optional<Result> lshw;
  if (auto path = OnPath("lshw")) lshw = Time("lshw -short", {*path, "-short"}, runs);
  for (const Result* r : {&summary, &reads, &capture, lshw ? &*lshw : nullptr}) {
    if (r == nullptr) continue;
    if (r->median)
      std::printf("%-22s %12.1f %14ld\n", r->label.c_str(), *r->median * 1000, r->max_rss_kib);
    else
      std::printf("%-22s %12s %14s  (%s)\n", r->label.c_str(), "-", "-", r->note.c_str());
  }
  std::printf("(run: %zu buttons of the %zu classes it reads; snapshot: all %zu)\n", run.size() - 2,
              queries::SummaryClasses().size(), queries::SummaryClasses().size());
  if (summary.median) {
    for (const Result* r : {&reads, &capture})
      if (r->median)
        std::printf("goal: summary at most 1.2 x %s: %.2f, %s\n", r->label.c_str(), *summary.median / *r->median,
                    *summary.median <= 1.2 * *r->median ? "met" : "NOT met");
    if (lshw && lshw->median)
      std::printf("goal: summary under lshw -short: %.2f of it, %s\n", *summary.median / *lshw->median,
                  *summary.median < *lshw->median ? "met" : "NOT met");
  }
  return 0;
}
