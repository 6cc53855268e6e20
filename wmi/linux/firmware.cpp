// Win32_BIOS, Win32_BaseBoard, Win32_SystemEnclosure, Win32_PortConnector,
// Win32_SystemSlot, Win32_OnBoardDevice and Win32_PortableBattery from the
// SMBIOS table (/sys/firmware/dmi/tables, root only), and the first three from
// /sys/class/dmi/id where the table cannot be read. The table wins whenever it
// holds the structure. A portable battery's record gets the live state of its
// battery from /sys/class/power_supply (power_supply.cpp).
#include "wmi/linux/firmware.h"

#include <array>

#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"
#include "wmi/linux/smbios.h"
#include "wmi/text.h"

namespace wmi::lx {

const SmbiosTable& Context::Smbios() {
  if (!smbios_) {
    auto entry = tree_.Read("/sys/firmware/dmi/tables/smbios_entry_point");
    auto table = tree_.Read("/sys/firmware/dmi/tables/DMI");
    auto parsed = std::make_shared<SmbiosTable>();
    if (entry && table) {
      auto bytes = [](const std::string& s) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
      };
      *parsed = ParseSmbios(bytes(*entry), bytes(*table));
    }
    smbios_ = std::move(parsed);
  }
  return *smbios_;
}

std::optional<std::int64_t> Field(const SmbiosStructure& s, std::size_t offset, int size) {
  switch (size) {
    case 1:
      if (auto v = s.Byte(offset)) return *v;
      break;
    case 2:
      if (auto v = s.Word(offset)) return *v;
      break;
    case 4:
      if (auto v = s.Dword(offset)) return *v;
      break;
  }
  return std::nullopt;
}

std::optional<std::int64_t> MapCode(std::span<const CodeMap> table, std::optional<std::int64_t> code) {
  if (!code) return std::nullopt;
  for (const CodeMap& m : table)
    if (m.smbios == *code) return m.wmi;
  return std::nullopt;
}

void PhysicalElement(Builder& b, const std::string& caption, const std::string& tag) {
  b.Text("Caption", caption).Text("Description", caption).Text("Name", caption).Text("Tag", tag);
}

namespace {

// SMBIOS structure types.
constexpr std::uint8_t kBios = 0, kSystem = 1, kBaseBoard = 2, kEnclosure = 3, kPort = 8, kSlot = 9, kOnBoard = 10,
                       kConfigOptions = 12, kLanguages = 13, kBattery = 22, kOnBoardExtended = 41;

// A BIOS date, mm/dd/yyyy or mm/dd/yy, as a WMI datetime.
std::optional<std::string> BiosDate(std::optional<std::string> text) {
  if (!text) return std::nullopt;
  auto parts = Split(Trim(*text), '/');
  if (parts.size() != 3) return std::nullopt;
  auto m = ParseInt(parts[0]), d = ParseInt(parts[1]), y = ParseInt(parts[2]);
  if (!m || !d || !y || *m < 1 || *m > 12 || *d < 1 || *d > 31 || *y < 0 || *y > 9999) return std::nullopt;
  if (parts[2].size() == 2) *y += 1900;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d000000.000000+000", static_cast<int>(*y), static_cast<int>(*m),
                static_cast<int>(*d));
  return std::string(buf);
}

// The characteristic codes: n for bit n of the 32 defined bits of the
// characteristics field, 32 + n and 40 + n for bit n of the two extension bytes.
std::vector<std::int64_t> BiosCharacteristics(const SmbiosStructure& s) {
  std::vector<std::int64_t> codes;
  if (auto bits = s.Dword(0x0A))
    for (int n = 0; n < 32; ++n)
      if (*bits >> n & 1) codes.push_back(n);
  std::size_t extension_bytes = s.data.size() > 0x12 ? s.data.size() - 0x12 : 0;
  for (std::size_t e = 0; e < 2 && e < extension_bytes; ++e)
    if (auto byte = s.Byte(0x12 + e))
      for (int n = 0; n < 8; ++n)
        if (*byte >> n & 1) codes.push_back(32 + 8 * static_cast<int>(e) + n);
  return codes;
}

