// Win32_PnPEntity (PCI, USB and ACPI devices) and Win32_Bus (PCI buses, the
// ACPI and PnP buses), from /sys/bus/pci, /sys/bus/usb, /sys/bus/acpi and /sys/bus/pnp.
#include <cstdio>

#include "wmi/linux/backend.h"

namespace wmi::lx {

namespace {

constexpr const char* kSystemGuid = "{4d36e97d-e325-11ce-bfc1-08002be10318}";

struct AcpiName {
  const char* hid;
  const char* name;
  const char* pnp_class;
  const char* guid;
};

// The names Windows gives the common ACPI and PnP ids of the platform.
constexpr AcpiName kAcpiNames[] = {
    {"PNP0000", "Programmable interrupt controller", "System", kSystemGuid},
    {"PNP0100", "System timer", "System", kSystemGuid},
    {"PNP0103", "High precision event timer", "System", kSystemGuid},
    {"PNP0200", "Direct memory access controller", "System", kSystemGuid},
    {"PNP0303", "Standard PS/2 Keyboard", "Keyboard", "{4d36e96b-e325-11ce-bfc1-08002be10318}"},
    {"PNP0400", "Printer Port", "Ports", "{4d36e978-e325-11ce-bfc1-08002be10318}"},
    {"PNP0401", "ECP Printer Port", "Ports", "{4d36e978-e325-11ce-bfc1-08002be10318}"},
    {"PNP0501", "Communications Port", "Ports", "{4d36e978-e325-11ce-bfc1-08002be10318}"},
    {"PNP0700", "Standard floppy disk controller", "fdc", "{4d36e969-e325-11ce-bfc1-08002be10318}"},
    {"PNP0800", "System speaker", "System", kSystemGuid},
    {"PNP0A03", "PCI Bus", "System", kSystemGuid},
    {"PNP0A08", "PCI Express Root Complex", "System", kSystemGuid},
    {"PNP0B00", "System CMOS/real time clock", "System", kSystemGuid},
    {"PNP0C01", "System board", "System", kSystemGuid},
    {"PNP0C02", "Motherboard resources", "System", kSystemGuid},
    {"PNP0C04", "Numeric data processor", "System", kSystemGuid},
    {"PNP0C09", "ACPI-Compliant Embedded Controller", "System", kSystemGuid},
    {"PNP0C0A", "ACPI-Compliant Control Method Battery", "Battery", "{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"},
    {"PNP0C0B", "ACPI Fan", "System", kSystemGuid},
    {"PNP0C0C", "ACPI Power Button", "System", kSystemGuid},
    {"PNP0C0D", "ACPI Lid", "System", kSystemGuid},
    {"PNP0C0E", "ACPI Sleep Button", "System", kSystemGuid},
    {"PNP0C14", "Windows Management Interface for ACPI", "System", kSystemGuid},
    {"PNP0F13", "PS/2 Compatible Mouse", "Mouse", "{4d36e96f-e325-11ce-bfc1-08002be10318}"},
    {"ACPI0003", "AC Adapter", "Battery", "{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"},
    {"ACPI0013", "Generic Event Device", "System", kSystemGuid},
    {"VMGENCTR", "Virtual Machine Generation Counter", "System", kSystemGuid},
};

struct AcpiDevice {
  std::string hid, device_id, physical;  // physical: resolved path of the device it stands for
  std::optional<std::string> driver;
  const AcpiName* known = nullptr;
};

// ACPI devices with an id of their own (not Linux's LNX*) that stand for something:
// a device Linux bound (its physical node), or an id Windows names.
std::vector<AcpiDevice> ReadAcpiDevices(const Tree& tree) {
  std::vector<AcpiDevice> out;
  for (const std::string& e : tree.List("/sys/bus/acpi/devices")) {
    std::string dir = "/sys/bus/acpi/devices/" + e;
    auto hid = tree.Line(dir + "/hid");
    if (!hid || StartsWith(*hid, "LNX")) continue;
    if (auto status = tree.Number(dir + "/status"); status && !(*status & 1)) continue;  // not present
    AcpiDevice d;
    d.hid = *hid;
    for (const AcpiName& n : kAcpiNames)
      if (d.hid == n.hid) d.known = &n;
    d.physical = tree.Resolve(dir + "/physical_node").value_or("");
    if (d.physical.find("/pci0000:") != std::string::npos && d.physical.find("/0000:") != std::string::npos)
      continue;  // a PCI device: listed as such
    if (!d.known && d.physical.empty()) continue;
    if (auto drv = tree.Resolve(dir + "/physical_node/driver")) d.driver = Basename(*drv);
    auto colon = e.rfind(':');
    auto instance = colon == std::string::npos ? std::nullopt : ParseHex(e.substr(colon + 1));
    d.device_id = "ACPI\\" + d.hid + "\\" + std::to_string(instance.value_or(0));
    out.push_back(std::move(d));
  }
  return out;
}

// The hardware ids and compatible ids Windows' PCI bus driver reports, most specific first.
std::pair<std::vector<std::string>, std::vector<std::string>> PciIds(const PciDevice& d) {
  char ven[16], dev[16], subsys[24], rev[16], cc6[16], cc4[16];
  std::snprintf(ven, sizeof ven, "PCI\\VEN_%04X", d.vendor & 0xFFFF);
  std::snprintf(dev, sizeof dev, "&DEV_%04X", d.device & 0xFFFF);
  std::snprintf(subsys, sizeof subsys, "&SUBSYS_%04X%04X", d.subsystem_device & 0xFFFF, d.subsystem_vendor & 0xFFFF);
  std::snprintf(rev, sizeof rev, "&REV_%02X", d.revision & 0xFF);
  std::snprintf(cc6, sizeof cc6, "CC_%06X", d.class_code & 0xFFFFFF);
  std::snprintf(cc4, sizeof cc4, "CC_%04X", d.class_code >> 8 & 0xFFFF);
  std::string vd = std::string(ven) + dev;
  std::vector<std::string> hardware = {vd + subsys + rev, vd + subsys, vd + rev, vd, vd + "&" + cc6, vd + "&" + cc4};
  std::vector<std::string> compatible = {vd + rev,
                                         vd,
                                         std::string(ven) + "&" + cc6,
                                         std::string(ven) + "&" + cc4,
                                         ven,
                                         std::string("PCI\\") + cc6,
                                         std::string("PCI\\") + cc4};
  return {hardware, compatible};
}

}  // namespace

InstanceList BuildPnPEntities(const ClassDef& def, Context& ctx) {
  InstanceList out;
  auto common = [&](Builder& b, const std::string& id, const std::string& name, std::optional<std::string> driver) {
    b.Device(id, name);
    b.Text("PNPDeviceID", id).Text("Service", driver).Bool("Present", true);
    b.Texts("HardwareID", std::vector<std::string>{id.substr(0, id.rfind('\\'))});
  };
  for (const PciDevice& d : ctx.Pci()) {
    Builder b(def, ctx);
    common(b, d.device_id, d.device_name.value_or("PCI Device"), d.driver);
    b.Text("Manufacturer", d.vendor_name);
    auto [hardware, compatible] = PciIds(d);
    b.Texts("HardwareID", hardware).Texts("CompatibleID", compatible);
    auto [guid, cls] = PciPnpClass(d.class_code);
    b.Text("ClassGuid", guid).Text("PNPClass", cls);
    bool bridge = (d.class_code >> 16) == 0x06;
    if (!d.driver && !bridge) b.Int("ConfigManagerErrorCode", 28).Text("Status", "Error");
    out.push_back(b.Build());
  }
  for (const UsbDevice& d : ctx.Usb()) {
    Builder b(def, ctx);
    std::string name = d.product_name.value_or("USB Device");
    if (d.root_hub) name = StartsWith(d.device_id, "USB\\ROOT_HUB30") ? "USB Root Hub (USB 3.0)" : "USB Root Hub";
    common(b, d.device_id, name, d.driver);
    b.Text("Manufacturer", d.root_hub ? std::optional<std::string>("(Standard USB HUBs)") : d.manufacturer);
    b.Text("ClassGuid", "{36fc9e60-c465-11cf-8056-444553540000}").Text("PNPClass", "USB");
    char hw[40];
    std::snprintf(hw, sizeof hw, "USB\\VID_%04X&PID_%04X", d.vendor & 0xFFFF, d.product & 0xFFFF);
    b.Texts("HardwareID", std::vector<std::string>{hw});
    out.push_back(b.Build());
  }
  for (const AcpiDevice& d : ReadAcpiDevices(ctx.tree())) {
    Builder b(def, ctx);
    common(b, d.device_id, d.known ? d.known->name : "ACPI Device " + d.hid, d.driver);
    b.Texts("HardwareID", std::vector<std::string>{"ACPI\\" + d.hid, "*" + d.hid});
    b.Text("Manufacturer", "(Standard system devices)");
    if (d.known) b.Text("ClassGuid", d.known->guid).Text("PNPClass", d.known->pnp_class);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildBuses(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  std::vector<AcpiDevice> acpi = ReadAcpiDevices(tree);
  for (const std::string& e : tree.List("/sys/class/pci_bus")) {
    unsigned domain = 0, bus = 0;
    if (std::sscanf(e.c_str(), "%x:%x", &domain, &bus) != 2) continue;
    Builder b(def, ctx);
    std::string id = "PCI_BUS_" + std::to_string(bus);
    if (domain != 0) id = "PCI_BUS_" + std::to_string(domain) + "_" + std::to_string(bus);
    b.Device(id, "PCI Bus " + std::to_string(bus));
    b.Int("BusNum", bus).Int("BusType", 5);
    // The device that opens the bus: a PCI bridge, or the root complex in ACPI.
    if (auto bridge = tree.Resolve("/sys/class/pci_bus/" + e + "/device")) {
      std::optional<std::string> pnp = ctx.DeviceIdAbove(*bridge);
      for (const PciDevice& p : ctx.Pci())
        if (p.sysfs == *bridge) pnp = p.device_id;
      if (!pnp)
        for (const AcpiDevice& a : acpi)
          if (a.physical == *bridge) pnp = a.device_id;
      b.Text("PNPDeviceID", pnp);
    }
    out.push_back(b.Build());
  }
  if (!tree.List("/sys/bus/acpi/devices").empty()) {
    Builder b(def, ctx);
    b.Device("ACPIBus_BUS_0", "ACPI Bus").Int("BusNum", 0).Int("BusType", 0);
    out.push_back(b.Build());
  }
  if (!tree.List("/sys/bus/pnp/devices").empty()) {
    Builder b(def, ctx);
    b.Device("PNPBus_BUS_0", "PnP Bus").Int("BusNum", 0).Int("BusType", 15);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
