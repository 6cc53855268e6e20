// Graphics adapters and monitors: PCI display-class devices (03xxxx) and the
// cards and connectors of the kernel's DRM (/sys/class/drm), with the EDID
// each connected monitor hands over. Win32_VideoController,
// Win32_DesktopMonitor, Win32_DisplayConfiguration and
// Win32_DisplayControllerConfiguration.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "wmi/linux/backend.h"
#include "wmi/linux/edid.h"

namespace wmi::lx {

namespace {

struct Connector {
  std::string name;  // "card0-DP-1"
  bool connected = false, enabled = false;
  std::optional<std::string> dpms;        // "On", "Off", "Standby", "Suspend"
  std::optional<std::string> first_mode;  // "1920x1080", the mode the kernel lists first
  std::optional<Edid> edid;
};

struct Card {
  std::string name;                   // "card0"
  std::optional<std::string> device;  // resolved sysfs path of the device behind it
  std::optional<std::string> driver;
  std::vector<Connector> connectors;
};

struct Adapter {
  std::optional<const PciDevice*> pci;
  std::string sysfs;  // device path
  std::string name;
  std::optional<std::string> vendor, driver, pnp_id;
  unsigned class_code = 0;
  std::vector<const Card*> cards;
};

std::vector<Card> ReadCards(const Tree& tree) {
  std::vector<Card> cards;
  for (const std::string& e : tree.List("/sys/class/drm")) {
    if (!StartsWith(e, "card") || e.size() == 4 || e.find('-') != std::string::npos) continue;
    std::string dir = "/sys/class/drm/" + e;
    Card c;
    c.name = e;
    c.device = tree.Resolve(dir + "/device");
    if (auto drv = tree.Resolve(dir + "/device/driver")) c.driver = Basename(*drv);
    if (!c.driver) {
      // Without the link, the device's uevent names the driver.
      auto kv = KeyValues(tree.Read(dir + "/device/uevent").value_or(""), '=');
      if (kv.count("DRIVER") && !kv["DRIVER"].empty()) c.driver = kv["DRIVER"];
    }
    for (const std::string& n : tree.List(dir)) {
      if (!StartsWith(n, e + "-")) continue;
      std::string cd = dir + "/" + n;
      Connector k;
      k.name = n;
      k.connected = tree.Line(cd + "/status").value_or("") == "connected";
      k.enabled = tree.Line(cd + "/enabled").value_or("") == "enabled";
      k.dpms = tree.Line(cd + "/dpms");
      k.first_mode = tree.Line(cd + "/modes");
      if (auto bytes = tree.Read(cd + "/edid")) k.edid = DecodeEdid(*bytes);
      c.connectors.push_back(std::move(k));
    }
    cards.push_back(std::move(c));
  }
  return cards;
}

std::vector<Adapter> ReadAdapters(Context& ctx, const std::vector<Card>& cards) {
  std::vector<Adapter> out;
  for (const PciDevice& d : ctx.Pci()) {
    if ((d.class_code >> 16) != 0x03) continue;
    Adapter a;
    a.pci = &d;
    a.sysfs = d.sysfs;
    a.name = d.device_name.value_or("Video Controller");
    a.vendor = d.vendor_name;
    a.driver = d.driver;
    a.pnp_id = d.device_id;
    a.class_code = d.class_code;
    out.push_back(std::move(a));
  }
  // Cards whose device is not a PCI display device (a platform or virtual GPU) are adapters of their own.
  for (const Card& c : cards) {
    auto same = [&](const Adapter& a) { return c.device && a.sysfs == *c.device; };
    auto it = std::find_if(out.begin(), out.end(), same);
    if (it == out.end()) {
      if (!c.device) continue;
      // A render-only card of a PCI device of another class (a compute accelerator) is no display adapter.
      bool other_pci = false;
      for (const PciDevice& d : ctx.Pci()) other_pci = other_pci || d.sysfs == *c.device;
      if (other_pci) continue;
      Adapter a;
      a.sysfs = *c.device;
      a.driver = c.driver;
      a.name = c.driver ? *c.driver + " display adapter" : Basename(*c.device);
      if (auto id = ctx.DeviceIdAbove(*c.device)) a.pnp_id = id;
      out.push_back(std::move(a));
      it = out.end() - 1;
    }
    if (!it->driver) it->driver = c.driver;
    it->cards.push_back(&c);
  }
  return out;
}

struct Mode {
  int width = 0, height = 0;
  bool interlaced = false;
  std::optional<int> refresh;
  std::optional<int> bits;
};

// "1920x1080" or "1920x1080i".
std::optional<std::pair<int, int>> ParseMode(const std::string& s, bool* interlaced) {
  auto x = s.find('x');
  if (x == std::string::npos) return std::nullopt;
  std::string h = s.substr(x + 1);
  *interlaced = !h.empty() && h.back() == 'i';
  if (*interlaced) h.pop_back();
  auto w = ParseInt(s.substr(0, x));
  auto v = ParseInt(h);
  if (!w || !v || *w <= 0 || *v <= 0 || *w > 100000 || *v > 100000) return std::nullopt;
  return std::make_pair(static_cast<int>(*w), static_cast<int>(*v));
}

// Bits per pixel of the framebuffer console that scans out from this device, if one does.
std::optional<int> FramebufferBits(const Tree& tree, const std::string& device) {
  for (const std::string& fb : tree.List("/sys/class/graphics")) {
    std::string dir = "/sys/class/graphics/" + fb;
    if (tree.Resolve(dir + "/device") != device) continue;
    if (auto bits = tree.Number(dir + "/bits_per_pixel"); bits && *bits > 0 && *bits <= 64)
      return static_cast<int>(*bits);
  }
  return std::nullopt;
}

// The mode the adapter shows on its first enabled, connected output.
std::optional<Mode> CurrentMode(const Tree& tree, const Adapter& a, const Connector** out) {
  for (const Card* c : a.cards)
    for (const Connector& k : c->connectors) {
      if (!k.connected || !k.enabled || !k.first_mode) continue;
      Mode m;
      auto wh = ParseMode(*k.first_mode, &m.interlaced);
      if (!wh) continue;
      std::tie(m.width, m.height) = *wh;
      if (k.edid && k.edid->preferred && k.edid->preferred->width == m.width && k.edid->preferred->height == m.height &&
          k.edid->preferred->refresh > 0)
        m.refresh = static_cast<int>(std::lround(k.edid->preferred->refresh));
      m.bits = FramebufferBits(tree, a.sysfs);
      *out = &k;
      return m;
    }
  return std::nullopt;
}

std::optional<std::string> DriverVersion(Context& ctx, const std::optional<std::string>& driver) {
  if (!driver) return std::nullopt;
  if (auto v = ctx.tree().Line("/sys/module/" + *driver + "/version")) return v;
  // A driver built with the kernel carries the kernel's version.
  if (auto u = ctx.system().Uname(); u && !u->release.empty()) return u->release;
  return std::nullopt;
}

std::optional<std::int64_t> AdapterRam(const Tree& tree, const std::string& dev) {
  std::optional<std::uint64_t> bytes;
  if (auto v = tree.Number(dev + "/mem_info_vram_total"); v && *v > 0) bytes = static_cast<std::uint64_t>(*v);
  if (!bytes) {
    // The largest prefetchable memory window (IORESOURCE_PREFETCH) is the frame buffer's aperture.
    for (const std::string& line : Lines(tree.Read(dev + "/resource").value_or(""))) {
      auto w = Words(line);
      if (w.size() < 3) continue;
      auto start = ParseHex(w[0]), end = ParseHex(w[1]), flags = ParseHex(w[2]);
      if (!start || !end || !flags || *end <= *start || !(*flags & 0x2000) || !(*flags & 0x200)) continue;
      std::uint64_t size = *end - *start + 1;
      if (!bytes || size > *bytes) bytes = size;
    }
  }
  if (!bytes) return std::nullopt;
  // The class holds a 32-bit count: larger memories read as its largest value.
  return static_cast<std::int64_t>(std::min<std::uint64_t>(*bytes, std::numeric_limits<std::uint32_t>::max()));
}

std::string ModeDescription(const Mode& m) {
  std::string s = std::to_string(m.width) + " x " + std::to_string(m.height);
  if (m.bits && *m.bits < 64) s += " x " + std::to_string(std::uint64_t{1} << *m.bits) + " colors";
  return s;
}

struct Displays {
  std::vector<Card> cards;
  std::vector<Adapter> adapters;
};

Displays ReadDisplays(Context& ctx) {
  Displays d;
  d.cards = ReadCards(ctx.tree());
  d.adapters = ReadAdapters(ctx, d.cards);
  return d;
}

}  // namespace

InstanceList BuildVideoControllers(const ClassDef& def, Context& ctx) {
  Displays d = ReadDisplays(ctx);
  InstanceList out;
  int n = 0;
  for (const Adapter& a : d.adapters) {
    Builder b(def, ctx);
    b.Device("VideoController" + std::to_string(++n), a.name);
    b.Text("VideoProcessor", a.name).Text("AdapterCompatibility", a.vendor).Text("PNPDeviceID", a.pnp_id);
    b.Text("InstalledDisplayDrivers", a.driver).Text("DriverVersion", DriverVersion(ctx, a.driver));
    b.Int("AdapterRAM", AdapterRam(ctx.tree(), a.sysfs));
    if (a.pci) b.Int("VideoArchitecture", (a.class_code >> 8) == 0x0300 ? 5 : 2);  // 5: VGA
    const Connector* k = nullptr;
    if (auto m = CurrentMode(ctx.tree(), a, &k)) {
      b.Int("CurrentHorizontalResolution", m->width).Int("CurrentVerticalResolution", m->height);
      b.Int("CurrentRefreshRate", m->refresh).Int("CurrentBitsPerPixel", m->bits);
      b.Int("CurrentScanMode", m->interlaced ? 3 : 4);
      if (m->bits && *m->bits < 64) b.Big("CurrentNumberOfColors", std::uint64_t{1} << *m->bits);
      b.Text("VideoModeDescription", ModeDescription(*m));
      if (k->edid) {
        b.Int("MinRefreshRate", k->edid->min_vertical_hz).Int("MaxRefreshRate", k->edid->max_vertical_hz);
      }
    }
    if (a.driver) {
      b.Int("Availability", 3);
    } else {
      b.Int("ConfigManagerErrorCode", 28).Text("Status", "Error");  // no driver bound
    }
    out.push_back(b.Build());
  }
  return out;
}

namespace {

// The maker of a PnP ID from udev's hwdb: the system's compiled database, else the PnP vendor table
// it is compiled from ("acpi:DEL*:" and its ID_VENDOR_FROM_DATABASE line), read through the tree.
std::optional<std::string> PnpVendor(Context& ctx, const std::string& id) {
  if (auto name = ctx.system().PnpVendorName(id)) return name;
  if (id.size() != 3) return std::nullopt;
  const std::string match = "acpi:" + id + "*:";
  for (const char* file : {"/etc/udev/hwdb.d/20-acpi-vendor.hwdb", "/usr/lib/udev/hwdb.d/20-acpi-vendor.hwdb",
                           "/lib/udev/hwdb.d/20-acpi-vendor.hwdb"}) {
    std::optional<std::string> name;
    bool matched = false;
    ctx.tree().EachLine(file, [&](std::string_view line) {
      if (name) return;
      if (!line.empty() && line.front() != ' ' && line.front() != '#') {
        matched = Trim(line) == match;
        return;
      }
      std::string property = Trim(line);
      if (matched && StartsWith(property, "ID_VENDOR_FROM_DATABASE=")) name = property.substr(24);
    });
    if (name && !name->empty()) return name;
  }
  return std::nullopt;
}

}  // namespace

InstanceList BuildDesktopMonitors(const ClassDef& def, Context& ctx) {
  Displays d = ReadDisplays(ctx);
  InstanceList out;
  int n = 0;
  for (const Card& c : d.cards)
    for (const Connector& k : c.connectors) {
      if (!k.connected) continue;
      Builder b(def, ctx);
      const Edid* e = k.edid ? &*k.edid : nullptr;
      std::optional<std::string> model = e ? e->ModelName() : std::nullopt;
      std::string type = e ? "Generic PnP Monitor" : "Generic Non-PnP Monitor";
      b.Device("DesktopMonitor" + std::to_string(++n), model.value_or(type));
      b.Text("MonitorType", type);
      if (e) {
        if (auto id = e->PnpId()) b.Text("PNPDeviceID", "DISPLAY\\" + *id + "\\" + k.name);
        if (e->manufacturer) b.Text("MonitorManufacturer", PnpVendor(ctx, *e->manufacturer).value_or(*e->manufacturer));
        b.Int("Bandwidth", e->max_pixel_clock_mhz);
      }
      bool interlaced = false;
      if (auto wh = k.first_mode ? ParseMode(*k.first_mode, &interlaced) : std::nullopt) {
        b.Int("ScreenWidth", wh->first).Int("ScreenHeight", wh->second);
      } else if (e && e->preferred && e->preferred->width > 0) {
        b.Int("ScreenWidth", e->preferred->width).Int("ScreenHeight", e->preferred->height);
      }
      // Availability from the power state the connector reports.
      std::string dpms = k.dpms.value_or("");
      b.Int("Availability", dpms == "On"        ? std::optional<std::int64_t>(3)
                            : dpms == "Off"     ? std::optional<std::int64_t>(7)
                            : dpms == "Standby" ? std::optional<std::int64_t>(15)
                            : dpms == "Suspend" ? std::optional<std::int64_t>(14)
                                                : std::nullopt);
      out.push_back(b.Build());
    }
  return out;
}

// One instance, the adapter that shows the desktop: the first with a current mode.
InstanceList BuildDisplayConfiguration(const ClassDef& def, Context& ctx) {
  Displays d = ReadDisplays(ctx);
  for (const Adapter& a : d.adapters) {
    const Connector* k = nullptr;
    auto m = CurrentMode(ctx.tree(), a, &k);
    if (!m) continue;
    Builder b(def, ctx);
    b.Text("Caption", a.name).Text("Description", a.name).Text("DeviceName", a.name).Text("SettingID", a.name);
    b.Int("PelsWidth", m->width).Int("PelsHeight", m->height).Int("DisplayFrequency", m->refresh);
    b.Int("BitsPerPel", m->bits).Text("DriverVersion", DriverVersion(ctx, a.driver));
    return {b.Build()};
  }
  return {};
}

InstanceList BuildDisplayControllerConfigurations(const ClassDef& def, Context& ctx) {
  Displays d = ReadDisplays(ctx);
  InstanceList out;
  for (const Adapter& a : d.adapters) {
    Builder b(def, ctx);
    b.Text("Caption", a.name).Text("Name", a.name).Text("SettingID", a.name);
    const Connector* k = nullptr;
    if (auto m = CurrentMode(ctx.tree(), a, &k)) {
      b.Int("HorizontalResolution", m->width).Int("VerticalResolution", m->height);
      b.Int("RefreshRate", m->refresh).Int("BitsPerPixel", m->bits);
      b.Text("VideoMode", ModeDescription(*m));
    }
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