// Windows's BIOS version: the ACPI tables' OEM id and OEM revision ("LENOVO - 1290"), from the
// root table where the kernel shows it, else the FADT, whose header the firmware fills alike.
std::optional<std::string> AcpiVersion(const Tree& tree) {
  for (const char* table : {"XSDT", "RSDT", "FACP"})
    if (auto h = ReadAcpiHeader(tree, table)) {
      char revision[16];
      std::snprintf(revision, sizeof revision, "%x", static_cast<unsigned>(h->oem_revision));
      return h->oem_id + " - " + revision;
    }
  return std::nullopt;
}

// The BIOS vendor's version string first, as the BIOS reports it.
void SetBiosCommon(Builder& b, const std::optional<std::string>& version) {
  b.Text("Caption", version).Text("Description", version).Text("Name", version);
  b.Text("SMBIOSBIOSVersion", version).Text("SoftwareElementID", version);
  if (version) b.Texts("BIOSVersion", std::vector<std::string>{*version});
  b.Bool("PrimaryBIOS", true).Int("SoftwareElementState", 3).Int("TargetOperatingSystem", 0).Text("Status", "OK");
}

std::optional<std::int64_t> Known(std::optional<std::int64_t> v, std::int64_t unknown) {
  return v && *v != unknown ? v : std::nullopt;
}

Instance BiosFromTable(const ClassDef& def, Context& ctx, const SmbiosTable& t, const SmbiosStructure& s) {
  Builder b(def, ctx);
  SetBiosCommon(b, s.String(0x05));
  b.Text("Version", AcpiVersion(ctx.tree()));
  b.Text("Manufacturer", s.String(0x04));
  b.Text("ReleaseDate", BiosDate(s.String(0x08)));
  b.Ints("BiosCharacteristics", BiosCharacteristics(s));
  b.Bool("SMBIOSPresent", t.present);
  if (t.present) b.Int("SMBIOSMajorVersion", t.major).Int("SMBIOSMinorVersion", t.minor);
  b.Int("SystemBiosMajorVersion", Field(s, 0x14, 1)).Int("SystemBiosMinorVersion", Field(s, 0x15, 1));
  b.Int("EmbeddedControllerMajorVersion", Field(s, 0x16, 1)).Int("EmbeddedControllerMinorVersion", Field(s, 0x17, 1));
  if (const SmbiosStructure* sys = t.First(kSystem)) b.Text("SerialNumber", sys->String(0x07));
  if (const SmbiosStructure* lang = t.First(kLanguages)) {
    b.Texts("ListOfLanguages", lang->strings);
    b.Int("InstallableLanguages", Field(*lang, 0x04, 1));
    // The current language's string number is at 0x15.
    b.Text("CurrentLanguage", lang->String(0x15));
  }
  return b.Build();
}

// /sys/class/dmi/id, world-readable but for the serial numbers.
constexpr const char* kDmiId = "/sys/class/dmi/id/";

std::optional<std::string> DmiId(Context& ctx, const char* file) { return ctx.tree().Line(std::string(kDmiId) + file); }

}  // namespace

InstanceList BuildBios(const ClassDef& def, Context& ctx) {
  const SmbiosTable& t = ctx.Smbios();
  if (const SmbiosStructure* s = t.First(kBios)) return {BiosFromTable(def, ctx, t, *s)};
  auto vendor = DmiId(ctx, "bios_vendor");
  auto version = DmiId(ctx, "bios_version");
  auto date = DmiId(ctx, "bios_date");
  if (!vendor && !version && !date) return {};
  Builder b(def, ctx);
  SetBiosCommon(b, version);
  b.Text("Version", AcpiVersion(ctx.tree()));
  b.Text("Manufacturer", vendor).Text("ReleaseDate", BiosDate(date));
  b.Text("SerialNumber", DmiId(ctx, "product_serial"));
  if (auto release = DmiId(ctx, "bios_release")) {  // "5.13"
    auto parts = Split(*release, '.');
    if (parts.size() == 2)
      b.Int("SystemBiosMajorVersion", ParseInt(parts[0])).Int("SystemBiosMinorVersion", ParseInt(parts[1]));
  }
  if (auto ec = DmiId(ctx, "ec_firmware_release")) {
    auto parts = Split(*ec, '.');
    if (parts.size() == 2)
      b.Int("EmbeddedControllerMajorVersion", ParseInt(parts[0]))
          .Int("EmbeddedControllerMinorVersion", ParseInt(parts[1]));
  }
  return {b.Build()};
}

