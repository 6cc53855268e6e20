// Win32_Processor and Win32_CacheMemory from /proc/cpuinfo and
// /sys/devices/system/cpu (topology, cpufreq, cache).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"
#include "wmi/linux/firmware.h"
#include "wmi/linux/smbios.h"
#include "wmi/text.h"

namespace wmi::lx {

namespace {

// Logical processor numbers the kernel can give (its CONFIG_NR_CPUS stops far below).
constexpr std::int64_t kMaxCpu = 1 << 20;

using Block = std::map<std::string, std::string>;

// The blocks of /proc/cpuinfo, one per logical processor ("processor" lines start them).
std::vector<Block> CpuInfo(const Tree& tree) {
  std::vector<Block> blocks;
  auto text = tree.Read("/proc/cpuinfo");
  if (!text) return blocks;
  Block common;  // lines before the first "processor" or outside blocks (ARM's "Hardware")
  Block current;
  for (const std::string& line : Lines(*text)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) {
      if (!current.empty()) blocks.push_back(std::move(current));
      current.clear();
      continue;
    }
    std::string key = Trim(std::string_view(line).substr(0, colon));
    std::string value = Trim(std::string_view(line).substr(colon + 1));
    if (key == "processor" && current.count("processor")) {
      blocks.push_back(std::move(current));
      current.clear();
    }
    if (key == "processor" || !current.empty())
      current.emplace(key, value);
    else
      common.emplace(key, value);
  }
  if (!current.empty()) blocks.push_back(std::move(current));
  // A block is a logical processor only when it has a number.
  blocks.erase(std::remove_if(blocks.begin(), blocks.end(),
                              [](const Block& b) {
                                auto it = b.find("processor");
                                return it == b.end() || !ParseIntIn(it->second, 0, kMaxCpu);
                              }),
               blocks.end());
  for (Block& b : blocks) b.insert(common.begin(), common.end());
  return blocks;
}

std::optional<std::string> Get(const Block& b, const char* key) {
  auto it = b.find(key);
  if (it == b.end() || it->second.empty()) return std::nullopt;
  return it->second;
}

std::optional<std::int64_t> GetInt(const Block& b, const char* key) {
  auto v = Get(b, key);
  return v ? ParseInt(*v) : std::nullopt;
}

std::string CpuDir(const std::string& cpu) { return "/sys/devices/system/cpu/cpu" + cpu; }

// CPUID leaf 1 EDX, rebuilt from the feature flags the kernel lists.
std::uint32_t FeatureBits(const std::set<std::string>& flags) {
  static const char* const kBits[32] = {"fpu",  "vme",   "de",   "pse",     "tsc",  "msr", "pae",  "mce",
                                        "cx8",  "apic",  "",     "sep",     "mtrr", "pge", "mca",  "cmov",
                                        "pat",  "pse36", "pn",   "clflush", "",     "dts", "acpi", "mmx",
                                        "fxsr", "sse",   "sse2", "ss",      "ht",   "tm",  "ia64", "pbe"};
  std::uint32_t bits = 0;
  for (int i = 0; i < 32; ++i)
    if (*kBits[i] && flags.count(kBits[i])) bits |= 1u << i;
  return bits;
}

// CPUID leaf 1 EAX (the processor signature), from family, model and stepping.
std::uint32_t Signature(std::int64_t family, std::int64_t model, std::int64_t stepping) {
  std::uint32_t base_family = family >= 0xF ? 0xF : static_cast<std::uint32_t>(family);
  std::uint32_t ext_family = family >= 0xF ? static_cast<std::uint32_t>(family - 0xF) : 0;
  std::uint32_t m = static_cast<std::uint32_t>(model);
  return static_cast<std::uint32_t>(stepping & 0xF) | (m & 0xF) << 4 | base_family << 8 | (m >> 4 & 0xF) << 16 |
         (ext_family & 0xFF) << 20;
}

// The SMBIOS processor family code WMI reports, as far as /proc/cpuinfo tells it.
std::int64_t FamilyCode(const std::string& vendor, std::int64_t family, const std::string& name) {
  auto has = [&](const char* s) { return name.find(s) != std::string::npos; };
  if (vendor == "AuthenticAMD") {
    if (family >= 0x17) return 107;  // AMD Zen Processor Family
    if (has("Opteron")) return 132;
    if (has("Athlon")) return 29;
    return 1;
  }
  if (vendor == "GenuineIntel") {
    if (has("Xeon")) return 179;
    if (has("Core(TM) i3")) return 206;
    if (has("Core(TM) i5")) return 205;
    if (has("Core(TM) i7")) return 198;
    if (has("Core(TM) i9")) return 207;
    if (has("Pentium")) return 11;
    if (has("Celeron")) return 15;
    if (has("Atom")) return 43;
    return 1;
  }
  return 2;
}

struct Architecture {
  std::optional<std::int64_t> code;
  int width = 64;
};

Architecture ArchitectureOf(Context& ctx) {
  auto u = ctx.system().Uname();
  std::string m = u ? u->machine : "";
  if (m == "x86_64") return {9, 64};
  if (m.size() == 4 && m[0] == 'i' && m.substr(2) == "86") return {0, 32};
  if (m == "aarch64" || m == "arm64") return {12, 64};
  if (StartsWith(m, "arm")) return {5, 32};
  if (m == "ia64") return {6, 64};
  if (m == "ppc64" || m == "ppc64le") return {3, 64};
  if (m == "riscv64") return {std::nullopt, 64};
  return {std::nullopt, 64};
}

// A cache as /sys/devices/system/cpu/cpuN/cache/indexM describes it.
struct Cache {
  int level = 0;
  std::string type;  // Data, Instruction, Unified
  std::optional<std::int64_t> size_kb, line_size, ways, sets;
  std::string shared;  // shared_cpu_list
  std::set<int> cpus;
  const SmbiosStructure* firmware = nullptr;  // the table's type 7 structure it comes from
};

std::optional<std::int64_t> SizeKb(std::optional<std::string> text) {
  if (!text) return std::nullopt;
  std::string t = *text;
  std::int64_t mul = 1;
  if (!t.empty() && (t.back() == 'K' || t.back() == 'k'))
    t.pop_back();
  else if (!t.empty() && t.back() == 'M') {
    t.pop_back();
    mul = 1024;
  }
  return Mul(ParseIntIn(t, 0, INT64_MAX), mul);
}

std::set<int> CpuList(const std::string& list) {
  std::set<int> out;
  for (const std::string& part : Split(list, ',')) {
    auto dash = part.find('-');
    auto a = ParseIntIn(part.substr(0, dash), 0, kMaxCpu);
    auto b = dash == std::string::npos ? a : ParseIntIn(part.substr(dash + 1), 0, kMaxCpu);
    if (!a || !b || *b < *a || *b - *a > 4096) continue;
    for (auto i = *a; i <= *b; ++i) out.insert(static_cast<int>(i));
  }
  return out;
}

// Every distinct cache of the machine, in the order of the first cpu that has it.
std::vector<Cache> Caches(const Tree& tree) {
  std::vector<Cache> caches;
  std::set<std::string> seen;
  std::vector<std::string> cpus;
  for (const std::string& e : tree.List("/sys/devices/system/cpu"))
    if (e.size() > 3 && StartsWith(e, "cpu") && ParseIntIn(e.substr(3), 0, kMaxCpu)) cpus.push_back(e.substr(3));
  std::sort(cpus.begin(), cpus.end(),
            [](const std::string& a, const std::string& b) { return *ParseInt(a) < *ParseInt(b); });
  for (const std::string& cpu : cpus) {
    std::string base = CpuDir(cpu) + "/cache";
    for (const std::string& idx : tree.List(base)) {
      if (!StartsWith(idx, "index")) continue;
      std::string dir = base + "/" + idx;
      Cache c;
      auto level = tree.Number(dir + "/level", 0, 255);
      auto type = tree.Line(dir + "/type");
      if (!level || !type) continue;
      c.level = static_cast<int>(*level);
      c.type = *type;
      c.size_kb = SizeKb(tree.Line(dir + "/size"));
      c.line_size = tree.Number(dir + "/coherency_line_size");
      c.ways = tree.Number(dir + "/ways_of_associativity");
      c.sets = tree.Number(dir + "/number_of_sets");
      c.shared = tree.Line(dir + "/shared_cpu_list").value_or(cpu);
      c.cpus = CpuList(c.shared);
      if (c.cpus.empty()) c.cpus.insert(static_cast<int>(*ParseInt(cpu)));
      std::string key = std::to_string(c.level) + "/" + c.type + "/" + c.shared;
      if (seen.insert(key).second) caches.push_back(std::move(c));
    }
  }
  return caches;
}

// ---- Caches from the CPUID instruction, where sysfs has no cache folders ----

// One cache as CPUID describes it, seen from one logical processor.
struct CpuidCache {
  int level = 0;
  std::string type;
  std::int64_t size_kb = 0, line_size = 0, ways = 0, sets = 0;
  // Who shares it: `threads` logical processors by APIC id (leaves 4 and
  // 0x8000001D), or one core or one package (leaves 0x80000005/6).
  enum class Scope { Threads, Core, Package } scope = Scope::Threads;
  std::uint32_t threads = 1;
};

std::string CpuVendor(System& sys) {
  auto r = sys.Cpuid(0, 0);
  if (!r) return "";
  char v[13] = {};
  std::memcpy(v, &r->ebx, 4);
  std::memcpy(v + 4, &r->edx, 4);
  std::memcpy(v + 8, &r->ecx, 4);
  return v;
}

// Leaf 4 (Intel) and 0x8000001D (AMD) share one layout: a subleaf per cache until type 0.
std::vector<CpuidCache> DeterministicCaches(System& sys, std::uint32_t leaf) {
  std::vector<CpuidCache> out;
  for (std::uint32_t sub = 0; sub < 16; ++sub) {
    auto r = sys.Cpuid(leaf, sub);
    if (!r) break;
    std::uint32_t type = r->eax & 0x1F;
    if (type == 0) break;
    if (type > 3) continue;
    CpuidCache c;
    c.level = static_cast<int>(r->eax >> 5 & 0x7);
    c.type = type == 1 ? "Data" : type == 2 ? "Instruction" : "Unified";
    c.threads = (r->eax >> 14 & 0xFFF) + 1;
    std::int64_t ways = (r->ebx >> 22 & 0x3FF) + 1, partitions = (r->ebx >> 12 & 0x3FF) + 1;
    c.line_size = (r->ebx & 0xFFF) + 1;
    c.sets = static_cast<std::int64_t>(r->ecx) + 1;
    c.ways = (r->eax & 0x200) ? 0 : ways;  // bit 9: fully associative
    c.size_kb = ways * partitions * c.line_size * c.sets / 1024;
    out.push_back(c);
  }
  return out;
}

// The associativity codes of leaf 0x80000006 (L2 and L3): 0 means fully
// associative, -1 disabled (code 0), -2 not stated here (code 9: "see leaf
// 0x8000001D"; other codes reserved).
std::int64_t LegacyWays(std::uint32_t code) {
  static const std::int64_t kWays[16] = {-1, 1, 2, -2, 4, -2, 8, -2, 16, -2, 32, 48, 64, 96, 128, 0};
  return kWays[code & 0xF];
}

// Leaves 0x80000005 (L1, AMD) and 0x80000006 (L2 and L3).
std::vector<CpuidCache> LegacyCaches(System& sys) {
  std::vector<CpuidCache> out;
  auto max = sys.Cpuid(0x80000000, 0);
  if (!max) return out;
  using Scope = CpuidCache::Scope;
  if (max->eax >= 0x80000005) {
    if (auto r = sys.Cpuid(0x80000005, 0)) {
      for (auto [reg, type] : {std::pair{r->ecx, "Data"}, std::pair{r->edx, "Instruction"}}) {
        if ((reg >> 24) == 0) continue;
        std::uint32_t assoc = reg >> 16 & 0xFF;
        out.push_back({1, type, reg >> 24, reg & 0xFF, assoc == 0xFF ? 0 : assoc, 0, Scope::Core, 1});
      }
    }
  }
  if (max->eax >= 0x80000006) {
    if (auto r = sys.Cpuid(0x80000006, 0)) {
      std::int64_t l2_ways = LegacyWays(r->ecx >> 12);
      if ((r->ecx >> 16) != 0 && l2_ways != -1)
        out.push_back({2, "Unified", r->ecx >> 16, r->ecx & 0xFF, l2_ways, 0, Scope::Core, 1});
      std::int64_t l3_ways = LegacyWays(r->edx >> 12);
      if ((r->edx >> 18) != 0 && l3_ways != -1)
        out.push_back({3, "Unified", static_cast<std::int64_t>(r->edx >> 18) * 512, r->edx & 0xFF, l3_ways, 0,
                       Scope::Package, 1});
    }
  }
  return out;
}

std::vector<CpuidCache> DescribeCpuidCaches(System& sys) {
  std::string vendor = CpuVendor(sys);
  if (vendor.empty()) return {};
  std::vector<CpuidCache> caches;
  auto max = sys.Cpuid(0, 0);
  auto ext = sys.Cpuid(0x80000000, 0);
  if (vendor == "GenuineIntel" && max && max->eax >= 4) {
    caches = DeterministicCaches(sys, 4);
  } else if ((vendor == "AuthenticAMD" || vendor == "HygonGenuine") && ext && ext->eax >= 0x8000001D) {
    auto features = sys.Cpuid(0x80000001, 0);
    if (features && (features->ecx >> 22 & 1)) caches = DeterministicCaches(sys, 0x8000001D);  // topology extensions
  }
  if (caches.empty()) caches = LegacyCaches(sys);
  return caches;
}

// The caches of the machine: each described cache once per group of logical
// processors that shares it, in the order of the first processor of each group.
std::vector<Cache> CpuidCaches(Context& ctx, const std::vector<Block>& blocks) {
  std::vector<CpuidCache> described = DescribeCpuidCaches(ctx.system());
  std::vector<Cache> out;
  if (described.empty()) return out;
  struct Cpu {
    int number;
    std::int64_t apic, core, package;
  };
  std::vector<Cpu> cpus;
  for (const Block& b : blocks) {
    Cpu c;
    c.number = static_cast<int>(GetInt(b, "processor").value_or(0));
    c.package = GetInt(b, "physical id").value_or(0);
    c.core = GetInt(b, "core id").value_or(c.number);
    c.apic = GetInt(b, "apicid").value_or(c.number);
    cpus.push_back(c);
  }
  if (cpus.empty()) cpus.push_back({0, 0, 0, 0});
  std::sort(cpus.begin(), cpus.end(), [](const Cpu& a, const Cpu& b) { return a.number < b.number; });
  auto group = [](const CpuidCache& d, const Cpu& c) -> std::pair<std::int64_t, std::int64_t> {
    switch (d.scope) {
      case CpuidCache::Scope::Core:
        return {c.package, c.core};
      case CpuidCache::Scope::Package:
        return {c.package, 0};
      default: {
        int shift = 0;
        while (shift < 31 && (1u << shift) < d.threads) ++shift;
        return {0, c.apic >> shift};
      }
    }
  };
  std::set<std::pair<std::size_t, std::pair<std::int64_t, std::int64_t>>> emitted;
  for (const Cpu& first : cpus) {
    for (std::size_t i = 0; i < described.size(); ++i) {
      const CpuidCache& d = described[i];
      auto key = group(d, first);
      if (!emitted.insert({i, key}).second) continue;
      Cache c;
      c.level = d.level;
      c.type = d.type;
      c.size_kb = d.size_kb;
      c.line_size = d.line_size;
      if (d.ways >= 0) c.ways = d.ways;
      if (d.sets) c.sets = d.sets;
      for (const Cpu& other : cpus)
        if (group(d, other) == key) c.cpus.insert(other.number);
      out.push_back(std::move(c));
    }
  }
  return out;
}

std::optional<std::int64_t> Mhz(const Tree& tree, const std::string& cpu, const char* file) {
  return DivRound(tree.Number(CpuDir(cpu) + "/cpufreq/" + file, 1, INT64_MAX), 1000);
}

// The logical processors of one physical package.
struct Package {
  std::vector<const Block*> cpus;  // in /proc/cpuinfo order
  std::set<int> logical;           // their numbers
  std::set<std::string> cores;     // their distinct core ids
  bool kernel_cores = true;        // the kernel named every core (else each logical processor counts as one)
};

// Logical processors by physical package, in package order.
std::map<std::int64_t, Package> Packages(const Tree& tree, const std::vector<Block>& blocks) {
  std::map<std::int64_t, Package> packages;
  for (const Block& b : blocks) {
    std::string cpu = Get(b, "processor").value_or("0");
    auto pkg = GetInt(b, "physical id");
    if (!pkg) pkg = tree.Number(CpuDir(cpu) + "/topology/physical_package_id");
    Package& p = packages[pkg && *pkg >= 0 ? *pkg : 0];
    p.cpus.push_back(&b);
    p.logical.insert(static_cast<int>(ParseInt(cpu).value_or(0)));
    auto core = Get(b, "core id");
    if (!core) core = tree.Line(CpuDir(cpu) + "/topology/core_id");
    if (!core) p.kernel_cores = false;
    p.cores.insert(core.value_or(cpu));
  }
  return packages;
}

std::set<std::string> Flags(const Block& b) {
  std::set<std::string> flags;
  if (auto f = Get(b, "flags"))
    for (const std::string& w : Words(*f)) flags.insert(w);
  return flags;
}

// Identity: names, maker, family, revision and the processor id.
void SetIdentity(Builder& b, Context& ctx, const Block& first, const Architecture& arch, int index) {
  std::string vendor = Get(first, "vendor_id").value_or("");
  std::optional<std::string> name = Get(first, "model name");
  if (!name) name = Get(first, "Hardware");
  auto family = GetInt(first, "cpu family");
  auto model = GetInt(first, "model");
  auto stepping = GetInt(first, "stepping");
  std::string caption;
  if (family && model && stepping) {
    std::string prefix = arch.code == 9 ? (vendor == "AuthenticAMD" ? "AMD64" : "Intel64") : "x86";
    caption = prefix + " Family " + std::to_string(*family) + " Model " + std::to_string(*model) + " Stepping " +
              std::to_string(*stepping);
  } else {
    caption = name.value_or("Processor");
  }
  b.Device("CPU" + std::to_string(index), name.value_or(caption), caption);
  b.Text("Caption", caption);
  b.Text("Name", name);
  b.Int("Availability", 3).Int("StatusInfo", 3).Int("CpuStatus", 1).Int("ProcessorType", 3);
  b.Text("Role", "CPU").Bool("PowerManagementSupported", false);
  b.Int("Architecture", arch.code).Int("AddressWidth", arch.width).Int("DataWidth", arch.width);
  if (!vendor.empty())
    b.Text("Manufacturer", vendor);
  else if (auto impl = GetInt(first, "CPU implementer")) {
    static const std::map<std::int64_t, const char*> kImpl = {
        {0x41, "ARM"},    {0x42, "Broadcom"}, {0x43, "Cavium"}, {0x48, "HiSilicon"}, {0x4e, "NVIDIA"},
        {0x50, "Ampere"}, {0x51, "Qualcomm"}, {0x61, "Apple"},  {0xc0, "Ampere"}};
    auto it = kImpl.find(*impl);
    if (it != kImpl.end()) b.Text("Manufacturer", it->second);
  }
  if (family) {
    b.Int("Family", FamilyCode(vendor, *family, name.value_or("")));
    b.Int("Level", *family);
  }
  if (InRange(model, 0, 0xFFFFFF) && InRange(stepping, 0, 0xFF)) {
    b.Int("Revision", (*model << 8) | (*stepping & 0xFF));
    b.Text("Stepping", std::to_string(*stepping));
    b.Text("Version", "Model " + std::to_string(*model) + ", Stepping " + std::to_string(*stepping));
  }
  // The processor id is CPUID leaf 1's EDX and EAX: from the instruction on
  // x86, else rebuilt from the flags the kernel lists (which hides some bits).
  std::set<std::string> flags = Flags(first);
  if (auto leaf1 = ctx.system().Cpuid(1, 0)) {
    char id[17];
    std::snprintf(id, sizeof id, "%08X%08X", leaf1->edx, leaf1->eax);
    b.Text("ProcessorId", id);
  } else if (family && model && stepping && !flags.empty()) {
    char id[17];
    std::snprintf(id, sizeof id, "%08X%08X", FeatureBits(flags), Signature(*family, *model, *stepping));
    b.Text("ProcessorId", id);
  }
}

// The clock a brand string states ("... CPU @ 1.90GHz"), in MHz.
std::optional<std::int64_t> BrandClock(const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  auto at = name->rfind('@');
  if (at == std::string::npos) return std::nullopt;
  std::string rest = Trim(std::string_view(*name).substr(at + 1));
  std::int64_t scale = 0;
  if (rest.size() > 3 && EqualsIgnoreCase(rest.substr(rest.size() - 3), "GHz"))
    scale = 1000;
  else if (rest.size() > 3 && EqualsIgnoreCase(rest.substr(rest.size() - 3), "MHz"))
    scale = 1;
  if (!scale) return std::nullopt;
  auto value = ParseRounded(Trim(rest.substr(0, rest.size() - 3)) + (scale == 1000 ? "e3" : ""));
  return InRange(value, 1, 1000000);
}

// The rated clock of a processor socket: the speed the firmware started it at (SMBIOS type 4's
// current speed), not the ceiling its table's maximum speed names.
std::optional<std::int64_t> RatedClock(const SmbiosStructure& s) {
  auto mhz = Field(s, 0x16, 2);
  return mhz && *mhz != 0 ? mhz : std::nullopt;
}

// Clock speeds. The rated clock (MaxClockSpeed, as Windows reports it): cpufreq's base frequency,
// else the firmware's, else the brand string's, else the highest cpufreq knows, else "cpu MHz".
// The current clock: cpufreq's, else "cpu MHz", else the firmware's.
void SetClocks(Builder& b, const Tree& tree, const Block& first, const SmbiosStructure* socket) {
  std::string cpu0 = Get(first, "processor").value_or("0");
  std::optional<std::int64_t> mhz;
  if (auto m = Get(first, "cpu MHz")) mhz = InRange(ParseRounded(*m), 0, INT64_MAX);
  auto cur = Mhz(tree, cpu0, "scaling_cur_freq");
  std::optional<std::int64_t> rated = Mhz(tree, cpu0, "base_frequency");
  if (!rated && socket) rated = RatedClock(*socket);
  if (!rated) rated = BrandClock(Get(first, "model name"));
  if (!rated) rated = Mhz(tree, cpu0, "cpuinfo_max_freq");
  if (!cur) cur = mhz;
  if (!cur && socket) cur = RatedClock(*socket);
  b.Int("CurrentClockSpeed", cur);
  b.Int("MaxClockSpeed", rated ? rated : mhz);
}

// Cores, threads and the virtualisation features.
void SetTopology(Builder& b, const Package& p) {
  b.Int("NumberOfCores", static_cast<std::int64_t>(p.cores.size()));
  b.Int("NumberOfEnabledCore", static_cast<std::int64_t>(p.cores.size()));
  b.Int("NumberOfLogicalProcessors", static_cast<std::int64_t>(p.logical.size()));
  b.Int("ThreadCount", static_cast<std::int64_t>(p.logical.size()));
  std::set<std::string> flags = Flags(*p.cpus.front());
  if (!flags.empty()) {
    b.Bool("VMMonitorModeExtensions", flags.count("vmx") || flags.count("svm"));
    b.Bool("SecondLevelAddressTranslationExtensions", flags.count("ept") || flags.count("npt"));
  }
}

// L2 and L3: the sizes of the distinct caches of that level used by this package, in KB.
void SetCaches(Builder& b, const std::vector<Cache>& caches, const Package& p) {
  for (int level : {2, 3}) {
    std::optional<std::int64_t> total;
    for (const Cache& c : caches) {
      if (c.level != level || !c.size_kb) continue;
      bool ours = std::any_of(c.cpus.begin(), c.cpus.end(), [&](int n) { return p.logical.count(n) > 0; });
      if (ours) total = total.value_or(0) + *c.size_kb;
    }
    b.Int(level == 2 ? "L2CacheSize" : "L3CacheSize", total);
  }
}

// What the firmware's processor structure (SMBIOS type 4) adds to /proc: the
// socket, the bus clock, the upgrade method, the voltage, and the asset
// strings.
void SetFirmware(Builder& b, const SmbiosStructure& s) {
  b.Text("SocketDesignation", s.String(0x04));
  // SMBIOS's processor status (bits 0-2: 0 Unknown, 1 Enabled ... 4 Idle, 7 Other) is WMI's CpuStatus.
  if (auto status = s.Byte(0x18)) b.Int("CpuStatus", *status & 0x07);
  if (auto v = s.Byte(0x11)) {
    // Bit 7 set: bits 0-6 are the voltage times 10; else bits 0-2 are the
    // supported voltages (1: 5 V, 2: 3.3 V, 4: 2.9 V), which WMI calls VoltageCaps.
    if (*v & 0x80)
      b.Int("CurrentVoltage", *v & 0x7F);
    else if (*v & 0x07)
      b.Int("VoltageCaps", *v & 0x07);
  }
  if (auto clock = Field(s, 0x12, 2); clock && *clock != 0) b.Int("ExtClock", clock);
  // SMBIOS's upgrade codes (1 Other, 2 Unknown, 3 Daughter Board, 4 ZIF Socket ...) are WMI's.
  b.Int("UpgradeMethod", Field(s, 0x19, 1));
  b.Text("SerialNumber", s.String(0x20)).Text("AssetTag", s.String(0x21)).Text("PartNumber", s.String(0x22));
}

// The processor structures of populated sockets (status bit 6), in table order.
std::vector<const SmbiosStructure*> PopulatedSockets(Context& ctx) {
  std::vector<const SmbiosStructure*> out;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(4))
    if (auto status = s->Byte(0x18); status && (*status & 0x40)) out.push_back(s);
  return out;
}

