// Keyboards and pointing devices from /proc/bus/input/devices and the
// capability bitmaps it prints: Win32_Keyboard and Win32_PointingDevice. The
// keyboard layout comes from the system's console and X keyboard settings.
#include <cctype>

#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"

namespace wmi::lx {

namespace {

// Event types, codes and properties of linux/input-event-codes.h.
constexpr int kEvRep = 0x14, kKeyA = 30, kRelX = 0, kRelY = 1, kAbsX = 0, kAbsY = 1;
constexpr int kBtnLeft = 0x110, kBtnTask = 0x117, kBtnToolFinger = 0x145, kBtnTouch = 0x14a;
constexpr int kPropDirect = 1;
constexpr unsigned kBusRs232 = 0x13, kBusUsb = 0x03, kBusI8042 = 0x11;

// A capability bitmap as the kernel prints it: words of an unsigned long
// (64 bits here), most significant first.
struct Bitmap {
  std::vector<std::uint64_t> words;  // least significant first
  bool Test(int bit) const {
    std::size_t w = static_cast<std::size_t>(bit) / 64;
    return w < words.size() && (words[w] >> (bit % 64) & 1) != 0;
  }
  static Bitmap Parse(const std::string& text) {
    Bitmap b;
    auto w = Words(text);
    for (auto it = w.rbegin(); it != w.rend(); ++it) b.words.push_back(ParseHex(*it).value_or(0));
    return b;
  }
};

struct InputDevice {
  unsigned bus = 0, vendor = 0, product = 0;
  std::string name, phys, sysfs;
  std::map<std::string, Bitmap> caps;  // "EV", "KEY", "REL", "ABS", "PROP"
  bool Has(const char* type, int bit) const {
    auto it = caps.find(type);
    return it != caps.end() && it->second.Test(bit);
  }
};

std::vector<InputDevice> ReadInputDevices(const Tree& tree) {
  std::vector<InputDevice> out;
  auto text = tree.Read("/proc/bus/input/devices");
  if (!text) return out;
  InputDevice cur;
  bool any = false;
  auto flush = [&] {
    if (any) out.push_back(std::move(cur));
    cur = InputDevice();
    any = false;
  };
  for (const std::string& raw : Lines(*text)) {
    std::string line = Trim(raw);
    if (line.empty()) {
      flush();
      continue;
    }
    if (line.size() < 3 || line[1] != ':') continue;
    any = true;
    std::string rest = Trim(std::string_view(line).substr(2));
    switch (line[0]) {
      case 'I':
        for (const std::string& w : Words(rest)) {
          auto eq = w.find('=');
          if (eq == std::string::npos) continue;
          unsigned v = static_cast<unsigned>(ParseHex(w.substr(eq + 1)).value_or(0) & 0xFFFF);
          std::string k = w.substr(0, eq);
          if (k == "Bus") cur.bus = v;
          if (k == "Vendor") cur.vendor = v;
          if (k == "Product") cur.product = v;
        }
        break;
      case 'N':
        if (StartsWith(rest, "Name=")) {
          std::string n = rest.substr(5);
          if (n.size() >= 2 && n.front() == '"' && n.back() == '"') n = n.substr(1, n.size() - 2);
          cur.name = Printable(n).value_or("");
        }
        break;
      case 'P':
        if (StartsWith(rest, "Phys=")) cur.phys = rest.substr(5);
        break;
      case 'S':
        if (StartsWith(rest, "Sysfs=")) cur.sysfs = rest.substr(6);
        break;
      case 'B': {
        auto eq = rest.find('=');
        if (eq != std::string::npos) cur.caps[rest.substr(0, eq)] = Bitmap::Parse(rest.substr(eq + 1));
        break;
      }
      default:
        break;
    }
  }
  flush();
  return out;
}

bool IsKeyboard(const InputDevice& d) { return d.Has("EV", kEvRep) && d.Has("KEY", kKeyA); }

// PointingType: 3 mouse, 5 track point, 7 touch pad, 8 touch screen; nullopt for no pointing device.
std::optional<std::int64_t> PointingType(const InputDevice& d) {
  bool abs = d.Has("ABS", kAbsX) && d.Has("ABS", kAbsY);
  if (abs && d.Has("KEY", kBtnToolFinger) && !d.Has("PROP", kPropDirect)) return 7;
  if (abs && (d.Has("PROP", kPropDirect) || d.Has("KEY", kBtnTouch))) return 8;
  if (d.Has("REL", kRelX) && d.Has("REL", kRelY) && d.Has("KEY", kBtnLeft)) {
    std::string lower = Lower(d.name);
    if (lower.find("trackpoint") != std::string::npos || lower.find("pointing stick") != std::string::npos) return 5;
    return 3;
  }
  return std::nullopt;
}

// DeviceInterface: 1 other, 3 serial, 4 PS/2, 162 USB.
std::int64_t DeviceInterface(unsigned bus) {
  switch (bus) {
    case kBusI8042:
      return 4;
    case kBusUsb:
      return 162;
    case kBusRs232:
      return 3;
    default:
      return 1;
  }
}

std::string DeviceId(const InputDevice& d) { return "INPUT\\" + Basename(d.sysfs.empty() ? d.name : d.sysfs); }

std::optional<std::string> PnpIdOf(Context& ctx, const InputDevice& d) {
  if (d.sysfs.empty()) return std::nullopt;
  if (auto id = ctx.DeviceIdAbove(ctx.tree().Resolve("/sys" + d.sysfs).value_or("/sys" + d.sysfs))) return id;
  if (d.bus == kBusI8042) {
    // The keyboard and the mouse port of the PS/2 controller, as the firmware lists them.
    bool keyboard = IsKeyboard(d);
    for (const char* hid :
         keyboard ? std::vector<const char*>{"PNP0303", "PNP030B"} : std::vector<const char*>{"PNP0F13", "PNP0F03"})
      if (auto a = FindAcpi(ctx.tree(), hid)) return a->device_id;
  }
  return std::nullopt;
}

// The Windows layout id of the first configured layout.
std::optional<std::string> LayoutId(const Tree& tree) {
  std::string layout;
  auto kb = KeyValues(tree.Read("/etc/default/keyboard").value_or(""), '=', true);
  if (kb.count("XKBLAYOUT")) layout = kb["XKBLAYOUT"];
  auto vc = KeyValues(tree.Read("/etc/vconsole.conf").value_or(""), '=', true);
  if (layout.empty() && vc.count("XKBLAYOUT")) layout = vc["XKBLAYOUT"];
  if (layout.empty() && vc.count("KEYMAP")) layout = vc["KEYMAP"];
  layout = layout.substr(0, layout.find(','));
  std::string code;
  for (char c : layout) {
    if (!std::isalpha(static_cast<unsigned char>(c))) break;
    code += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  static const std::map<std::string, const char*> kLayouts = {
      {"us", "00000409"}, {"jp", "00000411"},    {"de", "00000407"}, {"fr", "0000040C"}, {"gb", "00000809"},
      {"uk", "00000809"}, {"es", "0000040A"},    {"it", "00000410"}, {"kr", "00000412"}, {"ru", "00000419"},
      {"cn", "00000804"}, {"tw", "00000404"},    {"br", "00000416"}, {"pt", "00000816"}, {"se", "0000041D"},
      {"no", "00000414"}, {"dk", "00000406"},    {"fi", "0000040B"}, {"nl", "00000413"}, {"be", "0000080C"},
      {"pl", "00000415"}, {"cz", "00000405"},    {"hu", "0000040E"}, {"tr", "0000041F"}, {"ch", "00000807"},
      {"ca", "00001009"}, {"latam", "0000080A"}, {"gr", "00000408"}, {"il", "0000040D"}, {"ua", "00000422"},
  };
  auto it = kLayouts.find(code);
  if (it == kLayouts.end()) return std::nullopt;
  return std::string(it->second);
}

int FunctionKeys(const InputDevice& d) {
  int n = 0;
  for (int k = 59; k <= 68; ++k) n += d.Has("KEY", k);    // F1-F10
  for (int k = 87; k <= 88; ++k) n += d.Has("KEY", k);    // F11, F12
  for (int k = 183; k <= 194; ++k) n += d.Has("KEY", k);  // F13-F24
  return n;
}

}  // namespace

InstanceList BuildKeyboards(const ClassDef& def, Context& ctx) {
  InstanceList out;
  auto layout = LayoutId(ctx.tree());
  for (const InputDevice& d : ReadInputDevices(ctx.tree())) {
    if (!IsKeyboard(d)) continue;
    Builder b(def, ctx);
    b.Device(DeviceId(d), d.name.empty() ? "Keyboard" : d.name);
    b.Text("PNPDeviceID", PnpIdOf(ctx, d)).Text("Layout", layout);
    b.Int("NumberOfFunctionKeys", FunctionKeys(d)).Bool("PowerManagementSupported", false);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildPointingDevices(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const InputDevice& d : ReadInputDevices(ctx.tree())) {
    auto type = PointingType(d);
    if (!type) continue;
    Builder b(def, ctx);
    b.Device(DeviceId(d), d.name.empty() ? "Pointing Device" : d.name);
    b.Text("PNPDeviceID", PnpIdOf(ctx, d)).Int("PointingType", type).Int("DeviceInterface", DeviceInterface(d.bus));
    int buttons = 0;
    for (int k = kBtnLeft; k <= kBtnTask; ++k) buttons += d.Has("KEY", k);
    b.Int("NumberOfButtons", buttons).Text("HardwareType", d.name.empty() ? std::nullopt : std::optional(d.name));
    if (d.bus == kBusUsb) {
      for (const UsbDevice& u : ctx.Usb())
        if (u.vendor == d.vendor && u.product == d.product) b.Text("Manufacturer", Printable(u.manufacturer));
    }
    b.Bool("PowerManagementSupported", false);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
