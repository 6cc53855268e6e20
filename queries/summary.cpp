#include "queries/summary.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "queries/procedures.h"
#include "wmi/error.h"
#include "wmi/text.h"

namespace queries {

namespace {

// In the order the summary reads them.
constexpr std::array<std::string_view, 16> kClasses = {
    "Win32_ComputerSystem",      "Win32_ComputerSystemProduct",
    "Win32_OperatingSystem",     "Win32_BaseBoard",
    "Win32_SystemEnclosure",     "Win32_BIOS",
    "Win32_Processor",           "Win32_PhysicalMemory",
    "Win32_PhysicalMemoryArray", "Win32_DiskDrive",
    "Win32_LogicalDisk",         "Win32_VideoController",
    "Win32_DesktopMonitor",      "Win32_NetworkAdapterConfiguration",
    "Win32_DiskPartition",       "Win32_Battery",
};

// Labels and the words of the lines, English then Japanese.
struct Words {
  std::string_view english, japanese;
  std::string_view In(Language l) const { return l == Language::Japanese ? japanese : english; }
};

const std::map<std::string_view, Words>& Labels() {
  static const std::map<std::string_view, Words> labels = {
      {"computer_name", {"Computer name", "コンピューター名"}},
      {"domain", {"Domain", "ドメイン"}},
      {"workgroup", {"Workgroup", "ワークグループ"}},
      {"manufacturer", {"Manufacturer", "製造元"}},
      {"model", {"Model", "モデル"}},
      {"serial_number", {"Serial number", "シリアル番号"}},
      {"system_type", {"System type", "システムの種類"}},
      {"chassis", {"Chassis", "筐体"}},
      {"processor", {"Processor", "プロセッサ"}},
      {"installed_memory", {"Installed memory", "実装メモリ"}},
      {"usable_memory", {"Usable memory", "使用可能メモリ"}},
      {"memory_slots", {"Memory slots", "メモリ スロット"}},
      {"memory_module", {"Memory module", "メモリ モジュール"}},
      {"disk", {"Disk", "ディスク"}},
      {"volume", {"Volume", "ボリューム"}},
      {"video_adapter", {"Video adapter", "ビデオ アダプター"}},
      {"monitor", {"Monitor", "モニター"}},
      {"network_adapter", {"Network adapter", "ネットワーク アダプター"}},
      {"os", {"Operating system", "オペレーティング システム"}},
      {"os_version", {"Version", "バージョン"}},
      {"os_build", {"Build", "ビルド"}},
      {"install_date", {"Install date", "インストール日"}},
      {"last_boot", {"Last boot", "最終起動"}},
      {"bios", {"BIOS", "BIOS"}},
      {"smbios_version", {"SMBIOS version", "SMBIOS バージョン"}},
      {"bios_mode", {"BIOS mode", "BIOS モード"}},
      {"battery", {"Battery", "バッテリー"}},
  };
  return labels;
}

constexpr Words kCores{"cores", "コア"};
constexpr Words kLogical{"logical processors", "論理プロセッサ"};
constexpr Words kFree{"free", "空き"};
constexpr Words kSlotsInUse{"in use", "使用中"};
constexpr Words kLegacy{"Legacy", "レガシ"};
constexpr Words kDesign{"design", "設計容量"};
constexpr Words kFullCharge{"full charge", "フル充電容量"};
constexpr Words kHealth{"health", "状態"};

// Firmware fills fields it has no value for with such texts; they are not
// answers.
bool IsPlaceholder(std::string_view text) {
  static constexpr std::string_view kPlaceholders[] = {"To Be Filled By O.E.M.",
                                                       "Default string",
                                                       "System manufacturer",
                                                       "System Product Name",
                                                       "System Serial Number",
                                                       "System Version",
                                                       "Not Specified",
                                                       "Not Applicable",
                                                       "None",
                                                       "N/A",
                                                       "0",
                                                       "Chassis Serial Number",
                                                       "Base Board Serial Number"};
  for (std::string_view p : kPlaceholders)
    if (wmi::EqualsIgnoreCase(p, text)) return true;
  return false;
}

std::string Trim(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  const auto end = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(begin, end - begin + 1));
}

// The text of a property, trimmed; nullopt when absent, not text, empty or a placeholder.
std::optional<std::string> TextOf(const wmi::Instance* instance, std::string_view name) {
  if (instance == nullptr) return std::nullopt;
  const wmi::Property* p = instance->Find(name);
  if (p == nullptr || p->value.kind() != wmi::Value::Kind::Text) return std::nullopt;
  std::string text = Trim(p->value.text());
  if (text.empty() || IsPlaceholder(text)) return std::nullopt;
  return text;
}

// A number, whether WMI gives it as an integer, a real or (for 64-bit
// values) decimal text.
std::optional<std::int64_t> NumberOf(const wmi::Instance* instance, std::string_view name) {
  if (instance == nullptr) return std::nullopt;
  const wmi::Property* p = instance->Find(name);
  if (p == nullptr) return std::nullopt;
  const wmi::Value& v = p->value;
  switch (v.kind()) {
    case wmi::Value::Kind::Integer:
      return v.integer();
    case wmi::Value::Kind::Real:
      if (!std::isfinite(v.real()) || std::fabs(v.real()) > 9.0e18) return std::nullopt;
      return static_cast<std::int64_t>(std::llround(v.real()));
    case wmi::Value::Kind::Text: {
      const std::string t = Trim(v.text());
      if (t.empty() || t.size() > 18) return std::nullopt;
      std::int64_t n = 0;
      for (char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
      }
      return n;
    }
    default:
      return std::nullopt;
  }
}

std::optional<bool> BooleanOf(const wmi::Instance* instance, std::string_view name) {
  if (instance == nullptr) return std::nullopt;
  const wmi::Property* p = instance->Find(name);
  if (p == nullptr || p->value.kind() != wmi::Value::Kind::Boolean) return std::nullopt;
  return p->value.boolean();
}

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Sizes in GB of 2^30 bytes, as Windows counts memory and disks.
std::string Gigabytes(std::int64_t bytes) {
  return Format("%.1f GB", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
}

// A WMI datetime (yyyymmddHHMMSS.mmmmmmsUUU) as "yyyy-mm-dd" or "yyyy-mm-dd HH:MM:SS"
// in the time it was given in; nullopt when it is not one.
std::optional<std::string> DateTime(const std::optional<std::string>& text, bool with_time) {
  if (!text || text->size() < 14) return std::nullopt;
  for (int i = 0; i < 14; ++i)
    if ((*text)[i] < '0' || (*text)[i] > '9') return std::nullopt;
  const std::string& t = *text;
  std::string out = t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2);
  if (with_time) out += " " + t.substr(8, 2) + ":" + t.substr(10, 2) + ":" + t.substr(12, 2);
  return out;
}

class Builder {
 public:
  Builder(wmi::Provider& provider, Language language) : provider_(provider), language_(language) {
    try {
      connection_ = provider.Connect(kCimv2Moniker);
    } catch (const wmi::Error&) {
    }
  }

