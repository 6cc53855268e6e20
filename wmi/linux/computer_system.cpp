// Win32_ComputerSystem and Win32_ComputerSystemProduct: the machine as its
// firmware names it (SMBIOS types 1, 3, 11 and 24, else /sys/class/dmi/id),
// with what the kernel and the system's own configuration add: memory and
// processors, the preferred PM profile, the domain or workgroup (sssd, Samba,
// else the DNS domain), the user at the console and how the system started.
#include <utmp.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"
#include "wmi/linux/firmware.h"
#include "wmi/linux/smbios.h"
#include "wmi/text.h"

namespace wmi::lx {

namespace {

constexpr std::uint8_t kSystem = 1, kEnclosure = 3, kOemStrings = 11, kSecurity = 24;

std::optional<std::string> DmiId(Context& ctx, const char* file) {
  return ctx.tree().Line(std::string("/sys/class/dmi/id/") + file);
}

// The firmware's system identity: type 1, else /sys/class/dmi/id.
struct SystemIdentity {
  std::optional<std::string> vendor, product, version, serial, sku, family, uuid;
  std::optional<std::int64_t> wake_up;
};

// The UUID of type 1 as text: from SMBIOS 2.6 on its first three fields are little-endian. A UUID
// the firmware says is absent (all FF) or unset (all 0) is all zeros, as WMI gives an unknown one.
std::optional<std::string> SmbiosUuid(const SmbiosTable& t, const SmbiosStructure& s) {
  std::uint8_t u[16];
  for (std::size_t i = 0; i < 16; ++i) {
    auto b = s.Byte(0x08 + i);
    if (!b) return std::nullopt;
    u[i] = *b;
  }
  bool ff = std::all_of(u, u + 16, [](std::uint8_t b) { return b == 0xFF; });
  if (ff) std::memset(u, 0, sizeof u);
  if (t.Version() >= 206) {
    std::swap(u[0], u[3]);
    std::swap(u[1], u[2]);
    std::swap(u[4], u[5]);
    std::swap(u[6], u[7]);
  }
  char text[40];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", u[0], u[1],
                u[2], u[3], u[4], u[5], u[6], u[7], u[8], u[9], u[10], u[11], u[12], u[13], u[14], u[15]);
  return std::string(text);
}

SystemIdentity ReadIdentity(Context& ctx) {
  SystemIdentity id;
  const SmbiosTable& t = ctx.Smbios();
  if (const SmbiosStructure* s = t.First(kSystem)) {
    id.vendor = s->String(0x04);
    id.product = s->String(0x05);
    id.version = s->String(0x06);
    id.serial = s->String(0x07);
    id.uuid = SmbiosUuid(t, *s);
    // SMBIOS's wake-up types (0 Reserved ... 8 AC Power Restored) are WMI's.
    id.wake_up = Field(*s, 0x18, 1);
    id.sku = s->String(0x19);
    id.family = s->String(0x1A);
    return id;
  }
  id.vendor = DmiId(ctx, "sys_vendor");
  id.product = DmiId(ctx, "product_name");
  id.version = DmiId(ctx, "product_version");
  id.serial = DmiId(ctx, "product_serial");
  id.sku = DmiId(ctx, "product_sku");
  id.family = DmiId(ctx, "product_family");
  if (auto uuid = DmiId(ctx, "product_uuid")) id.uuid = Upper(*uuid);
  return id;
}

// PCSystemType and PCSystemTypeEx from a chassis type (SMBIOS 7.4.1): desktops, mobiles (tablets
// and detachables a slate in the Ex map), servers; the rest unspecified.
std::pair<std::int64_t, std::int64_t> SystemTypeOfChassis(std::int64_t chassis) {
  switch (chassis) {
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 13:
    case 15:
    case 16:
    case 24:
    case 35:
    case 36:
      return {1, 1};
    case 8:
    case 9:
    case 10:
    case 11:
    case 14:
    case 31:
      return {2, 2};
    case 30:
    case 32:
      return {2, 8};
    case 17:
    case 23:
    case 25:
    case 28:
    case 29:
      return {4, 4};
    default:
      return {0, 0};
  }
}

std::optional<std::int64_t> ChassisType(Context& ctx) {
  if (const SmbiosStructure* s = ctx.Smbios().First(kEnclosure)) {
    if (auto type = s->Byte(0x05)) return *type & 0x7F;
    return std::nullopt;
  }
  auto type = ctx.tree().Number("/sys/class/dmi/id/chassis_type", 0, 0xFF);
  return type ? std::optional<std::int64_t>(*type & 0x7F) : std::nullopt;
}

// The system's architecture as SYSTEM_INFO names it; "Unknown" for what that list lacks.
std::optional<std::string> SystemType(Context& ctx) {
  auto u = ctx.system().Uname();
  if (!u) return std::nullopt;
  const std::string& m = u->machine;
  if (m == "x86_64") return "x64-based PC";
  if (m.size() == 4 && m[0] == 'i' && m.substr(2) == "86") return "X86-based PC";
  if (m == "ia64") return "64-bit Intel PC";
  if (StartsWith(m, "ppc")) return "Power PC";
  return "Unknown";
}

// The [section] of an ini-style file (smb.conf, sssd.conf): its keys in lower case, values trimmed.
std::map<std::string, std::string> IniSection(const std::optional<std::string>& text, const std::string& section) {
  std::map<std::string, std::string> out;
  if (!text) return out;
  bool in = false;
  for (const std::string& raw : Lines(*text)) {
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[') {
      in = line.back() == ']' && EqualsIgnoreCase(Trim(line.substr(1, line.size() - 2)), section);
      continue;
    }
    auto eq = line.find('=');
    if (in && eq != std::string::npos) out.emplace(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
  }
  return out;
}

struct Membership {
  std::optional<std::string> domain, workgroup;
  std::optional<bool> part_of_domain;
};

// The domain the machine is joined to (sssd's first domain, Samba as an ADS or domain member), else
// its Samba workgroup, else its DNS domain.
Membership ReadMembership(Context& ctx) {
  const Tree& tree = ctx.tree();
  Membership m;
  auto sssd = IniSection(tree.Read("/etc/sssd/sssd.conf"), "sssd");
  if (auto it = sssd.find("domains"); it != sssd.end()) {
    auto first = Trim(Split(it->second, ',').front());
    if (!first.empty()) {
      m.domain = first;
      m.part_of_domain = true;
      return m;
    }
  }
  auto smb = IniSection(tree.Read("/etc/samba/smb.conf"), "global");
  auto get = [&](const char* key) -> std::optional<std::string> {
    auto it = smb.find(key);
    return it == smb.end() || it->second.empty() ? std::nullopt : std::optional<std::string>(it->second);
  };
  auto security = get("security");
  if (security && (EqualsIgnoreCase(*security, "ads") || EqualsIgnoreCase(*security, "domain"))) {
    auto realm = get("realm");
    m.domain = realm ? Lower(*realm) : get("workgroup");
    if (m.domain) {
      m.part_of_domain = true;
      return m;
    }
  }
  if (auto workgroup = get("workgroup")) {
    m.domain = m.workgroup = workgroup;
    m.part_of_domain = false;
    return m;
  }
  // The DNS domain: the host name's own, else resolv.conf's domain or first search domain.
  auto host = tree.Line("/proc/sys/kernel/hostname");
  if (!host) host = tree.Line("/etc/hostname");
  if (host && host->find('.') != std::string::npos && host->back() != '.') {
    m.domain = host->substr(host->find('.') + 1);
  } else if (auto resolv = tree.Read("/etc/resolv.conf")) {
    std::optional<std::string> domain, search;
    for (const std::string& line : Lines(*resolv)) {
      auto w = Words(line);
      if (w.size() >= 2 && w[0] == "domain") domain = w[1];
      if (w.size() >= 2 && w[0] == "search" && !search) search = w[1];
    }
    m.domain = domain ? domain : search;
  }
  if (m.domain) m.part_of_domain = false;
  return m;
}

// The user at the console: logind's active session on seat0 (else its active local user session),
// else the local login of utmp.
std::optional<std::string> ConsoleUser(Context& ctx) {
  const Tree& tree = ctx.tree();
  auto user_of = [&](const std::string& id) -> std::optional<std::string> {
    auto text = tree.Read("/run/systemd/sessions/" + id);
    if (!text) return std::nullopt;
    auto kv = KeyValues(*text, '=');
    auto it = kv.find("USER");
    return it == kv.end() || it->second.empty() ? std::nullopt : std::optional<std::string>(it->second);
  };
  if (auto seat = tree.Read("/run/systemd/seats/seat0")) {
    auto kv = KeyValues(*seat, '=');
    if (auto it = kv.find("ACTIVE"); it != kv.end() && it->second.find('/') == std::string::npos)
      if (auto user = user_of(it->second)) return user;
  }
  for (const std::string& id : tree.List("/run/systemd/sessions")) {
    if (id.find('.') != std::string::npos || id.find('/') != std::string::npos) continue;
    auto kv = KeyValues(tree.Read("/run/systemd/sessions/" + id).value_or(""), '=');
    if (kv["ACTIVE"] == "1" && kv["CLASS"] == "user" && kv["REMOTE"] != "1" && !kv["USER"].empty()) return kv["USER"];
  }
  std::optional<std::string> data = tree.Read("/run/utmp");
  if (!data) return std::nullopt;
  for (std::size_t off = 0; off + sizeof(struct utmp) <= data->size(); off += sizeof(struct utmp)) {
    struct utmp u;
    std::memcpy(&u, data->data() + off, sizeof u);
    if (u.ut_type != USER_PROCESS || strnlen(u.ut_host, sizeof u.ut_host) != 0) continue;
    std::string name(u.ut_user, strnlen(u.ut_user, sizeof u.ut_user));
    if (!name.empty()) return name;
  }
  return std::nullopt;
}

// "Fail-safe boot" when the kernel was started into single-user, rescue or emergency mode.
std::optional<std::string> BootupState(const Tree& tree) {
  auto cmdline = tree.Read("/proc/cmdline");
  if (!cmdline) return std::nullopt;
  for (const std::string& w : Words(*cmdline))
    if (w == "single" || w == "S" || w == "emergency" || w == "rescue" || w == "systemd.unit=rescue.target" ||
        w == "systemd.unit=emergency.target")
      return "Fail-safe boot";
  return "Normal boot";
}

std::optional<bool> HypervisorPresent(const Tree& tree) {
  if (tree.Exists("/sys/hypervisor/type")) return true;
  auto cpuinfo = tree.Read("/proc/cpuinfo");
  if (!cpuinfo) return std::nullopt;
  for (const std::string& line : Lines(*cpuinfo))
    if (StartsWith(line, "flags")) {
      auto w = Words(line);
      return std::find(w.begin(), w.end(), "hypervisor") != w.end();
    }
  return std::nullopt;
}

std::optional<std::uint64_t> TotalMemory(Context& ctx) {
  auto mem = KeyValues(ctx.tree().Read("/proc/meminfo").value_or(""), ':');
  if (auto it = mem.find("MemTotal"); it != mem.end()) {
    auto w = Words(it->second);
    if (!w.empty()) return MulU(Unsigned(ParseIntIn(w[0], 0, INT64_MAX)), 1024);
  }
  if (auto s = ctx.system().Sysinfo()) return s->total_ram;
  return std::nullopt;
}

// The 2-bit states of the hardware security settings (type 24): disabled, enabled, not
// implemented, unknown are WMI's 0 to 3.
void SetSecurity(Builder& b, const SmbiosStructure& s) {
  auto v = s.Byte(0x04);
  if (!v) return;
  b.Int("PowerOnPasswordStatus", *v >> 6 & 3).Int("KeyboardPasswordStatus", *v >> 4 & 3);
  b.Int("AdminPasswordStatus", *v >> 2 & 3).Int("FrontPanelResetStatus", *v & 3);
}

}  // namespace

InstanceList BuildComputerSystem(const ClassDef& def, Context& ctx) {
  const SmbiosTable& t = ctx.Smbios();
  SystemIdentity id = ReadIdentity(ctx);
  Builder b(def, ctx);
  const std::string& host = ctx.HostName();
  std::string name = host.substr(0, host.find('.'));
  b.Text("Caption", name).Text("Name", name).Text("DNSHostName", name);
  b.Text("CreationClassName", "Win32_ComputerSystem").Text("Status", "OK");
  b.Text("Manufacturer", id.vendor).Text("Model", id.product);
  b.Text("SystemFamily", id.family).Text("SystemSKUNumber", id.sku).Int("WakeUpType", id.wake_up);
  if (const SmbiosStructure* e = t.First(kEnclosure)) {
    // SMBIOS's state codes (1 Other, 2 Unknown, 3 Safe ... 6 Non-recoverable) are WMI's.
    b.Int("ChassisBootupState", Field(*e, 0x09, 1)).Int("PowerSupplyState", Field(*e, 0x0A, 1));
    b.Int("ThermalState", Field(*e, 0x0B, 1));
    // The SKU string follows the contained elements (count at 0x13, record size at 0x14).
    auto n = e->Byte(0x13), m = e->Byte(0x14);
    if (n && m) b.Text("ChassisSKUNumber", e->String(0x15 + std::size_t{*n} * *m));
  }
  std::vector<std::string> oem;
  for (const SmbiosStructure* s : t.OfType(kOemStrings)) oem.insert(oem.end(), s->strings.begin(), s->strings.end());
  if (!oem.empty()) b.Texts("OEMStringArray", oem);
  if (const SmbiosStructure* s = t.First(kSecurity)) SetSecurity(b, *s);

  b.Big("TotalPhysicalMemory", TotalMemory(ctx));
  ProcessorCount cpus = CountProcessors(ctx);
  b.Int("NumberOfProcessors", cpus.packages).Int("NumberOfLogicalProcessors", cpus.logical);
  b.Text("SystemType", SystemType(ctx));

  // The firmware's preferred PM profile is the PC system type's own source; the chassis type else.
  std::optional<std::int64_t> type, type_ex;
  if (auto profile = AcpiPmProfile(ctx.tree()); profile && *profile <= 8) {
    type_ex = *profile;
    type = *profile == 8 ? 2 : *profile;  // a tablet is a mobile PC where the map has no slate
  } else if (auto chassis = ChassisType(ctx)) {
    std::tie(type, type_ex) = SystemTypeOfChassis(*chassis);
  }
  b.Int("PCSystemType", type).Int("PCSystemTypeEx", type_ex);

  Membership m = ReadMembership(ctx);
  b.Text("Domain", m.domain).Text("Workgroup", m.workgroup).Bool("PartOfDomain", m.part_of_domain);
  if (m.part_of_domain) {
    bool server = type == 4 || type == 5 || type == 7;
    // Standalone or member workstation (0, 1) or server (2, 3).
    b.Int("DomainRole", (server ? 2 : 0) + (*m.part_of_domain ? 1 : 0));
  }
  b.Text("UserName", ConsoleUser(ctx)).Text("BootupState", BootupState(ctx.tree()));
  b.Bool("HypervisorPresent", HypervisorPresent(ctx.tree()));
  if (auto now = ctx.system().Now()) b.Int("CurrentTimeZone", ctx.system().UtcOffsetMinutes(*now));
  return {b.Build()};
}

InstanceList BuildComputerSystemProduct(const ClassDef& def, Context& ctx) {
  SystemIdentity id = ReadIdentity(ctx);
  if (!id.vendor && !id.product && !id.serial && !id.uuid) return {};
  Builder b(def, ctx);
  b.Text("Caption", "Computer System Product").Text("Description", "Computer System Product");
  b.Text("Vendor", id.vendor).Text("Name", id.product).Text("Version", id.version);
  b.Text("IdentifyingNumber", id.serial).Text("SKUNumber", id.sku).Text("UUID", id.uuid);
  return {b.Build()};
}

}  // namespace wmi::lx