InstanceList BuildBaseBoard(const ClassDef& def, Context& ctx) {
  const SmbiosTable& t = ctx.Smbios();
  InstanceList out;
  auto common = [&](Builder& b) {
    PhysicalElement(b, "Base Board", "Base Board");
    b.Bool("PoweredOn", true).Text("Status", "OK");
  };
  std::vector<std::string> options;
  for (const SmbiosStructure* c : t.OfType(kConfigOptions))
    options.insert(options.end(), c->strings.begin(), c->strings.end());
  for (const SmbiosStructure* s : t.OfType(kBaseBoard)) {
    Builder b(def, ctx);
    common(b);
    b.Text("Manufacturer", s->String(0x04)).Text("Product", s->String(0x05)).Text("Version", s->String(0x06));
    b.Text("SerialNumber", s->String(0x07));
    if (auto f = s->Byte(0x09)) {
      b.Bool("HostingBoard", (*f & 0x01) != 0).Bool("RequiresDaughterBoard", (*f & 0x02) != 0);
      b.Bool("Removable", (*f & 0x04) != 0)
          .Bool("Replaceable", (*f & 0x08) != 0)
          .Bool("HotSwappable", (*f & 0x10) != 0);
    }
    if (!options.empty()) b.Texts("ConfigOptions", options);
    out.push_back(b.Build());
  }
  if (!out.empty() || t.First(kBaseBoard)) return out;
  auto vendor = DmiId(ctx, "board_vendor");
  auto name = DmiId(ctx, "board_name");
  if (!vendor && !name) return out;
  Builder b(def, ctx);
  common(b);
  b.Text("Manufacturer", vendor).Text("Product", name).Text("Version", DmiId(ctx, "board_version"));
  b.Text("SerialNumber", DmiId(ctx, "board_serial"));
  out.push_back(b.Build());
  return out;
}

InstanceList BuildSystemEnclosure(const ClassDef& def, Context& ctx) {
  const SmbiosTable& t = ctx.Smbios();
  InstanceList out;
  int index = 0;
  for (const SmbiosStructure* s : t.OfType(kEnclosure)) {
    Builder b(def, ctx);
    PhysicalElement(b, "System Enclosure", "System Enclosure " + std::to_string(index++));
    b.Text("Manufacturer", s->String(0x04)).Text("Version", s->String(0x06)).Text("SerialNumber", s->String(0x07));
    b.Text("SMBIOSAssetTag", s->String(0x08));
    if (auto type = s->Byte(0x05)) {
      b.Ints("ChassisTypes", std::vector<std::int64_t>{*type & 0x7F});
      b.Bool("LockPresent", (*type & 0x80) != 0);
    }
    // SMBIOS's security status codes (1 Other ... 5 External interface enabled) are WMI's.
    b.Int("SecurityStatus", Field(*s, 0x0C, 1));
    b.Int("NumberOfPowerCords", Known(Field(*s, 0x12, 1), 0));
    out.push_back(b.Build());
  }
  if (!out.empty()) return out;
  auto type = ctx.tree().Number(std::string(kDmiId) + "chassis_type");
  auto vendor = DmiId(ctx, "chassis_vendor");
  if (!type && !vendor) return out;
  Builder b(def, ctx);
  PhysicalElement(b, "System Enclosure", "System Enclosure 0");
  b.Text("Manufacturer", vendor).Text("Version", DmiId(ctx, "chassis_version"));
  b.Text("SerialNumber", DmiId(ctx, "chassis_serial")).Text("SMBIOSAssetTag", DmiId(ctx, "chassis_asset_tag"));
  if (type && *type >= 0 && *type <= 0xFF) {
    b.Ints("ChassisTypes", std::vector<std::int64_t>{*type & 0x7F});
    b.Bool("LockPresent", (*type & 0x80) != 0);
  }
  out.push_back(b.Build());
  return out;
}

