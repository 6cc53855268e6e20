#include "wmi/linux/system.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "wmi/linux/tree.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define PCINFO_HAS_CPUID 1
#endif

extern "C" {
#include <libudev.h>
#include <pci/pci.h>
}

namespace wmi::lx {

namespace {

int PrefixOf(const sockaddr* mask) {
  if (!mask) return 0;
  int bits = 0;
  if (mask->sa_family == AF_INET) {
    bits = std::popcount(reinterpret_cast<const sockaddr_in*>(mask)->sin_addr.s_addr);
  } else if (mask->sa_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(mask);
    for (unsigned char byte : a->sin6_addr.s6_addr) bits += std::popcount(static_cast<unsigned>(byte));
  }
  return bits;
}

std::optional<std::string> Cstr(const char* s) {
  if (!s || !*s) return std::nullopt;
  return std::string(s);
}

void IgnorePciError(char*, ...) {}

// libpci's error handler must not return (it is declared noreturn, and libpci
// goes on as if it had not): ours jumps back to the lookup that called libpci.
thread_local std::jmp_buf* pci_error_jump = nullptr;

// The GNU spelling: clang makes it part of the type, as libpci's field has it.
__attribute__((noreturn)) void LeavePciError(char*, ...) {
  if (pci_error_jump) std::longjmp(*pci_error_jump, 1);
  std::abort();  // only reached by a libpci call made outside PciLookup
}

// Names through libpci, which reads the pci.ids file whole at the first
// lookup. A file it cannot parse ends its use: no names from it after that.
class PciNameList {
 public:
  explicit PciNameList(const char* ids_file = nullptr) {
    pci_ = pci_alloc();  // names only: the bus itself is never scanned here
    if (!pci_) return;
    // pci_init() would set these (and scan the bus); libpci's own error handler would exit().
    pci_->error = LeavePciError;
    pci_->warning = IgnorePciError;
    pci_->debug = IgnorePciError;
    if (ids_file) pci_set_name_list_path(pci_, const_cast<char*>(ids_file), 0);
  }
  ~PciNameList() {
    // After an error the name list holds what was read before it, which
    // libpci frees like any other.
    if (pci_) pci_cleanup(pci_);
  }
  PciNameList(const PciNameList&) = delete;
  PciNameList& operator=(const PciNameList&) = delete;

  std::optional<std::string> Lookup(int flags, unsigned a, unsigned b = 0) {
    if (!pci_ || failed_) return std::nullopt;
    char buf[512];
    const char* volatile name = nullptr;
    std::jmp_buf jump;
    std::jmp_buf* outer = pci_error_jump;
    pci_error_jump = &jump;
    if (setjmp(jump) == 0) {
      name = pci_lookup_name(pci_, buf, sizeof buf, flags | PCI_LOOKUP_NO_NUMBERS, a, b);
    } else {
      failed_ = true;
      name = nullptr;
    }
    pci_error_jump = outer;
    return Cstr(name);
  }

 private:
  pci_access* pci_ = nullptr;
  bool failed_ = false;
};

IdNames PciIdsNames(PciNameList& list, unsigned vendor, unsigned device) {
  IdNames n;
  n.vendor = list.Lookup(PCI_LOOKUP_VENDOR, vendor);
  n.device = list.Lookup(PCI_LOOKUP_DEVICE, vendor, device);
  return n;
}

}  // namespace

IdNames PciNamesFromIdsFile(const std::string& ids_file, unsigned vendor, unsigned device) {
  PciNameList list(ids_file.c_str());
  return PciIdsNames(list, vendor, device);
}

namespace {

class RealSystem : public System {
 public:
  ~RealSystem() override {
    if (hwdb_) udev_hwdb_unref(hwdb_);
    if (udev_) udev_unref(udev_);
  }

