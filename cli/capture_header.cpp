#include "cli/capture_header.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>

#include "wmi/provider.h"

#ifdef PCINFO_LINUX_TREES
#include "wmi/linux/schema.h"
#include "wmi/linux/tree.h"
#endif

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace cli {

namespace {

bool IsDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

int Number(std::string_view s) {
  int n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = static_cast<int>(y - era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string IsoFromSeconds(long long seconds) {
  long long days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) rest += 86400, --days;
  // Civil from days.
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long doe = days - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp + (mp < 10 ? 3 : -9);
  const long long y = yoe + era * 400 + (m <= 2);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", y, m, d, rest / 3600,
                rest / 60 % 60, rest % 60);
  return buffer;
}

std::string TextOf(const wmi::Snapshot& s, std::string_view cls, std::string_view property) {
  const wmi::RecordedClass* c = s.FindClass("root\\cimv2", cls);
  if (!c) return "";
  for (const wmi::Instance& i : c->instances)
    if (const wmi::Property* p = i.Find(property);
        p && p->value.kind() == wmi::Value::Kind::Text && !p->value.text().empty())
      return p->value.text();
  return "";
}

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return std::string(s);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The type a value shows when nothing else tells it; "" for Null.
std::string TypeOfValue(const wmi::Value& v) {
  switch (v.kind()) {
    case wmi::Value::Kind::Integer:
      return "sint64";
    case wmi::Value::Kind::Real:
      return "real64";
    case wmi::Value::Kind::Boolean:
      return "boolean";
    case wmi::Value::Kind::Text:
      return CimDateTimeUtc(v.text()).empty() ? "string" : "datetime";
    case wmi::Value::Kind::Object:
      return "object";
    case wmi::Value::Kind::Array:
      for (const wmi::Value& e : v.elements())
        if (std::string t = TypeOfValue(e); !t.empty()) return t + "[]";
      return "";
    case wmi::Value::Kind::Null:
      return "";
  }
  return "";
}

}  // namespace

std::string SchemaType(std::string_view class_name, std::string_view property) {
#ifdef PCINFO_LINUX_TREES
  const wmi::lx::ClassDef* def = wmi::lx::FindClassDef(class_name);
  if (!def) return "";
  const wmi::lx::PropertyDef* p = def->Find(property);
  if (!p) return "";
  // The schema tells integers by width (8 to 32 bits, 64 bits), not by sign:
  // most WMI integers are unsigned, and a database takes both alike.
  std::string type;
  switch (p->type) {
    case wmi::lx::CimType::Text:
      type = "string";
      break;
    case wmi::lx::CimType::Integer:
      type = "uint32";
      break;
    case wmi::lx::CimType::Big:
      type = "uint64";
      break;
    case wmi::lx::CimType::Boolean:
      type = "boolean";
      break;
    case wmi::lx::CimType::Real:
      type = "real64";
      break;
    case wmi::lx::CimType::DateTime:
      type = "datetime";
      break;
    case wmi::lx::CimType::Reference:
      type = "reference";
      break;
  }
  return p->array ? type + "[]" : type;
#else
  (void)class_name;
  (void)property;
  return "";
#endif
}

void FillTypes(wmi::Snapshot& snapshot) {
  for (wmi::RecordedNamespace& ns : snapshot.namespaces)
    for (wmi::RecordedClass& c : ns.classes) {
      std::set<std::string> known;
      for (const auto& [name, type] : c.types) known.insert(Lower(name));
      const bool cimv2 = wmi::EqualsIgnoreCase(ns.name, "root\\cimv2");
      for (const wmi::Instance& i : c.instances)
        for (const wmi::Property& p : i.Properties()) {
          if (known.count(Lower(p.name))) continue;
          std::string type = cimv2 ? SchemaType(c.name, p.name) : "";
          if (type.empty()) type = TypeOfValue(p.value);
          if (type.empty()) continue;  // Null here: another instance may tell
          known.insert(Lower(p.name));
          c.types.emplace_back(p.name, type);
        }
#ifdef PCINFO_LINUX_TREES
      // The properties the schema lists that no instance showed.
      if (const wmi::lx::ClassDef* def = cimv2 ? wmi::lx::FindClassDef(c.name) : nullptr)
        for (const wmi::lx::PropertyDef& p : def->properties)
          if (known.insert(Lower(p.name)).second) c.types.emplace_back(p.name, SchemaType(c.name, p.name));
#endif
    }
}

std::string RealUuid(std::string_view text) {
  std::string u = Lower(Trim(text));
  if (u.size() != 36) return "";
  for (std::size_t i = 0; i < u.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? u[i] != '-' : !IsHex(u[i])) return "";
  }
  std::set<char> digits;
  for (char c : u)
    if (c != '-') digits.insert(c);
  if (digits.size() == 1) return "";  // all zeros, all Fs, any one digit
  // Placeholders firmware ships with in place of a UUID.
  static constexpr std::array<std::string_view, 3> kPlaceholders = {"03000200-0400-0500-0006-000700080009",
                                                                    "00020003-0004-0005-0006-000700080009",
                                                                    "12345678-1234-5678-90ab-cddeefaabbcc"};
  for (std::string_view p : kPlaceholders)
    if (u == p) return "";
  return u;
}

