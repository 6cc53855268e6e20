// Probes and cooling devices of the SMBIOS table (types 26 to 29), and the
// classes made of them alone: Win32_HeatPipe and Win32_Refrigeration. The
// probes and fans join the hwmon instances in hwmon.cpp. The firmware gives
// no reading, only what a probe can read, so CurrentReading stays Null, as it
// does on Windows.
//
// Layout of types 26, 28 and 29: 04h description (string), 05h location (bits
// 4:0) and status (bits 7:5), 06h maximum, 08h minimum, 0Ah resolution, 0Ch
// tolerance, 0Eh accuracy (words), 10h OEM dword, 14h nominal value (a word,
// only in structures longer than 14h). Type 27: 04h temperature probe handle,
// 06h device type (bits 4:0) and status (bits 7:5), 07h cooling unit group,
// 08h OEM dword, 0Ch nominal speed in rpm (from 2.2), 0Eh description (string,
// from 2.7). A word of 8000h is "unknown".
#include "wmi/linux/smbios_probes.h"

#include "wmi/linux/backend.h"
#include "wmi/linux/smbios.h"

namespace wmi::lx {

namespace {

constexpr std::uint16_t kUnknown = 0x8000;

// A signed value (maximum, minimum, tolerance, nominal): the word as a 16-bit two's complement number.
std::optional<std::int64_t> Signed(const SmbiosStructure& s, std::size_t offset) {
  auto w = s.Word(offset);
  if (!w || *w == kUnknown) return std::nullopt;
  return static_cast<std::int16_t>(*w);
}

// An unsigned value (resolution, accuracy).
std::optional<std::int64_t> Unsigned(const SmbiosStructure& s, std::size_t offset) {
  auto w = s.Word(offset);
  if (!w || *w == kUnknown) return std::nullopt;
  return *w;
}

}  // namespace

std::optional<SmbiosProbe> DecodeSmbiosProbe(const SmbiosStructure& s) {
  if (s.type != kSmbiosVoltageProbe && s.type != kSmbiosTemperatureProbe && s.type != kSmbiosCurrentProbe)
    return std::nullopt;
  SmbiosProbe p;
  p.description = s.String(0x04);
  if (auto ls = s.Byte(0x05)) {
    p.location = *ls & 0x1F;
    p.status = *ls >> 5;
  }
  p.max = Signed(s, 0x06);
  p.min = Signed(s, 0x08);
  p.resolution = Unsigned(s, 0x0A);
  // A temperature probe's resolution is in thousandths of a degree; the class's in hundredths.
  if (p.resolution && s.type == kSmbiosTemperatureProbe) p.resolution = (*p.resolution + 5) / 10;
  p.tolerance = Signed(s, 0x0C);
  p.accuracy = Unsigned(s, 0x0E);
  p.nominal = Signed(s, 0x14);
  return p;
}

CoolingKind CoolingKindOf(std::optional<int> device_type) {
  if (!device_type) return CoolingKind::kNone;
  switch (*device_type) {
    case 0x03:  // fan
    case 0x04:  // centrifugal blower
    case 0x05:  // chip fan
    case 0x06:  // cabinet fan
    case 0x07:  // power supply fan
      return CoolingKind::kFan;
    case 0x08:
      return CoolingKind::kHeatPipe;
    case 0x09:  // integrated refrigeration
      return CoolingKind::kRefrigeration;
    default:  // other, unknown, active cooling (10h), passive cooling (11h)
      return CoolingKind::kNone;
  }
}

std::optional<SmbiosCoolingDevice> DecodeSmbiosCoolingDevice(const SmbiosStructure& s) {
  if (s.type != kSmbiosCoolingDevice) return std::nullopt;
  SmbiosCoolingDevice d;
  d.probe_handle = s.Word(0x04);
  if (auto ts = s.Byte(0x06)) {
    d.device_type = *ts & 0x1F;
    d.status = *ts >> 5;
  }
  if (auto g = s.Byte(0x07)) d.unit_group = *g;
  d.nominal_rpm = Unsigned(s, 0x0C);
  d.description = s.String(0x0E);
  return d;
}

std::string SmbiosStatusText(std::optional<int> status) {
  switch (status.value_or(0)) {
    case 3:
      return "OK";
    case 4:  // non-critical
      return "Degraded";
    case 5:  // critical
      return "Error";
    case 6:  // non-recoverable
      return "NonRecover";
    default:  // other, unknown, or a code outside the list
      return "Unknown";
  }
}

namespace {

// What Windows shows of a firmware sensor or cooling device: the class's generic caption as
// Caption and Name, the firmware's text as Description, "root\cimv2 <n>" as DeviceID.
void FirmwareDevice(Builder& b, int index, const std::string& caption, const std::optional<std::string>& text,
                    std::optional<int> status) {
  b.Text("DeviceID", "root\\cimv2 " + std::to_string(index));
  b.Text("Caption", caption).Text("Name", caption).Text("Description", text.value_or(caption));
  b.Text("Status", SmbiosStatusText(status));
  b.Bool("PowerManagementSupported", false);
}

InstanceList CoolingDevices(const ClassDef& def, Context& ctx, CoolingKind kind) {
  InstanceList out;
  int index = 0;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(kSmbiosCoolingDevice)) {
    auto d = DecodeSmbiosCoolingDevice(*s);
    if (!d || CoolingKindOf(d->device_type) != kind) continue;
    Builder b(def, ctx);
    FirmwareDevice(b, index++, "Cooling Device", d->description, d->status);
    // A heat pipe cools passively; fans and refrigeration actively.
    b.Bool("ActiveCooling", kind != CoolingKind::kHeatPipe);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace

void AppendSmbiosProbes(const ClassDef& def, Context& ctx, std::uint8_t type, InstanceList& out) {
  int index = 0;
  for (const SmbiosStructure* s : ctx.Smbios().OfType(type)) {
    auto p = DecodeSmbiosProbe(*s);
    if (!p) continue;
    Builder b(def, ctx);
    FirmwareDevice(b, index++, "Numeric Sensor", p->description, p->status);
    b.Int("MaxReadable", p->max).Int("MinReadable", p->min).Int("NominalReading", p->nominal);
    b.Int("Resolution", p->resolution).Int("Tolerance", p->tolerance).Int("Accuracy", p->accuracy);
    out.push_back(b.Build());
  }
}

void AppendSmbiosFans(const ClassDef& def, Context& ctx, InstanceList& out) {
  for (Instance& i : CoolingDevices(def, ctx, CoolingKind::kFan)) out.push_back(std::move(i));
}

InstanceList BuildHeatPipes(const ClassDef& def, Context& ctx) {
  return CoolingDevices(def, ctx, CoolingKind::kHeatPipe);
}

InstanceList BuildRefrigeration(const ClassDef& def, Context& ctx) {
  return CoolingDevices(def, ctx, CoolingKind::kRefrigeration);
}

}  // namespace wmi::lx