// ---- Caches from the firmware's cache structures (SMBIOS type 7) ----

// SMBIOS's associativity codes (7.8.5) as numbers of ways; 0 is fully associative.
constexpr CodeMap kSmbiosWays[] = {{3, 1},  {4, 2},   {5, 4},   {6, 0},   {7, 8},   {8, 16},
                                   {9, 12}, {10, 24}, {11, 32}, {12, 48}, {13, 64}, {14, 20}};

// The installed size in KB: bit 15 (bit 31 of the 3.1 extended field) counts 64 KB units.
std::optional<std::int64_t> FirmwareCacheKb(const SmbiosStructure& s) {
  auto w = s.Word(0x09);
  if (!w) return std::nullopt;
  if (*w == 0xFFFF) {
    auto ext = s.Dword(0x17);
    if (!ext) return std::nullopt;
    std::int64_t units = *ext & 0x7FFFFFFF;
    return (*ext & 0x80000000u) ? units * 64 : units;
  }
  std::int64_t units = *w & 0x7FFF;
  return (*w & 0x8000) ? units * 64 : units;
}

// The enabled caches of the firmware's table, each used by the logical
// processors of the socket whose processor structure names it (all of them
// where none does).
std::vector<Cache> FirmwareCaches(Context& ctx, const std::vector<Block>& blocks) {
  std::vector<std::set<int>> package_cpus;
  for (const auto& [pkg, p] : Packages(ctx.tree(), blocks)) package_cpus.push_back(p.logical);
  std::set<int> all;
  for (const auto& cpus : package_cpus) all.insert(cpus.begin(), cpus.end());
  std::vector<const SmbiosStructure*> sockets = PopulatedSockets(ctx);
  std::map<std::uint16_t, std::set<int>> users;
  for (std::size_t i = 0; i < sockets.size() && i < package_cpus.size(); ++i)
    for (std::size_t offset : {0x1A, 0x1C, 0x1E})
      if (auto handle = sockets[i]->Word(offset)) users[*handle].insert(package_cpus[i].begin(), package_cpus[i].end());
  std::vector<Cache> out;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(7)) {
    auto config = s->Word(0x05);
    auto kb = FirmwareCacheKb(*s);
    if (!config || !(*config & 0x80) || !kb || *kb == 0) continue;  // disabled or empty
    Cache c;
    c.level = (*config & 0x07) + 1;
    auto type = s->Byte(0x11);
    c.type = !type ? "Unified" : *type == 3 ? "Instruction" : *type == 4 ? "Data" : *type == 5 ? "Unified" : "Other";
    c.size_kb = kb;
    c.ways = MapCode(kSmbiosWays, Field(*s, 0x12, 1));
    auto it = users.find(s->handle);
    c.cpus = it != users.end() ? it->second : all;
    c.firmware = s;
    out.push_back(std::move(c));
  }
  return out;
}

