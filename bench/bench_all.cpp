// Times `pcinfo-cli all` on the live machine beside `lshw` and `hwinfo --all`
// in one run and prints the ratios. The goal: pcinfo-cli takes at most a fifth
// of the time of the faster peer. Usage: pcinfo_bench [--runs N] [--cli PATH]
// Each program runs N times (default 5) with its output thrown away; the
// median wall-clock time counts. A peer that is not installed is reported and
// left out of the ratios.
#include <fcntl.h>
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

// Wall-clock seconds of one run, or nullopt when the program could not run or failed.
std::optional<double> RunOnce(const std::vector<std::string>& argv) {
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
  if (::waitpid(pid, &status, 0) < 0) return std::nullopt;
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return secs;
}

struct Result {
  std::string label;
  std::optional<double> median;
  std::string note;
};

Result Time(const std::string& label, const std::vector<std::string>& argv, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto t = RunOnce(argv);
    if (!t) return {label, std::nullopt, "failed to run"};
    times.push_back(*t);
  }
  std::sort(times.begin(), times.end());
  return {label, times[times.size() / 2], ""};
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

  std::printf("%-16s %12s\n", "program", "median (ms)");
  for (const Result& r : results) {
    if (r.median)
      std::printf("%-16s %12.1f\n", r.label.c_str(), *r.median * 1000);
    else
      std::printf("%-16s %12s  (%s)\n", r.label.c_str(), "-", r.note.c_str());
  }
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
    std::printf("goal: at most 0.2 of the faster peer: %.4f, %s\n", ratio, ratio <= 0.2 ? "met" : "NOT met");
  }
  std::printf("runs per program: %d\n", runs);
  return 0;
}