  // Every instance of the class (of root\cimv2, or of root\wmi); none when
  // the class fails or is missing.
  const std::vector<wmi::Instance>& Read(std::string_view class_name, bool root_wmi = false) {
    auto found = read_.find(std::string(class_name));
    if (found != read_.end()) return found->second;
    std::vector<wmi::Instance>& out = read_[std::string(class_name)];
    if (root_wmi && wmi_connection_ == nullptr) {
      try {
        wmi_connection_ = provider_.Connect("winmgmts:\\\\.\\root\\wmi");
      } catch (const wmi::Error&) {
        return out;
      }
    }
    wmi::Connection* connection = root_wmi ? wmi_connection_.get() : connection_.get();
    if (connection == nullptr) return out;
    try {
      auto set = connection->ExecQuery("Select * from " + std::string(class_name), wmi::kCategoryFlags);
      while (auto instance = set->Next()) out.push_back(std::move(*instance));
    } catch (const wmi::Error&) {
      // What came before the failure stands; the rest is left out.
    }
    return out;
  }
  const wmi::Instance* First(std::string_view class_name) {
    const auto& all = Read(class_name);
    return all.empty() ? nullptr : &all.front();
  }

  std::string_view Word(const Words& w) const { return w.In(language_); }
  std::string Decoded(std::string_view cls, std::string_view property, std::int64_t code) const {
    if (auto name = ValueNameOf(cls, property, code, language_)) return std::string(*name);
    return std::to_string(code);
  }