  std::vector<InterfaceAddress> InterfaceAddresses() override {
    std::vector<InterfaceAddress> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
      if (!a->ifa_addr || !a->ifa_name) continue;
      int family = a->ifa_addr->sa_family;
      if (family != AF_INET && family != AF_INET6) continue;
      char text[INET6_ADDRSTRLEN] = {};
      const void* addr = family == AF_INET
                             ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr)
                             : static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(a->ifa_addr)->sin6_addr);
      if (!inet_ntop(family, addr, text, sizeof text)) continue;
      out.push_back({a->ifa_name, family == AF_INET6, text, PrefixOf(a->ifa_netmask)});
    }
    freeifaddrs(list);
    return out;
  }

  std::optional<FileSystemStats> FileSystem(const std::string& mount_point) override {
    struct statvfs s;
    if (statvfs(mount_point.c_str(), &s) != 0) return std::nullopt;
    std::uint64_t unit = s.f_frsize ? s.f_frsize : s.f_bsize;
    return FileSystemStats{static_cast<std::uint64_t>(s.f_blocks) * unit, static_cast<std::uint64_t>(s.f_bavail) * unit,
                           static_cast<std::uint64_t>(s.f_bfree) * unit, s.f_bsize, s.f_namemax};
  }

  std::optional<UnameInfo> Uname() override {
    utsname u;
    if (uname(&u) != 0) return std::nullopt;
    return UnameInfo{u.sysname, u.nodename, u.release, u.version, u.machine};
  }

  std::optional<SysInfo> Sysinfo() override {
    struct sysinfo s;
    if (sysinfo(&s) != 0) return std::nullopt;
    std::uint64_t unit = s.mem_unit ? s.mem_unit : 1;
    return SysInfo{static_cast<std::int64_t>(s.uptime),
                   s.totalram * unit,
                   s.freeram * unit,
                   s.totalswap * unit,
                   s.freeswap * unit,
                   s.procs};
  }

  std::optional<std::int64_t> Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }

  int UtcOffsetMinutes(std::int64_t t) override {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm local;
    if (!localtime_r(&tt, &local)) return 0;
    return static_cast<int>(local.tm_gmtoff / 60);
  }

  // Vendor and model names of a modalias from udev's hardware database;
  // false when the database has no entry for it.
  bool HwdbNames(const char* modalias, IdNames& n) {
    auto props = HwdbLookup(modalias);
    if (!props) return false;
    n.vendor = Prop(*props, "ID_VENDOR_FROM_DATABASE");
    n.device = Prop(*props, "ID_MODEL_FROM_DATABASE");
    return true;
  }

  // PCI names: udev's hardware database when the system has one (a binary
  // index, read in place), else libpci over pci.ids (parsed whole at the first lookup).
  IdNames PciNames(unsigned vendor, unsigned device) override {
    IdNames n;
    char modalias[64];
    std::snprintf(modalias, sizeof modalias, "pci:v%08Xd%08X", vendor & 0xFFFF, device & 0xFFFF);
    if (HwdbNames(modalias, n)) return n;
    return PciIdsNames(Pci(), vendor, device);
  }

  std::optional<std::string> PciClassName(unsigned class_code) override {
    char modalias[64];
    std::snprintf(modalias, sizeof modalias, "pci:v*d*sv*sd*bc%02Xsc%02Xi%02X", class_code >> 16 & 0xFF,
                  class_code >> 8 & 0xFF, class_code & 0xFF);
    if (auto props = HwdbLookup(modalias)) {
      if (auto sub = Prop(*props, "ID_PCI_SUBCLASS_FROM_DATABASE")) return sub;
      return Prop(*props, "ID_PCI_CLASS_FROM_DATABASE");
    }
    return Pci().Lookup(PCI_LOOKUP_CLASS, class_code >> 8);
  }

  IdNames UsbNames(unsigned vendor, unsigned product) override {
    IdNames n;
    char modalias[64];
    std::snprintf(modalias, sizeof modalias, "usb:v%04Xp%04X", vendor & 0xFFFF, product & 0xFFFF);
    HwdbNames(modalias, n);
    return n;
  }

  std::optional<std::string> ProcessLocale() override {
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"})
      if (auto v = Cstr(std::getenv(var))) return v;
    return std::nullopt;
  }