std::string MachineIdFromData(const wmi::Snapshot& snapshot) {
  return RealUuid(TextOf(snapshot, "Win32_ComputerSystemProduct", "UUID"));
}

std::string MachineNameFromData(const wmi::Snapshot& snapshot) {
  std::string name = TextOf(snapshot, "Win32_ComputerSystem", "Name");
  if (name.empty()) name = TextOf(snapshot, "Win32_OperatingSystem", "CSName");
  return name;
}

std::string MachineIdOfSystem(const Options& options, const wmi::Snapshot& snapshot) {
  if (std::string id = MachineIdFromData(snapshot); !id.empty()) return id;
  if (options.from) return "";
#ifdef PCINFO_LINUX_TREES
  // Read through the tree, so that --tree tells the tree's machine.
  wmi::lx::Tree tree(options.tree ? *options.tree : "/");
  if (auto uuid = tree.Line("/sys/class/dmi/id/product_uuid"))
    if (std::string id = RealUuid(*uuid); !id.empty()) return id;
  if (auto id = tree.Line("/etc/machine-id")) {
    std::string text = Lower(Trim(*id));
    bool hex = text.size() == 32;
    for (char c : text) hex = hex && IsHex(c);
    if (hex && text != std::string(32, '0')) return text;
  }
#elif defined(_WIN32)
  if (!options.tree) {
    wchar_t buffer[64];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, buffer, &size) == ERROR_SUCCESS) {
      std::string id;
      for (const wchar_t* p = buffer; *p; ++p)
        if (*p < 0x80) id += static_cast<char>(*p);
      id = Lower(Trim(id));
      if (!id.empty()) return id;
    }
  }
#endif
  return "";
}

std::string UtcNow() {
  auto now = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
  return IsoFromSeconds(now.time_since_epoch().count());
}

std::string CimDateTimeUtc(std::string_view t) {
  // yyyymmddHHMMSS.mmmmmmsUUU, s + or - and UUU the offset from UTC in minutes.
  if (t.size() != 25 || t[14] != '.' || (t[21] != '+' && t[21] != '-')) return "";
  if (!IsDigits(t.substr(0, 14)) || !IsDigits(t.substr(22, 3))) return "";
  const int y = Number(t.substr(0, 4)), mo = Number(t.substr(4, 2)), d = Number(t.substr(6, 2));
  const int h = Number(t.substr(8, 2)), mi = Number(t.substr(10, 2)), s = Number(t.substr(12, 2));
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return "";
  const int offset = Number(t.substr(22, 3)) * (t[21] == '-' ? -1 : 1);
  const long long seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s - offset * 60LL;
  return IsoFromSeconds(seconds);
}

}  // namespace cli