namespace {

// SMBIOS connector types (type 8) and the WMI ConnectorType codes of
// CIM_PhysicalConnector. The types with no code of their own there (50-pin
// MiniSCSI, SAS/SATA plug receptacle, Other) are WMI's Other (1).
constexpr CodeMap kConnectorTypes[] = {
    {0x01, 66}, {0x02, 67}, {0x03, 76}, {0x04, 23}, {0x05, 23}, {0x06, 22}, {0x07, 22}, {0x08, 21}, {0x09, 21},
    {0x0A, 38}, {0x0B, 39}, {0x0C, 1},  {0x0D, 59}, {0x0E, 60}, {0x0F, 61}, {0x10, 62}, {0x11, 63}, {0x12, 53},
    {0x13, 88}, {0x14, 58}, {0x15, 58}, {0x16, 90}, {0x17, 91}, {0x18, 92}, {0x19, 93}, {0x1A, 94}, {0x1B, 95},
    {0x1C, 96}, {0x1D, 68}, {0x1E, 70}, {0x1F, 97}, {0x20, 37}, {0x21, 54}, {0x22, 1},  {0x23, 53}, {0xA0, 83},
    {0xA1, 84}, {0xA2, 85}, {0xA3, 86}, {0xA4, 87}, {0xFF, 1},
};

// SMBIOS slot data bus widths 3 (8 bit) to 7 (128 bit) are WMI's MaxDataWidth
// codes 0 to 4. The lane widths that follow (1x to 32x) have no code there.
std::optional<std::int64_t> SlotWidth(std::optional<std::int64_t> w) {
  if (!w || *w < 3 || *w > 7) return std::nullopt;
  return *w - 3;
}

// SMBIOS slot types (type 9) and the WMI ConnectorType codes of a slot.
constexpr CodeMap kSlotTypes[] = {
    {0x01, 1},  {0x02, 0},  {0x03, 44}, {0x04, 91}, {0x05, 45}, {0x06, 43}, {0x07, 47},
    {0x08, 46}, {0x09, 76}, {0x0A, 77}, {0x0B, 78}, {0x0C, 79}, {0x0D, 65}, {0x0E, 80},
    {0x0F, 73}, {0x10, 81}, {0x11, 82}, {0x12, 88}, {0x13, 99},
};

// A slot's WMI connector type: the table's codes, and PCI Express (100) for
// every PCI Express slot type (SFF-8639 and mini cards 0x1F to 0x25, the
// generations and lane widths 0xA5 to 0xC4).
std::optional<std::int64_t> SlotConnector(std::optional<std::int64_t> type) {
  if (type && ((*type >= 0x1F && *type <= 0x25) || (*type >= 0xA5 && *type <= 0xC4))) return 100;
  return MapCode(kSlotTypes, type);
}

// SMBIOS port types 0 (None) to 0x1F (Network Port) are WMI's PortType codes;
// the two 8251 types (0xA0, 0xA1) are WMI's 32 and 33. Later SMBIOS types
// (SATA, SAS, Thunderbolt ...) and "Other" have no WMI code.
std::optional<std::int64_t> PortType(std::optional<std::int64_t> type) {
  if (!type) return std::nullopt;
  if (*type <= 0x1F) return type;
  if (*type == 0xA0 || *type == 0xA1) return *type - 0xA0 + 32;
  return std::nullopt;
}

// The Vcc voltages of slot characteristics 1: bit 0 unknown (0), bit 1 5 V (3), bit 2 3.3 V (2).
std::vector<std::int64_t> SlotVcc(std::uint8_t c1) {
  std::vector<std::int64_t> out;
  if (c1 & 0x01) out.push_back(0);
  if (c1 & 0x04) out.push_back(2);
  if (c1 & 0x02) out.push_back(3);
  return out;
}

}  // namespace