// The caches from sysfs, else from CPUID, else from the firmware's table.
std::vector<Cache> MachineCaches(Context& ctx, const std::vector<Block>& blocks) {
  std::vector<Cache> caches = Caches(ctx.tree());
  if (caches.empty()) caches = CpuidCaches(ctx, blocks);
  if (caches.empty()) caches = FirmwareCaches(ctx, blocks);
  return caches;
}

// The core, enabled core and thread counts of a processor structure (the 2.5 bytes, else the 3.0 words
// where the byte says 0xFF); nullopt for 0 (unknown).
std::optional<std::int64_t> SocketCount(const SmbiosStructure& s, std::size_t byte, std::size_t word) {
  auto n = Field(s, byte, 1);
  if (n == 0xFF) n = Field(s, word, 2);
  return n && *n != 0 ? n : std::nullopt;
}

// A processor known only from the firmware's table: a populated socket of a tree without /proc.
void SetSocketOnly(Builder& b, const SmbiosStructure& s, int index) {
  auto version = s.String(0x10);
  std::string name = version ? Trim(*version) : std::string("Processor");
  auto maker = s.String(0x07);
  std::string caption = name;
  // The processor's signature (CPUID leaf 1 EAX) gives the caption Windows builds for x86 makers.
  auto eax = s.Dword(0x08), edx = s.Dword(0x0C);
  bool intel = maker && maker->find("Intel") != std::string::npos;
  bool amd = maker && (maker->find("AMD") != std::string::npos || maker->find("Advanced Micro") != std::string::npos);
  if (eax && *eax != 0 && (intel || amd)) {
    std::uint32_t base = *eax >> 8 & 0x0F, family = base == 0x0F ? base + (*eax >> 20 & 0xFF) : base;
    std::uint32_t model = (*eax >> 4 & 0x0F) | ((base == 0x06 || base == 0x0F) ? (*eax >> 16 & 0x0F) << 4 : 0);
    bool wide = Field(s, 0x26, 2).value_or(0) & 0x04;  // characteristics bit 2: 64-bit capable
    caption = std::string(wide ? (amd ? "AMD64" : "Intel64") : "x86") + " Family " + std::to_string(family) +
              " Model " + std::to_string(model) + " Stepping " + std::to_string(*eax & 0x0F);
    b.Int("Level", family).Text("Stepping", std::to_string(*eax & 0x0F));
    b.Int("Revision", (model << 8) | (*eax & 0x0F));
  }
  b.Device("CPU" + std::to_string(index), name, caption);
  b.Text("Caption", caption).Text("Manufacturer", maker);
  if (eax && edx) {
    char id[17];
    std::snprintf(id, sizeof id, "%08X%08X", *edx, *eax);
    b.Text("ProcessorId", id);
  }
  b.Text("Role", "CPU").Bool("PowerManagementSupported", false);
  // SMBIOS's processor types (1 Other, 2 Unknown, 3 Central Processor ...) are WMI's.
  b.Int("ProcessorType", Field(s, 0x05, 1));
  b.Int("MaxClockSpeed", RatedClock(s)).Int("CurrentClockSpeed", RatedClock(s));
  auto cores = SocketCount(s, 0x23, 0x2A), threads = SocketCount(s, 0x25, 0x2E);
  b.Int("NumberOfCores", cores).Int("NumberOfEnabledCore", SocketCount(s, 0x24, 0x2C));
  b.Int("NumberOfLogicalProcessors", threads).Int("ThreadCount", threads);
}

