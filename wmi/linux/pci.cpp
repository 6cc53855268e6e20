// PCI devices from /sys/bus/pci/devices (names from the system's PCI ID
// database through libpci), and the controller classes they feed:
// Win32_USBController, Win32_IDEController, Win32_PCMCIAController.
#include <cstdio>

#include "wmi/linux/backend.h"

namespace wmi::lx {

std::vector<PciDevice> ReadPciDevices(Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<PciDevice> out;
  for (const std::string& addr : tree.List("/sys/bus/pci/devices")) {
    std::string dir = "/sys/bus/pci/devices/" + addr;
    auto vendor = tree.Hex(dir + "/vendor");
    auto device = tree.Hex(dir + "/device");
    if (!vendor || !device) continue;
    PciDevice d;
    d.address = addr;
    d.sysfs = tree.Resolve(dir).value_or(dir);
    d.vendor = static_cast<unsigned>(*vendor);
    d.device = static_cast<unsigned>(*device);
    d.subsystem_vendor = static_cast<unsigned>(tree.Hex(dir + "/subsystem_vendor").value_or(0));
    d.subsystem_device = static_cast<unsigned>(tree.Hex(dir + "/subsystem_device").value_or(0));
    d.revision = static_cast<unsigned>(tree.Hex(dir + "/revision").value_or(0));
    d.class_code = static_cast<unsigned>(tree.Hex(dir + "/class").value_or(0));
    // Windows writes the instance part from the parent and the slot; here the bus address stands in for it.
    unsigned domain = 0, bus = 0, slot = 0, fn = 0;
    std::sscanf(addr.c_str(), "%x:%x:%x.%x", &domain, &bus, &slot, &fn);
    char id[96];
    std::snprintf(id, sizeof id, "PCI\\VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_%02X\\3&%04X%02X&0&%02X",
                  d.vendor & 0xFFFF, d.device & 0xFFFF, d.subsystem_device & 0xFFFF, d.subsystem_vendor & 0xFFFF,
                  d.revision & 0xFF, domain & 0xFFFF, bus & 0xFF, ((slot & 0x1F) << 3 | (fn & 7)) & 0xFF);
    d.device_id = id;
    IdNames names = ctx.system().PciNames(d.vendor, d.device);
    d.vendor_name = names.vendor;
    d.device_name = names.device;
    if (!d.device_name) d.device_name = ctx.system().PciClassName(d.class_code);
    if (auto drv = tree.Resolve(dir + "/driver")) d.driver = Basename(*drv);
    out.push_back(std::move(d));
  }
  return out;
}

std::pair<std::optional<std::string>, std::optional<std::string>> PciPnpClass(unsigned class_code) {
  unsigned base = class_code >> 16 & 0xFF, sub = class_code >> 8 & 0xFF;
  auto guid = [](const char* g, const char* n) {
    return std::pair<std::optional<std::string>, std::optional<std::string>>(g, n);
  };
  switch (base) {
    case 0x01:
      if (sub == 0x01 || sub == 0x06) return guid("{4d36e96a-e325-11ce-bfc1-08002be10318}", "HDC");
      return guid("{4d36e97b-e325-11ce-bfc1-08002be10318}", "SCSIAdapter");
    case 0x02:
      return guid("{4d36e972-e325-11ce-bfc1-08002be10318}", "Net");
    case 0x03:
      return guid("{4d36e968-e325-11ce-bfc1-08002be10318}", "Display");
    case 0x04:
      return guid("{4d36e96c-e325-11ce-bfc1-08002be10318}", "MEDIA");
    case 0x07:
      return guid("{4d36e978-e325-11ce-bfc1-08002be10318}", "Ports");
    case 0x0C:
      if (sub == 0x03) return guid("{36fc9e60-c465-11cf-8056-444553540000}", "USB");
      if (sub == 0x00) return guid("{6bdd1fc1-810f-11d0-bec7-08002be2092f}", "1394");
      return guid("{4d36e97d-e325-11ce-bfc1-08002be10318}", "System");
    case 0x0D:
      if (sub == 0x11) return guid("{e0cbf06c-cd8b-4647-bb8a-263b43f0f974}", "Bluetooth");
      return guid("{4d36e972-e325-11ce-bfc1-08002be10318}", "Net");
    case 0x05:
    case 0x06:
    case 0x08:
    case 0x10:
    case 0x11:
    case 0x12:
    case 0x13:
      return guid("{4d36e97d-e325-11ce-bfc1-08002be10318}", "System");
    default:
      return {std::nullopt, std::nullopt};
  }
}

namespace {

InstanceList Controllers(const ClassDef& def, Context& ctx, bool (*wanted)(unsigned), std::int64_t protocol) {
  InstanceList out;
  for (const PciDevice& d : ctx.Pci()) {
    if (!wanted(d.class_code)) continue;
    Builder b(def, ctx);
    b.Device(d.device_id, d.device_name.value_or("PCI Device"));
    b.Text("PNPDeviceID", d.device_id).Text("Manufacturer", d.vendor_name);
    b.Int("ProtocolSupported", protocol).Int("Availability", 3).Bool("PowerManagementSupported", false);
    if (!d.driver) b.Int("ConfigManagerErrorCode", 28).Text("Status", "Error");
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace

InstanceList BuildUsbControllers(const ClassDef& def, Context& ctx) {
  return Controllers(
      def, ctx, [](unsigned c) { return (c >> 8) == 0x0C03; }, 16);
}

InstanceList BuildIdeControllers(const ClassDef& def, Context& ctx) {
  return Controllers(
      def, ctx, [](unsigned c) { return (c >> 8) == 0x0101 || (c >> 8) == 0x0106; }, 37);
}

InstanceList BuildPcmciaControllers(const ClassDef& def, Context& ctx) {
  return Controllers(
      def, ctx, [](unsigned c) { return (c >> 8) == 0x0605 || (c >> 8) == 0x0607; }, 15);
}

}  // namespace wmi::lx
