// Win32_OperatingSystem from /etc/os-release, uname, /proc/meminfo, /proc/stat,
// the host name, the time zone and the locale.
#include <algorithm>
#include <cstdio>
#include <set>

#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"

namespace wmi::lx {

namespace {

std::optional<std::uint64_t> MemKb(const std::map<std::string, std::string>& info, const char* key) {
  auto it = info.find(key);
  if (it == info.end()) return std::nullopt;
  auto w = Words(it->second);
  return w.empty() ? std::nullopt : Unsigned(ParseIntIn(w[0], 0, INT64_MAX));
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
  std::optional<std::string> dev;
  tree.EachLine("/proc/self/mountinfo", [&](std::string_view line) {
    auto w = Words(line);
    auto dash = std::find(w.begin(), w.end(), "-");
    if (w.size() > 4 && w[4] == "/" && dash != w.end() && w.end() - dash >= 3) dev = *(dash + 2);
  });
  return dev;
}

// The code page of a locale name's character set ("ja_JP.UTF-8" gives 65001);
// nullopt where the name gives none.
std::optional<std::string> CodePage(const std::string& locale) {
  if (locale == "C" || locale == "POSIX") return "20127";  // US-ASCII
  auto dot = locale.find('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string set;
  for (char c : Lower(locale.substr(dot + 1, locale.find('@', dot) - dot - 1)))
    if (c != '-' && c != '_') set += c;
  static const std::map<std::string, const char*> kPages = {{"utf8", "65001"},      {"ansix3.41968", "20127"},
                                                            {"ascii", "20127"},     {"iso88591", "28591"},
                                                            {"iso88592", "28592"},  {"iso88595", "28595"},
                                                            {"iso88597", "28597"},  {"iso88599", "28599"},
                                                            {"iso885915", "28605"}, {"eucjp", "20932"},
                                                            {"sjis", "932"},        {"shiftjis", "932"},
                                                            {"gb2312", "936"},      {"gbk", "936"},
                                                            {"gb18030", "54936"},   {"big5", "950"},
                                                            {"euckr", "51949"},     {"koi8r", "20866"},
                                                            {"koi8u", "21866"},     {"cp1251", "1251"}};
  auto it = kPages.find(set);
  if (it == kPages.end()) return std::nullopt;
  return std::string(it->second);
}

// The first "flags" and "address sizes" lines of /proc/cpuinfo.
struct CpuFeatures {
  std::set<std::string> flags;
  std::optional<std::int64_t> virtual_bits;
};

CpuFeatures ReadCpuFeatures(const Tree& tree) {
  CpuFeatures f;
  bool flags_seen = false;
  tree.EachLine("/proc/cpuinfo", [&](std::string_view line) {
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string key = Trim(line.substr(0, colon));
    std::string_view value = line.substr(colon + 1);
    if (key == "flags" && !flags_seen) {
      flags_seen = true;
      for (const std::string& w : Words(value)) f.flags.insert(w);
    } else if (key == "address sizes" && !f.virtual_bits) {
      // "39 bits physical, 48 bits virtual"
      auto comma = value.find(',');
      if (comma != std::string_view::npos) {
        auto w = Words(value.substr(comma + 1));
        if (w.size() == 3 && w[1] == "bits" && w[2] == "virtual") f.virtual_bits = ParseIntIn(w[0], 32, 64);
      }
    }
  });
  return f;
}

// Caption, Name, the maker and the versions: os-release and uname.
void SetIdentity(Builder& b, Context& ctx) {
  const Tree& tree = ctx.tree();
  auto release =
      KeyValues(tree.Read("/etc/os-release").value_or(tree.Read("/usr/lib/os-release").value_or("")), '=', true);
  auto get = [&](const char* k) -> std::optional<std::string> {
    auto it = release.find(k);
    if (it == release.end() || it->second.empty()) return std::nullopt;
    return it->second;
  };
  auto u = ctx.system().Uname();
  std::string caption = get("PRETTY_NAME").value_or(get("NAME").value_or(u ? u->sysname : "Linux"));
  auto root = RootDevice(tree);
  b.Text("Caption", caption);
  // Windows' three fields: the name, the Windows folder (none here, so empty), the boot partition.
  b.Text("Name", caption + "||" + root.value_or(""));
  b.Text("Manufacturer", get("VENDOR_NAME"));  // the distribution's maker, where os-release names it
  b.Text("OtherTypeDescription", get("VERSION"));
  b.Int("OSType", 36);  // LINUX
  b.Text("CSName", ctx.HostName());
  b.Text("BootDevice", root).Text("SystemDevice", root);
  b.Text("SystemDrive", "/");
  if (!u) return;
  b.Text("Version", u->release);
  // uname's version reads "#1 SMP PREEMPT_DYNAMIC <date>": the build type follows the "#N", which
  // counts the builds of the kernel's source tree on its builder's machine: no build number of the system.
  auto w = Words(u->version);
  if (!w.empty() && w[0].size() > 1 && w[0][0] == '#') {
    std::string type;
    for (std::size_t i = 1; i < w.size() && (w[i] == "SMP" || StartsWith(w[i], "PREEMPT")); ++i)
      type += (type.empty() ? "" : " ") + w[i];
    if (!type.empty()) b.Text("BuildType", type);
  }
  bool is64 = u->machine.find("64") != std::string::npos || u->machine == "s390x";
  b.Text("OSArchitecture", is64 ? "64-bit" : "32-bit");
}

// Physical memory and swap, in KB: /proc/meminfo, else sysinfo.
void SetMemory(Builder& b, Context& ctx) {
  std::map<std::string, std::string> mem = KeyValues(ctx.tree().Read("/proc/meminfo").value_or(""), ':');
  auto total = MemKb(mem, "MemTotal");
  auto avail = MemKb(mem, "MemAvailable");
  if (!avail) avail = MemKb(mem, "MemFree");
  auto swap_total = MemKb(mem, "SwapTotal");
  auto swap_free = MemKb(mem, "SwapFree");
  if (!total) {
    if (auto s = ctx.system().Sysinfo()) {
      total = s->total_ram / 1024;
      avail = s->free_ram / 1024;
      swap_total = s->total_swap / 1024;
      swap_free = s->free_swap / 1024;
    }
  }
  b.Big("TotalVisibleMemorySize", total).Big("FreePhysicalMemory", avail);
  b.Big("SizeStoredInPagingFiles", swap_total).Big("FreeSpaceInPagingFiles", swap_free);
  b.Big("TotalVirtualMemorySize", AddU(total, swap_total.value_or(0)));
  b.Big("FreeVirtualMemory", AddU(avail, swap_free.value_or(0)));
  if (swap_total) b.Big("TotalSwapSpaceSize", swap_total);
}

// The clock, the time zone and the boot time.
void SetTimes(Builder& b, Context& ctx) {
  if (auto now = ctx.system().Now()) {
    b.Text("LocalDateTime", ctx.DateTime(*now));
    b.Int("CurrentTimeZone", ctx.system().UtcOffsetMinutes(*now));
  }
  if (auto boot = ctx.BootTime()) b.Text("LastBootUpTime", ctx.DateTime(*boot));
}

// The processes running, and how many there may be.
void SetProcesses(Builder& b, Context& ctx) {
  std::int64_t processes = 0;
  for (const std::string& e : ctx.tree().List("/proc"))
    if (ParseInt(e)) ++processes;
  if (processes > 0) b.Int("NumberOfProcesses", processes);
  b.Int("MaxNumberOfProcesses", ctx.tree().Number("/proc/sys/kernel/pid_max"));
}

// Locale, language and code page: the system's LANG, as the LCID and MUI language WMI gives;
// the code page of the system's LANG, else of this process's locale.
void SetLocale(Builder& b, Context& ctx) {
  auto lang = SystemLocale(ctx.tree());
  if (lang) {
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
  }
  std::optional<std::string> page = lang ? CodePage(*lang) : std::nullopt;
  if (!page) {
    if (auto own = ctx.system().ProcessLocale()) page = CodePage(*own);
  }
  b.Text("CodeSet", page);
}

// What the processor gives every process: no-execute pages (DEP) and the address space.
void SetProcessorFeatures(Builder& b, Context& ctx, bool is64) {
  CpuFeatures f = ReadCpuFeatures(ctx.tree());
  if (!f.flags.empty()) {
    bool nx = f.flags.count("nx") > 0;
    bool off = false;  // noexec=off on the kernel command line turns no-execute pages off
    if (auto cmdline = ctx.tree().Line("/proc/cmdline"))
      for (const std::string& w : Words(*cmdline))
        if (w == "noexec=off") off = true;
    bool on = nx && !off;
    b.Bool("DataExecutionPrevention_Available", nx);
    b.Bool("DataExecutionPrevention_32BitApplications", on);
    b.Bool("DataExecutionPrevention_Drivers", on);  // the kernel maps its own data no-execute too
    // 3 OptOut: on for every process, save a program that asks for an executable stack; 0 AlwaysOff.
    b.Int("DataExecutionPrevention_SupportPolicy", on ? 3 : 0);
  }
  // User space has the lower half of the virtual address space (128 TB with 48 bits), in KB.
  if (is64 && f.virtual_bits) b.Big("MaxProcessMemorySize", (std::uint64_t{1} << (*f.virtual_bits - 1)) / 1024);
}

}  // namespace

InstanceList BuildOperatingSystem(const ClassDef& def, Context& ctx) {
  Builder b(def, ctx);
  SetIdentity(b, ctx);
  SetMemory(b, ctx);
  SetTimes(b, ctx);
  SetProcesses(b, ctx);
  SetLocale(b, ctx);
  auto u = ctx.system().Uname();
  SetProcessorFeatures(b, ctx, u && (u->machine.find("64") != std::string::npos || u->machine == "s390x"));
  b.Bool("Primary", true).Bool("Distributed", false).Bool("Debug", false).Text("Status", "OK");
  InstanceList out;
  out.push_back(b.Build());
  return out;
}

}  // namespace wmi::lx