// The family code of a processor structure (0xFE: see the 3.0 word); SMBIOS's codes are WMI's.
std::optional<std::int64_t> SocketFamily(const SmbiosStructure& s) {
  auto family = Field(s, 0x06, 1);
  if (family == 0xFE) family = Field(s, 0x28, 2);
  return family && *family > 2 && *family < 0xFFFE ? family : std::nullopt;
}

// The L2 and L3 sizes a socket's cache handles name, in KB.
void SetSocketCaches(Builder& b, const SmbiosTable& t, const SmbiosStructure& s) {
  for (auto [offset, name] : {std::pair{0x1C, "L2CacheSize"}, std::pair{0x1E, "L3CacheSize"}}) {
    auto handle = s.Word(static_cast<std::size_t>(offset));
    const SmbiosStructure* cache = handle ? t.ByHandle(*handle) : nullptr;
    if (cache && cache->type == 7) b.Int(name, FirmwareCacheKb(*cache));
  }
}

}  // namespace

InstanceList BuildProcessors(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<Block> blocks = CpuInfo(tree);
  std::vector<Cache> caches = MachineCaches(ctx, blocks);
  Architecture arch = ArchitectureOf(ctx);
  // The firmware's populated sockets, joined in order with the kernel's packages; a socket in the
  // table but not populated is no processor.
  std::vector<const SmbiosStructure*> sockets = PopulatedSockets(ctx);
  InstanceList out;
  int index = 0;
  for (const auto& [pkg, package] : Packages(tree, blocks)) {
    const Block& first = *package.cpus.front();
    const SmbiosStructure* socket =
        static_cast<std::size_t>(index) < sockets.size() ? sockets[static_cast<std::size_t>(index)] : nullptr;
    Builder b(def, ctx);
    SetIdentity(b, ctx, first, arch, index);
    SetClocks(b, tree, first, socket);
    SetTopology(b, package);
    SetCaches(b, caches, package);
    if (socket) {
      SetFirmware(b, *socket);
      if (auto family = SocketFamily(*socket)) b.Int("Family", family);
      if (!package.kernel_cores) {
        b.Int("NumberOfCores", SocketCount(*socket, 0x23, 0x2A));
        b.Int("NumberOfEnabledCore", SocketCount(*socket, 0x24, 0x2C));
      }
    }
    out.push_back(b.Build());
    ++index;
  }
  if (!out.empty()) return out;
  // No processor in /proc: the firmware's sockets alone.
  for (const SmbiosStructure* socket : sockets) {
    Builder b(def, ctx);
    SetSocketOnly(b, *socket, index);
    SetFirmware(b, *socket);
    b.Int("Family", SocketFamily(*socket));
    SetSocketCaches(b, ctx.Smbios(), *socket);
    out.push_back(b.Build());
    ++index;
  }
  return out;
}