#ifdef PCINFO_HAS_CPUID
  std::optional<CpuidRegs> Cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
    unsigned max = __get_cpuid_max(leaf & 0x80000000u, nullptr);
    if (max == 0 || leaf > max) return std::nullopt;
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(leaf, subleaf, a, b, c, d);
    return CpuidRegs{a, b, c, d};
  }
#endif

  std::optional<PrintServerState> PrintServer() override { return QueryCups(); }

  std::optional<std::string> PnpVendorName(const std::string& pnp_id) override {
    if (pnp_id.size() != 3) return std::nullopt;
    std::string modalias = "acpi:" + pnp_id + ":";
    auto props = HwdbLookup(modalias.c_str());
    return props ? Prop(*props, "ID_VENDOR_FROM_DATABASE") : std::nullopt;
  }

 private:
  using Props = std::map<std::string, std::string>;

  // The properties udev's hardware database holds for a modalias; nullopt without a database.
  std::optional<Props> HwdbLookup(const char* modalias) {
    udev_hwdb* db = Hwdb();
    if (!db) return std::nullopt;
    Props props;
    for (udev_list_entry* e = udev_hwdb_get_properties_list_entry(db, modalias, 0); e;
         e = udev_list_entry_get_next(e)) {
      const char* name = udev_list_entry_get_name(e);
      const char* value = udev_list_entry_get_value(e);
      if (name && value) props.emplace(name, value);
    }
    return props;
  }
  static std::optional<std::string> Prop(const Props& props, const char* key) {
    auto it = props.find(key);
    if (it == props.end() || it->second.empty()) return std::nullopt;
    return it->second;
  }

  PciNameList& Pci() {
    if (!pci_) pci_ = std::make_unique<PciNameList>();
    return *pci_;
  }
  udev_hwdb* Hwdb() {
    if (!hwdb_tried_) {
      hwdb_tried_ = true;
      udev_ = udev_new();
      if (udev_) hwdb_ = udev_hwdb_new(udev_);
    }
    return hwdb_;
  }

  std::unique_ptr<PciNameList> pci_;
  udev* udev_ = nullptr;
  udev_hwdb* hwdb_ = nullptr;
  bool hwdb_tried_ = false;
};

using Json = nlohmann::json;

class TreeSystem : public System {
 public:
  explicit TreeSystem(const std::string& root) {
    // Read as every other file of the tree: a regular file inside it, cut at Tree::kMaxRead.
    auto text = Tree(root).Read("/live.json");
    if (!text) return;
    j_ = Json::parse(*text, nullptr, false);
    if (!j_.is_object()) j_ = Json::object();
  }

  std::vector<InterfaceAddress> InterfaceAddresses() override {
    std::vector<InterfaceAddress> out;
    const Json& list = At("interfaces");
    if (!list.is_array()) return out;
    for (const Json& e : list) {
      if (!e.is_object()) continue;
      InterfaceAddress a;
      a.interface = Str(e, "name");
      a.ipv6 = Str(e, "family") == "inet6";
      a.address = Str(e, "address");
      a.prefix = static_cast<int>(Num(e, "prefix"));
      if (!a.interface.empty() && !a.address.empty()) out.push_back(a);
    }
    return out;
  }

  std::optional<FileSystemStats> FileSystem(const std::string& mount_point) override {
    const Json& all = At("statvfs");
    if (!all.is_object() || !all.contains(mount_point) || !all[mount_point].is_object()) return std::nullopt;
    const Json& s = all[mount_point];
    std::optional<std::uint64_t> free;
    if (s.contains("free") && s["free"].is_number_unsigned()) free = s["free"].get<std::uint64_t>();
    return FileSystemStats{Num(s, "size"), Num(s, "available"), free, Num(s, "block_size"), Num(s, "name_max")};
  }

  std::optional<UnameInfo> Uname() override {
    const Json& u = At("uname");
    if (!u.is_object()) return std::nullopt;
    return UnameInfo{Str(u, "sysname"), Str(u, "nodename"), Str(u, "release"), Str(u, "version"), Str(u, "machine")};
  }

