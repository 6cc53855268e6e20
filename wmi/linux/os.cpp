// Win32_OperatingSystem from /etc/os-release, uname, /proc/meminfo, /proc/stat,
// the host name, the time zone and the locale.
#include <algorithm>
#include <cstdio>
#include <set>

#include "wmi/linux/backend.h"

namespace wmi::lx {

namespace {

std::optional<std::uint64_t> MemKb(const std::map<std::string, std::string>& info, const char* key) {
  auto it = info.find(key);
  if (it == info.end()) return std::nullopt;
  auto w = Words(it->second);
  auto v = w.empty() ? std::nullopt : ParseInt(w[0]);
  if (!v || *v < 0) return std::nullopt;
  return static_cast<std::uint64_t>(*v);
}

struct LocaleCode {
  const char* name;  // language_TERRITORY
  int lcid;
};

constexpr LocaleCode kLocales[] = {
    {"ja_JP", 0x0411}, {"en_US", 0x0409}, {"en_GB", 0x0809}, {"de_DE", 0x0407}, {"fr_FR", 0x040C},
    {"it_IT", 0x0410}, {"es_ES", 0x0C0A}, {"pt_BR", 0x0416}, {"ru_RU", 0x0419}, {"zh_CN", 0x0804},
    {"zh_TW", 0x0404}, {"ko_KR", 0x0412}, {"nl_NL", 0x0413}, {"sv_SE", 0x041D}, {"pl_PL", 0x0415},
};

std::optional<std::string> SystemLocale(const Tree& tree) {
  for (const char* file : {"/etc/locale.conf", "/etc/default/locale"}) {
    auto kv = KeyValues(tree.Read(file).value_or(""), '=', true);
    if (kv.count("LANG") && !kv["LANG"].empty()) return kv["LANG"];
  }
  return std::nullopt;
}

// The root file system's device, from mountinfo.
std::optional<std::string> RootDevice(const Tree& tree) {
  auto text = tree.Read("/proc/self/mountinfo");
  if (!text) return std::nullopt;
  std::optional<std::string> dev;
  for (const std::string& line : Lines(*text)) {
    auto w = Words(line);
    auto dash = std::find(w.begin(), w.end(), "-");
    if (w.size() > 4 && w[4] == "/" && dash != w.end() && w.end() - dash >= 3) dev = *(dash + 2);
  }
  return dev;
}

}  // namespace

InstanceList BuildOperatingSystem(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  System& sys = ctx.system();
  Builder b(def, ctx);
  auto release =
      KeyValues(tree.Read("/etc/os-release").value_or(tree.Read("/usr/lib/os-release").value_or("")), '=', true);
  auto get = [&](const char* k) -> std::optional<std::string> {
    auto it = release.find(k);
    if (it == release.end() || it->second.empty()) return std::nullopt;
    return it->second;
  };
  auto u = sys.Uname();
  std::string caption = get("PRETTY_NAME").value_or(get("NAME").value_or(u ? u->sysname : "Linux"));
  auto root = RootDevice(tree);
  b.Text("Caption", caption);
  b.Text("Name", caption + "|/|" + root.value_or(""));
  b.Text("Manufacturer", get("NAME"));
  b.Text("OtherTypeDescription", get("VERSION"));
  b.Int("OSType", 36);  // LINUX
  b.Text("CSName", ctx.HostName());
  b.Text("BootDevice", root).Text("SystemDevice", root);
  b.Text("SystemDrive", "/");
  if (u) {
    b.Text("Version", u->release);
    // uname's version reads "#1 SMP PREEMPT_DYNAMIC <date>": the build count and the build type.
    auto w = Words(u->version);
    if (!w.empty() && w[0].size() > 1 && w[0][0] == '#') {
      b.Text("BuildNumber", w[0].substr(1));
      std::string type;
      for (std::size_t i = 1; i < w.size() && (w[i] == "SMP" || StartsWith(w[i], "PREEMPT")); ++i)
        type += (type.empty() ? "" : " ") + w[i];
      if (!type.empty()) b.Text("BuildType", type);
    }
    bool is64 = u->machine.find("64") != std::string::npos || u->machine == "s390x";
    b.Text("OSArchitecture", is64 ? "64-bit" : "32-bit");
  }
  // Memory, in KB.
  std::map<std::string, std::string> mem = KeyValues(tree.Read("/proc/meminfo").value_or(""), ':');
  auto total = MemKb(mem, "MemTotal");
  auto avail = MemKb(mem, "MemAvailable");
  if (!avail) avail = MemKb(mem, "MemFree");
  auto swap_total = MemKb(mem, "SwapTotal");
  auto swap_free = MemKb(mem, "SwapFree");
  if (!total) {
    if (auto s = sys.Sysinfo()) {
      total = s->total_ram / 1024;
      avail = s->free_ram / 1024;
      swap_total = s->total_swap / 1024;
      swap_free = s->free_swap / 1024;
    }
  }
  b.Big("TotalVisibleMemorySize", total).Big("FreePhysicalMemory", avail);
  b.Big("SizeStoredInPagingFiles", swap_total).Big("FreeSpaceInPagingFiles", swap_free);
  if (total) b.Big("TotalVirtualMemorySize", *total + swap_total.value_or(0));
  if (avail) b.Big("FreeVirtualMemory", *avail + swap_free.value_or(0));
  if (swap_total) b.Big("TotalSwapSpaceSize", swap_total);
  // Times.
  if (auto now = sys.Now()) {
    b.Text("LocalDateTime", ctx.DateTime(*now));
    b.Int("CurrentTimeZone", sys.UtcOffsetMinutes(*now));
  }
  if (auto boot = ctx.BootTime()) b.Text("LastBootUpTime", ctx.DateTime(*boot));
  // Processes and users.
  std::int64_t processes = 0;
  for (const std::string& e : tree.List("/proc"))
    if (ParseInt(e)) ++processes;
  if (processes > 0) b.Int("NumberOfProcesses", processes);
  b.Int("MaxNumberOfProcesses", tree.Number("/proc/sys/kernel/pid_max"));
  // Locale: the system's LANG, as the LCID and MUI language WMI gives.
  if (auto lang = SystemLocale(tree)) {
    std::string base = lang->substr(0, lang->find_first_of(".@"));
    for (const LocaleCode& l : kLocales)
      if (base == l.name) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04x", l.lcid);
        b.Text("Locale", hex).Int("OSLanguage", l.lcid);
        std::string mui = base;
        mui[2] = '-';
        b.Texts("MUILanguages", std::vector<std::string>{mui});
      }
    std::string lower = Lower(*lang);
    if (lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos) b.Text("CodeSet", "65001");
  }
  std::set<std::string> flags;
  if (auto cpuinfo = tree.Read("/proc/cpuinfo"))
    for (const std::string& line : Lines(*cpuinfo))
      if (StartsWith(line, "flags")) {
        for (const std::string& f : Words(line.substr(line.find(':') + 1))) flags.insert(f);
        break;
      }
  if (!flags.empty()) b.Bool("DataExecutionPrevention_Available", flags.count("nx") > 0);
  b.Bool("Primary", true).Bool("Distributed", false).Bool("Debug", false).Text("Status", "OK");
  InstanceList out;
  out.push_back(b.Build());
  return out;
}

}  // namespace wmi::lx