ProcessorCount CountProcessors(Context& ctx) {
  std::vector<Block> blocks = CpuInfo(ctx.tree());
  ProcessorCount n;
  if (!blocks.empty()) {
    n.packages = static_cast<std::int64_t>(Packages(ctx.tree(), blocks).size());
    n.logical = static_cast<std::int64_t>(blocks.size());
    return n;
  }
  std::vector<const SmbiosStructure*> sockets = PopulatedSockets(ctx);
  if (sockets.empty()) return n;
  n.packages = static_cast<std::int64_t>(sockets.size());
  std::int64_t threads = 0;
  for (const SmbiosStructure* s : sockets) {
    auto t = SocketCount(*s, 0x25, 0x2E);
    if (!t) return n;
    threads += *t;
  }
  n.logical = threads;
  return n;
}

namespace {

// The SRAM type bits of a type 7 structure (bit n: WMI's code n, 0 Other ... 6 Asynchronous).
std::optional<std::vector<std::int64_t>> SramTypes(std::optional<std::uint16_t> bits) {
  if (!bits) return std::nullopt;
  std::vector<std::int64_t> codes;
  for (int n = 0; n <= 6; ++n)
    if (*bits >> n & 1) codes.push_back(n);
  if (codes.empty()) return std::nullopt;
  return codes;
}

// What the firmware's cache structure says beyond the cache's geometry: its socket designation
// (WMI's Purpose), write policy, location, SRAM types, speed and error correction.
void SetFirmwareCache(Builder& b, const SmbiosStructure& s) {
  b.Text("Purpose", s.String(0x04));
  if (auto config = s.Word(0x05)) {
    // Operational mode: write through, write back, varies with address, unknown.
    static const std::int64_t kWrite[4] = {4, 3, 5, 2};
    b.Int("WritePolicy", kWrite[*config >> 8 & 0x03]);
    // Location: internal, external, reserved, unknown are WMI's 0 to 3.
    b.Int("Location", *config >> 5 & 0x03);
  }
  b.Ints("SupportedSRAM", SramTypes(s.Word(0x0B))).Ints("CurrentSRAM", SramTypes(s.Word(0x0D)));
  if (auto ns = s.Byte(0x0F); ns && *ns != 0) b.Int("CacheSpeed", *ns);
  // SMBIOS's error correction codes (1 Other ... 6 Multi-bit ECC) are WMI's.
  if (auto ecc = s.Byte(0x10); ecc && *ecc >= 1 && *ecc <= 6) b.Int("ErrorCorrectType", *ecc);
  // The maximum size in KB, with the same 64 KB granularity bit (and 3.1 extension) as the installed size.
  if (auto max = s.Word(0x07)) {
    std::optional<std::int64_t> kb = (*max & 0x8000) ? (*max & 0x7FFF) * 64 : (*max & 0x7FFF);
    if (*max == 0xFFFF) {
      auto ext = s.Dword(0x13);
      kb = ext ? std::optional<std::int64_t>((*ext & 0x80000000u) ? std::int64_t{*ext & 0x7FFFFFFF} * 64
                                                                  : std::int64_t{*ext & 0x7FFFFFFF})
               : std::nullopt;
    }
    b.Int("MaxCacheSize", kb);
  }
}

}  // namespace

