// Sound devices from ALSA's /proc/asound: one Win32_SoundDevice per HD Audio
// codec of a card (as Windows lists each codec as a device of its own), or
// per card where it has no codec (USB audio and the like). The PCI or USB
// device behind /sys/class/sound/cardN/device gives the PnP id.
#include <cstdio>

#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"

namespace wmi::lx {

namespace {

struct Card {
  int index = 0;
  std::string id, driver, short_name, long_name;
};

// " 0 [PCH            ]: HDA-Intel - HDA Intel PCH" and the long name on the next line.
std::vector<Card> ReadCards(const Tree& tree) {
  std::vector<Card> out;
  auto lines = Lines(tree.Read("/proc/asound/cards").value_or(""));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    auto open = l.find('['), close = l.find("]:");
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    auto index = ParseInt(l.substr(0, open));
    if (!index || *index < 0 || *index > 255) continue;
    Card c;
    c.index = static_cast<int>(*index);
    c.id = Trim(l.substr(open + 1, close - open - 1));
    std::string rest = l.substr(close + 2);
    auto dash = rest.find(" - ");
    c.driver = Trim(rest.substr(0, dash));
    c.short_name = dash == std::string::npos ? c.driver : Trim(rest.substr(dash + 3));
    if (i + 1 < lines.size() && !lines[i + 1].empty() && lines[i + 1].find("]:") == std::string::npos)
      c.long_name = Trim(lines[++i]);
    out.push_back(c);
  }
  return out;
}

struct Codec {
  std::string file;  // "codec#0"
  std::optional<std::string> name;
  std::optional<std::uint64_t> vendor_id, subsystem_id;
};

std::vector<Codec> ReadCodecs(const Tree& tree, int card) {
  std::vector<Codec> out;
  std::string dir = "/proc/asound/card" + std::to_string(card);
  for (const std::string& f : tree.List(dir)) {
    if (!StartsWith(f, "codec#")) continue;
    auto kv = KeyValues(tree.Read(dir + "/" + f).value_or(""), ':');
    Codec c;
    c.file = f;
    if (kv.count("Codec")) c.name = Printable(kv["Codec"]);
    if (kv.count("Vendor Id")) c.vendor_id = ParseHex(kv["Vendor Id"]);
    if (kv.count("Subsystem Id")) c.subsystem_id = ParseHex(kv["Subsystem Id"]);
    if (c.name || c.vendor_id) out.push_back(c);
  }
  return out;
}

}  // namespace

InstanceList BuildSoundDevices(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  for (const Card& card : ReadCards(tree)) {
    std::string sys = "/sys/class/sound/card" + std::to_string(card.index) + "/device";
    auto device = tree.Resolve(sys);
    std::optional<std::string> pnp = device ? ctx.DeviceIdAbove(*device) : std::nullopt;
    std::optional<std::string> maker;
    for (const UsbDevice& u : ctx.Usb())
      if (device && (*device == u.sysfs || StartsWith(*device, u.sysfs + "/"))) maker = Printable(u.manufacturer);
    for (const PciDevice& p : ctx.Pci())
      if (device && *device == p.sysfs) maker = p.vendor_name;
    auto codecs = ReadCodecs(tree, card.index);
    if (codecs.empty()) {
      Builder b(def, ctx);
      std::string name = Printable(card.long_name).value_or(Printable(card.short_name).value_or(card.id));
      std::string product = Printable(card.short_name).value_or(name);
      b.Device(pnp.value_or("ALSA\\CARD" + std::to_string(card.index)), product);
      b.Text("ProductName", product).Text("PNPDeviceID", pnp).Text("Manufacturer", maker);
      b.Int("StatusInfo", 3).Bool("PowerManagementSupported", false);
      out.push_back(b.Build());
      continue;
    }
    for (const Codec& c : codecs) {
      Builder b(def, ctx);
      unsigned vendor = static_cast<unsigned>(c.vendor_id.value_or(0) >> 16 & 0xFFFF);
      unsigned dev = static_cast<unsigned>(c.vendor_id.value_or(0) & 0xFFFF);
      char id[96];
      std::snprintf(id, sizeof id, "HDAUDIO\\FUNC_01&VEN_%04X&DEV_%04X&SUBSYS_%08llX\\%d&%s", vendor, dev,
                    static_cast<unsigned long long>(c.subsystem_id.value_or(0) & 0xFFFFFFFF), card.index,
                    c.file.substr(6).c_str());
      std::string name = c.name.value_or(Printable(card.short_name).value_or(card.id));
      b.Device(id, name);
      b.Text("ProductName", name).Text("PNPDeviceID", pnp);
      // The codec maker by its PCI vendor id (HD Audio codecs carry one), else the controller's.
      std::optional<std::string> codec_maker = vendor ? ctx.system().PciNames(vendor, dev).vendor : std::nullopt;
      b.Text("Manufacturer", codec_maker ? codec_maker : maker);
      b.Int("StatusInfo", 3).Bool("PowerManagementSupported", false);
      out.push_back(b.Build());
    }
  }
  return out;
}

}  // namespace wmi::lx