  std::optional<SysInfo> Sysinfo() override {
    const Json& s = At("sysinfo");
    if (!s.is_object()) return std::nullopt;
    return SysInfo{static_cast<std::int64_t>(Num(s, "uptime")),
                   Num(s, "total_ram"),
                   Num(s, "free_ram"),
                   Num(s, "total_swap"),
                   Num(s, "free_swap"),
                   static_cast<int>(Num(s, "processes"))};
  }

  std::optional<std::int64_t> Now() override {
    const Json& v = At("now");
    if (!v.is_number_integer()) return std::nullopt;
    return v.get<std::int64_t>();
  }
  int UtcOffsetMinutes(std::int64_t) override {
    const Json& v = At("utc_offset_minutes");
    return v.is_number_integer() ? v.get<int>() : 0;
  }

  IdNames PciNames(unsigned vendor, unsigned device) override { return Names("pci", vendor, device); }
  std::optional<std::string> PciClassName(unsigned class_code) override {
    char key[8];
    std::snprintf(key, sizeof key, "%06x", class_code & 0xFFFFFF);
    const Json& c = At("pci_classes");
    if (c.is_object() && c.contains(key) && c[key].is_string()) return c[key].get<std::string>();
    return std::nullopt;
  }
  IdNames UsbNames(unsigned vendor, unsigned product) override { return Names("usb", vendor, product); }
  std::optional<std::string> ProcessLocale() override {
    std::string l = Str(j_, "locale");
    if (l.empty()) return std::nullopt;
    return l;
  }

  std::optional<CpuidRegs> Cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
    char key[32];
    std::snprintf(key, sizeof key, "%x.%x", leaf, subleaf);
    const Json& all = At("cpuid");
    if (!all.is_object() || !all.contains(key)) return std::nullopt;
    const Json& r = all[key];
    if (!r.is_array() || r.size() != 4) return std::nullopt;
    std::uint32_t v[4];
    for (int i = 0; i < 4; ++i) {
      if (!r[i].is_number_unsigned() || r[i].get<std::uint64_t>() > 0xFFFFFFFFu) return std::nullopt;
      v[i] = static_cast<std::uint32_t>(r[i].get<std::uint64_t>());
    }
    return CpuidRegs{v[0], v[1], v[2], v[3]};
  }

  std::optional<std::string> PnpVendorName(const std::string& pnp_id) override {
    const Json& t = At("pnp");
    if (t.is_object() && t.contains(pnp_id) && t[pnp_id].is_string()) return t[pnp_id].get<std::string>();
    return std::nullopt;
  }

 private:
  const Json& At(const char* key) const {
    static const Json null;
    return j_.is_object() && j_.contains(key) ? j_[key] : null;
  }
  static std::string Str(const Json& o, const char* key) {
    return o.contains(key) && o[key].is_string() ? o[key].get<std::string>() : std::string();
  }
  static std::uint64_t Num(const Json& o, const char* key) {
    return o.is_object() && o.contains(key) && o[key].is_number_unsigned() ? o[key].get<std::uint64_t>() : 0;
  }
  IdNames Names(const char* table, unsigned vendor, unsigned device) const {
    IdNames n;
    const Json& t = At(table);
    if (!t.is_object()) return n;
    char key[16];
    std::snprintf(key, sizeof key, "%04x:%04x", vendor & 0xFFFF, device & 0xFFFF);
    if (!t.contains(key) || !t[key].is_array()) return n;
    const Json& a = t[key];
    if (a.size() > 0 && a[0].is_string()) n.vendor = a[0].get<std::string>();
    if (a.size() > 1 && a[1].is_string()) n.device = a[1].get<std::string>();
    return n;
  }

  Json j_ = Json::object();
};

}  // namespace

std::unique_ptr<System> MakeRealSystem() { return std::make_unique<RealSystem>(); }
std::unique_ptr<System> MakeTreeSystem(const std::string& root) { return std::make_unique<TreeSystem>(root); }

}  // namespace wmi::lx