InstanceList BuildCacheMemory(const ClassDef& def, Context& ctx) {
  InstanceList out;
  int index = 0;
  // The firmware's cache structures are what the machine's own firmware names; without them, the
  // caches the kernel or the processor describes.
  std::vector<Block> blocks = CpuInfo(ctx.tree());
  std::vector<Cache> caches = FirmwareCaches(ctx, blocks);
  if (caches.empty()) caches = MachineCaches(ctx, blocks);
  for (const Cache& c : caches) {
    Builder b(def, ctx);
    b.Device("Cache Memory " + std::to_string(index++), "Cache Memory");
    b.Int("Level",
          c.level >= 1 && c.level <= 3 ? std::optional<std::int64_t>(c.level + 2) : std::optional<std::int64_t>(1));
    b.Int("CacheType", c.type == "Instruction" ? 3 : c.type == "Data" ? 4 : c.type == "Unified" ? 5 : 1);
    b.Int("InstalledSize", c.size_kb).Int("MaxCacheSize", c.size_kb);
    b.Big("BlockSize", 1024);
    if (c.size_kb) b.Big("NumberOfBlocks", static_cast<std::uint64_t>(*c.size_kb));
    b.Int("LineSize", c.line_size);
    std::optional<std::int64_t> assoc;
    if (c.ways) {
      // WMI's list ends at 16-way (8); the class takes the value from SMBIOS's
      // associativity field, whose later codes (12-way 9 ... 20-way 14) follow.
      static const std::map<std::int64_t, std::int64_t> kWays = {
          {1, 3}, {2, 4}, {4, 5}, {8, 7}, {16, 8}, {12, 9}, {24, 10}, {32, 11}, {48, 12}, {64, 13}, {20, 14}};
      auto it = kWays.find(*c.ways);
      if (it != kWays.end())
        assoc = it->second;
      else if (*c.ways == 0 || (c.sets && *c.sets == 1))
        assoc = 6;
      else
        assoc = 1;
    }
    b.Int("Associativity", assoc);
    b.Int("Location", 0).Int("Availability", 3).Int("StatusInfo", 3).Bool("PowerManagementSupported", false);
    if (c.firmware) SetFirmwareCache(b, *c.firmware);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