  SummaryLine& Line(std::string_view key, bool repeated = false) {
    SummaryLine line;
    line.key = std::string(key);
    line.repeated = repeated;
    line.label = std::string(Labels().at(key).In(language_));
    pending_ = std::move(line);
    return pending_;
  }
  // Keeps the pending line when it has a part to show.
  void Keep() {
    for (const SummaryPart& p : pending_.parts)
      if (p.in_line) {
        summary_.lines.push_back(std::move(pending_));
        break;
      }
    pending_ = SummaryLine{};
  }
  static void Add(SummaryLine& line, std::string key, std::optional<std::string> text, wmi::Value raw = {},
                  bool in_line = true) {
    if (text) line.parts.push_back({std::move(key), std::move(*text), std::move(raw), in_line});
  }
  // A one-part line.
  void Single(std::string_view key, std::optional<std::string> text, wmi::Value raw = {}) {
    SummaryLine& line = Line(key);
    Add(line, std::string(key), std::move(text), std::move(raw));
    Keep();
  }

  Summary Take() {
    summary_.language = language_;
    return std::move(summary_);
  }

  void Computer();
  void Processors();
  void Memory();
  void Storage();
  void Display();
  void Network();
  void OperatingSystem();
  void Firmware();
  void Battery();

 private:
  wmi::Provider& provider_;
  Language language_;
  std::unique_ptr<wmi::Connection> connection_, wmi_connection_;
  std::map<std::string, std::vector<wmi::Instance>> read_;
  Summary summary_;
  SummaryLine pending_;
};

template <typename... T>
std::optional<std::string> FirstOf(T... candidates) {
  std::optional<std::string> found;
  ((found = found ? found : candidates), ...);
  return found;
}

void Builder::Computer() {
  const wmi::Instance* cs = First("Win32_ComputerSystem");
  const wmi::Instance* product = First("Win32_ComputerSystemProduct");
  const wmi::Instance* os = First("Win32_OperatingSystem");
  const wmi::Instance* board = First("Win32_BaseBoard");
  const wmi::Instance* enclosure = First("Win32_SystemEnclosure");
  const wmi::Instance* bios = First("Win32_BIOS");

  Single("computer_name", FirstOf(TextOf(cs, "Name"), TextOf(cs, "DNSHostName"), TextOf(os, "CSName")));
  // A domain member names its domain; otherwise the workgroup.
  if (BooleanOf(cs, "PartOfDomain").value_or(false))
    Single("domain", TextOf(cs, "Domain"));
  else
    Single("workgroup", FirstOf(TextOf(cs, "Workgroup"), TextOf(cs, "Domain")));
  Single("manufacturer", FirstOf(TextOf(cs, "Manufacturer"), TextOf(product, "Vendor"),
                                 TextOf(enclosure, "Manufacturer"), TextOf(board, "Manufacturer")));
  Single("model", FirstOf(TextOf(cs, "Model"), TextOf(product, "Name"), TextOf(board, "Product")));
  Single("serial_number", FirstOf(TextOf(product, "IdentifyingNumber"), TextOf(bios, "SerialNumber"),
                                  TextOf(enclosure, "SerialNumber")));

  // The system type as Windows words it, or else the first processor's architecture.
  if (auto type = TextOf(cs, "SystemType")) {
    Single("system_type", type);
  } else if (auto arch = NumberOf(First("Win32_Processor"), "Architecture")) {
    Single("system_type", Decoded("Win32_Processor", "Architecture", *arch), *arch);
  }

  bool chassis = false;
  if (enclosure != nullptr) {
    const wmi::Property* types = enclosure->Find("ChassisTypes");
    if (types != nullptr && types->value.is_array() && !types->value.elements().empty()) {
      const wmi::Value& first = types->value.elements().front();
      // Unknown (2) is no answer.
      if (first.kind() == wmi::Value::Kind::Integer && first.integer() != 2) {
        Single("chassis", Decoded("Win32_SystemEnclosure", "ChassisTypes", first.integer()), first);
        chassis = true;
      }
    }
  }
  // Without a chassis type, Windows' own kind of PC (Unspecified and the
  // bound Maximum are no answer).
  if (auto kind = NumberOf(cs, "PCSystemType"); !chassis && kind && *kind > 0 && *kind < 8) {
    SummaryLine& line = Line("chassis");
    Add(line, "pc_system_type", Decoded("Win32_ComputerSystem", "PCSystemType", *kind), *kind);
    Keep();
  }
}

void Builder::Processors() {
  for (const wmi::Instance& cpu : Read("Win32_Processor")) {
    SummaryLine& line = Line("processor", true);
    Add(line, "name", TextOf(&cpu, "Name"));
    if (auto mhz = NumberOf(&cpu, "MaxClockSpeed"); mhz && *mhz > 0)
      Add(line, "clock", Format("%.2f GHz", static_cast<double>(*mhz) / 1000.0), *mhz);
    if (auto cores = NumberOf(&cpu, "NumberOfCores"); cores && *cores > 0)
      Add(line, "cores", std::to_string(*cores) + " " + std::string(Word(kCores)), *cores);
    if (auto logical = NumberOf(&cpu, "NumberOfLogicalProcessors"); logical && *logical > 0)
      Add(line, "logical_processors", std::to_string(*logical) + " " + std::string(Word(kLogical)), *logical);
    Keep();
  }
}

void Builder::Memory() {
  const auto& modules = Read("Win32_PhysicalMemory");
  std::int64_t installed = 0;
  for (const wmi::Instance& m : modules) installed += NumberOf(&m, "Capacity").value_or(0);
  if (installed > 0) Single("installed_memory", Gigabytes(installed), installed);

  const wmi::Instance* os = First("Win32_OperatingSystem");
  if (auto kb = NumberOf(os, "TotalVisibleMemorySize"); kb && *kb > 0)
    Single("usable_memory", Gigabytes(*kb * 1024), *kb * 1024);
  else if (auto bytes = NumberOf(First("Win32_ComputerSystem"), "TotalPhysicalMemory"); bytes && *bytes > 0)
    Single("usable_memory", Gigabytes(*bytes), *bytes);

  // Slots of the arrays that hold system memory (Use 3).
  std::int64_t slots = 0;
  for (const wmi::Instance& a : Read("Win32_PhysicalMemoryArray"))
    if (NumberOf(&a, "Use").value_or(3) == 3) slots += NumberOf(&a, "MemoryDevices").value_or(0);
  const auto used = static_cast<std::int64_t>(modules.size());
  if (slots > 0 && !modules.empty()) {
    SummaryLine& line = Line("memory_slots");
    const std::string text =
        language_ == Language::Japanese
            ? std::to_string(used) + " / " + std::to_string(slots) + " " + std::string(Word(kSlotsInUse))
            : std::to_string(used) + " of " + std::to_string(slots) + " " + std::string(Word(kSlotsInUse));
    Add(line, "in_use", text, used);
    Add(line, "slots", std::to_string(slots), slots, false);
    Keep();
  }

  for (const wmi::Instance& m : modules) {
    SummaryLine& line = Line("memory_module", true);
    Add(line, "slot", FirstOf(TextOf(&m, "DeviceLocator"), TextOf(&m, "BankLabel")));
    if (auto bytes = NumberOf(&m, "Capacity"); bytes && *bytes > 0) Add(line, "size", Gigabytes(*bytes), *bytes);
    // MemoryType stops at DDR3 (and FBD2); for later types Windows gives 0
    // there and the raw SMBIOS type beside it.
    const auto type = NumberOf(&m, "MemoryType");
    const auto smbios = NumberOf(&m, "SMBIOSMemoryType");
    if (type && *type > 1 && ValueNameOf("Win32_PhysicalMemory", "MemoryType", *type))
      Add(line, "type", Decoded("Win32_PhysicalMemory", "MemoryType", *type), *type);
    else if (smbios && *smbios > 2 && ValueNameOf("Win32_PhysicalMemory", "SMBIOSMemoryType", *smbios))
      Add(line, "type", Decoded("Win32_PhysicalMemory", "SMBIOSMemoryType", *smbios), *smbios);
    if (auto form = NumberOf(&m, "FormFactor"); form && *form > 1)
      Add(line, "form_factor", Decoded("Win32_PhysicalMemory", "FormFactor", *form), *form);
    auto speed = NumberOf(&m, "ConfiguredClockSpeed");
    if (!speed || *speed <= 0) speed = NumberOf(&m, "Speed");
    if (speed && *speed > 0) Add(line, "speed", std::to_string(*speed) + " MHz", *speed);
    Keep();
  }
}

void Builder::Storage() {
  for (const wmi::Instance& d : Read("Win32_DiskDrive")) {
    SummaryLine& line = Line("disk", true);
    Add(line, "model", FirstOf(TextOf(&d, "Model"), TextOf(&d, "Caption")));
    Add(line, "interface", TextOf(&d, "InterfaceType"));
    if (auto bytes = NumberOf(&d, "Size"); bytes && *bytes > 0) Add(line, "size", Gigabytes(*bytes), *bytes);
    Keep();
  }
  for (const wmi::Instance& v : Read("Win32_LogicalDisk")) {
    const auto size = NumberOf(&v, "Size");
    if (!size || *size <= 0) continue;  // no medium
    SummaryLine& line = Line("volume", true);
    // The drive, with its label where the drive's name does not already end with it.
    std::optional<std::string> name = TextOf(&v, "DeviceID");
    if (auto label = TextOf(&v, "VolumeName"); label && !(name && name->ends_with(*label)))
      name = name ? *name + " (" + *label + ")" : *label;
    Add(line, "name", name);
    if (auto type = NumberOf(&v, "DriveType"); type && *type != 0)
      Add(line, "drive_type", Decoded("Win32_LogicalDisk", "DriveType", *type), *type);
    Add(line, "file_system", TextOf(&v, "FileSystem"));
    Add(line, "size", Gigabytes(*size), *size);
    if (auto free = NumberOf(&v, "FreeSpace"); free && *free >= 0 && *free <= *size) {
      const auto percent = static_cast<std::int64_t>(std::llround(100.0 * static_cast<double>(*free) / *size));
      const std::string amount = Gigabytes(*free);
      const std::string text = language_ == Language::Japanese ? std::string(Word(kFree)) + " " + amount
                                                               : amount + " " + std::string(Word(kFree));
      Add(line, "free", text + " (" + std::to_string(percent) + "%)", *free);
      Add(line, "free_percent", std::to_string(percent) + "%", percent, false);
    }
    Keep();
  }
}

void Builder::Display() {
  auto resolution = [](SummaryLine& line, std::optional<std::int64_t> w, std::optional<std::int64_t> h) {
    if (w && h && *w > 0 && *h > 0)
      Add(line, "resolution", std::to_string(*w) + " x " + std::to_string(*h),
          wmi::Value(std::vector<wmi::Value>{*w, *h}));
  };
  for (const wmi::Instance& v : Read("Win32_VideoController")) {
    SummaryLine& line = Line("video_adapter", true);
    Add(line, "name", FirstOf(TextOf(&v, "Name"), TextOf(&v, "Caption")));
    resolution(line, NumberOf(&v, "CurrentHorizontalResolution"), NumberOf(&v, "CurrentVerticalResolution"));
    Keep();
  }
  for (const wmi::Instance& m : Read("Win32_DesktopMonitor")) {
    SummaryLine& line = Line("monitor", true);
    Add(line, "name", FirstOf(TextOf(&m, "Name"), TextOf(&m, "Caption")));
    resolution(line, NumberOf(&m, "ScreenWidth"), NumberOf(&m, "ScreenHeight"));
    Keep();
  }
}

void Builder::Network() {
  for (const wmi::Instance& n : Read("Win32_NetworkAdapterConfiguration")) {
    if (!BooleanOf(&n, "IPEnabled").value_or(false)) continue;
    SummaryLine& line = Line("network_adapter", true);
    Add(line, "name", FirstOf(TextOf(&n, "Description"), TextOf(&n, "Caption")));
    std::vector<wmi::Value> v4, v6;
    std::string v4_text, v6_text;
    bool loopback_only = true;
    if (const wmi::Property* ips = n.Find("IPAddress"); ips != nullptr && ips->value.is_array()) {
      for (const wmi::Value& ip : ips->value.elements()) {
        if (ip.kind() != wmi::Value::Kind::Text || ip.text().empty()) continue;
        const bool six = ip.text().find(':') != std::string::npos;
        loopback_only = loopback_only && (ip.text().starts_with("127.") || ip.text() == "::1");
        std::string& text = six ? v6_text : v4_text;
        text += (text.empty() ? "" : ", ") + ip.text();
        (six ? v6 : v4).push_back(ip);
      }
    }
    // An adapter without an address is not up, and the loopback interface is
    // no adapter to the user.
    if (loopback_only) {
      pending_ = SummaryLine{};
      continue;
    }
    if (!v4.empty()) Add(line, "ipv4", v4_text, wmi::Value(v4));
    if (!v6.empty()) Add(line, "ipv6", v6_text, wmi::Value(v6));
    Add(line, "mac", TextOf(&n, "MACAddress"));
    Keep();
  }
}

void Builder::OperatingSystem() {
  const wmi::Instance* os = First("Win32_OperatingSystem");
  Single("os", TextOf(os, "Caption"));
  Single("os_version", TextOf(os, "Version"));
  Single("os_build", TextOf(os, "BuildNumber"));
  auto date = [&](std::string_view key, std::string_view property) {
    auto raw = TextOf(os, property);
    if (auto text = DateTime(raw, true)) Single(key, text, *raw);
  };
  date("install_date", "InstallDate");
  date("last_boot", "LastBootUpTime");
}

void Builder::Firmware() {
  const wmi::Instance* bios = First("Win32_BIOS");
  SummaryLine& line = Line("bios");
  Add(line, "manufacturer", TextOf(bios, "Manufacturer"));
  Add(line, "version", FirstOf(TextOf(bios, "SMBIOSBIOSVersion"), TextOf(bios, "Version")));
  if (auto raw = TextOf(bios, "ReleaseDate")) Add(line, "date", DateTime(raw, false), *raw);
  Keep();

  const auto major = NumberOf(bios, "SMBIOSMajorVersion");
  const auto minor = NumberOf(bios, "SMBIOSMinorVersion");
  if (major && minor && *major > 0 && *major < 255)
    Single("smbios_version", std::to_string(*major) + "." + std::to_string(*minor));

  // Windows starts from a GPT system partition under UEFI and from an MBR
  // partition under a legacy BIOS: the boot partition's type tells which.
  for (const wmi::Instance& p : Read("Win32_DiskPartition")) {
    if (!BooleanOf(&p, "BootPartition").value_or(false)) continue;
    if (auto type = TextOf(&p, "Type")) {
      const bool gpt = type->rfind("GPT:", 0) == 0;
      Single("bios_mode", gpt ? std::string("UEFI") : std::string(Word(kLegacy)), *type);
    }
    break;
  }
}

void Builder::Battery() {
  const auto& batteries = Read("Win32_Battery");
  for (std::size_t i = 0; i < batteries.size(); ++i) {
    const wmi::Instance& b = batteries[i];
    SummaryLine& line = Line("battery", true);
    auto design = NumberOf(&b, "DesignCapacity");
    auto full = NumberOf(&b, "FullChargeCapacity");
    // Windows often leaves both empty here; the battery driver's own classes
    // in root\wmi hold them, one instance a battery in the same order.
    if (!design && !full) {
      const auto& statics = Read("BatteryStaticData", true);
      const auto& charged = Read("BatteryFullChargedCapacity", true);
      if (i < statics.size()) design = NumberOf(&statics[i], "DesignedCapacity");
      if (i < charged.size()) full = NumberOf(&charged[i], "FullChargedCapacity");
    }
    auto wh = [](std::int64_t mwh) { return Format("%.1f Wh", static_cast<double>(mwh) / 1000.0); };
    if (design && *design > 0) Add(line, "design_capacity", std::string(Word(kDesign)) + " " + wh(*design), *design);
    if (full && *full > 0) Add(line, "full_charge_capacity", std::string(Word(kFullCharge)) + " " + wh(*full), *full);
    if (design && full && *design > 0 && *full > 0) {
      const auto health = static_cast<std::int64_t>(std::llround(100.0 * static_cast<double>(*full) / *design));
      Add(line, "health", std::string(Word(kHealth)) + " " + std::to_string(health) + "%", health);
    }
    Keep();
  }
}

}  // namespace

std::string SummaryLine::Text() const {
  std::string text = label + ": ";
  bool first = true;
  for (const SummaryPart& p : parts) {
    if (!p.in_line) continue;
    if (!first) text += ", ";
    text += p.text;
    first = false;
  }
  return text;
}

std::span<const std::string_view> SummaryClasses() { return kClasses; }

std::string_view SummaryCaption(Language language) { return language == Language::Japanese ? "概要" : "Summary"; }

Summary BuildSummary(wmi::Provider& provider, Language language) {
  Builder b(provider, language);
  b.Computer();
  b.Processors();
  b.Memory();
  b.Storage();
  b.Display();
  b.Network();
  b.OperatingSystem();
  b.Firmware();
  b.Battery();
  return b.Take();
}

void PrintSummary(Pane& pane, const Summary& summary) {
  pane.AppendMessage(HeaderLine(SummaryCaption(summary.language)));
  for (const SummaryLine& line : summary.lines) pane.AppendMessage(line.Text());
}

void RunSummary(Host& host, Language language) {
  if (host.IsAutoClear()) host.pane().Clear();
  Summary summary = BuildSummary(host.provider(), language);
  PrintSummary(host.pane(), summary);
  host.pane().ScrollToEnd();
}

}  // namespace queries