InstanceList BuildPortConnectors(const ClassDef& def, Context& ctx) {
  InstanceList out;
  int index = 0;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(kPort)) {
    Builder b(def, ctx);
    PhysicalElement(b, "Port Connector", "Port Connector " + std::to_string(index++));
    b.Text("InternalReferenceDesignator", s->String(0x04)).Text("ExternalReferenceDesignator", s->String(0x06));
    // The external connector, unless it is None or Other where the internal one is named.
    auto external = Field(*s, 0x07, 1), internal = Field(*s, 0x05, 1);
    auto named = [](std::optional<std::int64_t> t) { return t && *t != 0 && *t != 0xFF; };
    auto type = named(external) || !named(internal) ? (external && *external != 0 ? external : internal) : internal;
    if (auto code = MapCode(kConnectorTypes, type)) b.Ints("ConnectorType", std::vector<std::int64_t>{*code});
    b.Int("PortType", PortType(Field(*s, 0x08, 1)));
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildSystemSlots(const ClassDef& def, Context& ctx) {
  InstanceList out;
  int index = 0;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(kSlot)) {
    Builder b(def, ctx);
    PhysicalElement(b, "System Slot", "System Slot " + std::to_string(index++));
    b.Text("Status", "OK");
    b.Text("SlotDesignation", s->String(0x04));
    if (auto connector = SlotConnector(Field(*s, 0x05, 1)))
      b.Ints("ConnectorType", std::vector<std::int64_t>{*connector});
    b.Int("MaxDataWidth", SlotWidth(Field(*s, 0x06, 1)));
    // SMBIOS's current usage codes (1 Other, 2 Unknown, 3 Available, 4 In use) are WMI's.
    b.Int("CurrentUsage", Field(*s, 0x07, 1));
    b.Int("Number", Field(*s, 0x09, 2));
    if (auto c1 = s->Byte(0x0B)) {
      b.Bool("Shared", (*c1 & 0x08) != 0);
      if (auto vcc = SlotVcc(static_cast<std::uint8_t>(*c1)); !vcc.empty()) b.Ints("VccMixedVoltageSupport", vcc);
    }
    if (auto c2 = s->Byte(0x0C)) b.Bool("PMESignal", (*c2 & 0x01) != 0).Bool("SupportsHotPlug", (*c2 & 0x02) != 0);
    b.Int("SegmentGroupNumber", Field(*s, 0x0D, 2)).Int("BusNumber", Field(*s, 0x0F, 1));
    if (auto df = s->Byte(0x10)) b.Int("DeviceNumber", *df >> 3).Int("FunctionNumber", *df & 0x07);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildOnBoardDevices(const ClassDef& def, Context& ctx) {
  InstanceList out;
  int index = 0;
  auto add = [&](std::uint8_t type_byte, std::optional<std::string> description) {
    Builder b(def, ctx);
    PhysicalElement(b, "On Board Device", "On Board Device " + std::to_string(index++));
    b.Text("Description", description);
    // SMBIOS device type codes (3 Video, 5 Ethernet, 7 Sound ...) are WMI's; bit 7 says enabled.
    b.Int("DeviceType", type_byte & 0x7F).Bool("Enabled", (type_byte & 0x80) != 0);
    b.Bool("HotSwappable", false).Bool("Removable", false).Bool("Replaceable", false);
    out.push_back(b.Build());
  };
  const SmbiosTable& t = ctx.Smbios();
  // Type 41 (onboard devices extended) supersedes type 10 where both are present.
  auto extended = t.OfType(kOnBoardExtended);
  if (!extended.empty()) {
    for (const SmbiosStructure* s : extended)
      if (auto type = s->Byte(0x05)) add(*type, s->String(0x04));
    return out;
  }
  for (const SmbiosStructure* s : t.OfType(kOnBoard)) {
    // One type 10 structure lists (length - 4) / 2 devices: a type byte and a string number each.
    std::size_t n = (s->data.size() - 4) / 2;
    for (std::size_t i = 0; i < n; ++i)
      if (auto type = s->Byte(4 + 2 * i)) add(*type, s->String(5 + 2 * i));
  }
  return out;
}

namespace {

// The same text, blanks around it and letter case aside; never two empty texts.
bool SameText(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  if (!a || !b) return false;
  std::string x = Trim(*a), y = Trim(*b);
  return !x.empty() && EqualsIgnoreCase(x, y);
}

// Whether a type 22 record and a battery of /sys/class/power_supply are the same battery: the same
// manufacturer and serial number. A Smart Battery's record leaves the serial string out and gives
// the battery's 16-bit serial word (10h), which dmidecode writes in hex and ACPI reports in decimal.
bool SameBattery(const SmbiosStructure& s, const LiveBattery& l) {
  if (!SameText(s.String(0x05), l.manufacturer) || !l.serial) return false;
  if (s.Byte(0x07).value_or(0) != 0) return SameText(s.String(0x07), l.serial);
  auto word = s.Word(0x10);
  if (!word) return false;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(*word));
  auto decimal = ParseInt(Trim(*l.serial));
  return SameText(std::string(hex), l.serial) || (decimal && *decimal == *word);
}

// The chemistry codes of the Smart Battery Data Specification's device chemistry names.
std::optional<std::int64_t> SmartBatteryChemistry(const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  static const std::pair<const char*, std::int64_t> kNames[] = {{"PbAc", 3}, {"NiCd", 4}, {"NiMH", 5},
                                                                {"LION", 6}, {"ZnAr", 7}, {"LiP", 8}};
  std::string n = Trim(*name);
  for (const auto& [text, code] : kNames)
    if (EqualsIgnoreCase(n, text)) return code;
  return std::nullopt;
}

// A Smart Battery's manufacture date word (bits 15-9 years since 1980, 8-5 month, 4-0 day) as yyyy-mm-dd.
std::optional<std::string> SmartBatteryDate(std::optional<std::uint16_t> word) {
  if (!word || *word == 0) return std::nullopt;
  int year = 1980 + (*word >> 9), month = *word >> 5 & 0x0F, day = *word & 0x1F;
  if (month < 1 || month > 12 || day < 1) return std::nullopt;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return std::string(buf);
}

}  // namespace

InstanceList BuildPortableBatteries(const ClassDef& def, Context& ctx) {
  auto records = ctx.Smbios().OfType(kBattery);
  // The live battery of each record: the one of its manufacturer and serial number, else, with one
  // record and one battery of the same maker (or a maker only one side names), that battery.
  std::vector<LiveBattery> live = records.empty() ? std::vector<LiveBattery>() : ReadLiveBatteries(ctx);
  std::vector<const LiveBattery*> joined(records.size(), nullptr);
  std::vector<bool> taken(live.size(), false);
  for (std::size_t r = 0; r < records.size(); ++r)
    for (std::size_t l = 0; l < live.size(); ++l)
      if (!taken[l] && SameBattery(*records[r], live[l])) {
        joined[r] = &live[l];
        taken[l] = true;
        break;
      }
  // The one record and the one battery are joined unless their makers say they are two batteries.
  if (records.size() == 1 && live.size() == 1 && !joined[0]) {
    auto maker = records[0]->String(0x05);
    bool both_named = maker && !Trim(*maker).empty() && live[0].manufacturer && !Trim(*live[0].manufacturer).empty();
    if (!both_named || SameText(maker, live[0].manufacturer)) joined[0] = &live[0];
  }

  InstanceList out;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const SmbiosStructure* s = records[r];
    Builder b(def, ctx);
    std::string id = "Portable Battery " + std::to_string(r);
    b.Device(id, s->String(0x08).value_or("Portable Battery"), "Portable Battery");
    b.Text("Location", s->String(0x04)).Text("Manufacturer", s->String(0x05));
    b.Text("ManufactureDate", s->String(0x06) ? s->String(0x06) : SmartBatteryDate(s->Word(0x12)));
    // SMBIOS chemistry codes (1 Other ... 8 Lithium-polymer) are WMI's; a Smart Battery's record says
    // 2 (Unknown) there and names its chemistry in the SBDS string.
    auto chemistry = Field(*s, 0x09, 1);
    if (chemistry == 2) chemistry = SmartBatteryChemistry(s->String(0x14)).value_or(2);
    b.Int("Chemistry", chemistry);
    // The design capacity as the record gives it: times CapacityMultiplier, it is in mWh.
    auto multiplier = Field(*s, 0x15, 1);
    auto capacity = Known(Field(*s, 0x0A, 2), 0);
    b.Int("DesignCapacity", capacity);
    if (multiplier && *multiplier > 0) b.Int("CapacityMultiplier", multiplier);
    auto voltage = Known(Field(*s, 0x0C, 2), 0);
    if (voltage) b.Big("DesignVoltage", static_cast<std::uint64_t>(*voltage));
    b.Text("SmartBatteryVersion", s->String(0x0E));
    b.Int("MaxBatteryError", Known(Field(*s, 0x0F, 1), 0xFF));
    if (const LiveBattery* l = joined[r]) {
      // The live state, in Win32_Battery's units and codes; the record's own values stand.
      b.Int("Availability", l->availability).Int("BatteryStatus", l->status);
      b.Int("EstimatedChargeRemaining", l->charge_percent).Int("EstimatedRunTime", l->run_minutes);
      b.Int("FullChargeCapacity", l->full_mwh).Int("TimeToFullCharge", l->minutes_to_full);
      if ((!chemistry || *chemistry == 2) && l->chemistry) b.Int("Chemistry", l->chemistry);  // 2: unknown
      if (!capacity && l->design_mwh) b.Int("DesignCapacity", l->design_mwh).Int("CapacityMultiplier", 1);
      if (!voltage && l->design_mv) b.Big("DesignVoltage", static_cast<std::uint64_t>(*l->design_mv));
      if (!s->String(0x05)) b.Text("Manufacturer", l->manufacturer);
      b.Bool("PowerManagementSupported", false);
      if (!l->present) b.Text("Status", "Unknown");
    }
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
