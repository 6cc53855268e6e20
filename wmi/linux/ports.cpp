// Parallel ports and modems: Win32_ParallelPort from /proc/sys/dev/parport
// (with the firmware's PNP0400/PNP0401 device), Win32_POTSModem from the USB
// CDC-ACM interfaces of a modem (communications class 02, subclass 02) and
// the tty the kernel attaches to them.
#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"

namespace wmi::lx {

InstanceList BuildParallelPorts(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  std::optional<AcpiNode> acpi = FindAcpi(tree, "PNP0401");
  if (!acpi) acpi = FindAcpi(tree, "PNP0400");
  for (const std::string& port : tree.List("/proc/sys/dev/parport")) {
    auto n = StartsWith(port, "parport") ? ParseInt(port.substr(7)) : std::nullopt;
    if (!n || *n < 0 || *n > 255) continue;
    std::string dir = "/proc/sys/dev/parport/" + port;
    std::string lpt = "LPT" + std::to_string(*n + 1);
    Builder b(def, ctx);
    b.Device(lpt, "Printer Port (" + lpt + ")", "Printer Port");
    if (*n == 0 && acpi) b.Text("PNPDeviceID", acpi->device_id);
    // Capabilities: 3 XT/AT compatible, 4 PS/2 compatible (bidirectional), 5 ECP, 6 EPP.
    std::vector<std::int64_t> caps;
    std::vector<std::string> descr;
    bool dma = false;
    for (const std::string& mode : Split(tree.Line(dir + "/modes").value_or(""), ',')) {
      std::string m = Trim(mode);
      if (m == "PCSPP") caps.push_back(3), descr.push_back("XT/AT Compatible");
      if (m == "TRISTATE") caps.push_back(4), descr.push_back("PS/2 Compatible");
      if (m == "ECP") caps.push_back(5), descr.push_back("ECP");
      if (m == "EPP") caps.push_back(6), descr.push_back("EPP");
      dma = dma || m == "DMA";
    }
    if (!caps.empty()) b.Ints("Capabilities", caps).Texts("CapabilityDescriptions", descr);
    if (tree.Exists(dir + "/modes")) b.Bool("DMASupport", dma);
    b.Int("ProtocolSupported", 17);  // parallel
    b.Bool("OSAutoDiscovered", true).Int("Availability", 3).Bool("PowerManagementSupported", false);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildPotsModems(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  int index = 0;
  for (const std::string& tty : tree.List("/sys/class/tty")) {
    if (!StartsWith(tty, "ttyACM")) continue;
    std::string iface = "/sys/class/tty/" + tty + "/device";
    if (tree.Hex(iface + "/bInterfaceClass") != std::optional<std::uint64_t>(0x02) ||
        tree.Hex(iface + "/bInterfaceSubClass") != std::optional<std::uint64_t>(0x02))
      continue;
    // Protocol 0 is a plain serial line, not a modem; 1-6 are the AT command sets, 0xFF vendor-specific.
    auto protocol = tree.Hex(iface + "/bInterfaceProtocol");
    if (!protocol || *protocol == 0) continue;
    auto path = tree.Resolve(iface);
    const UsbDevice* usb = nullptr;
    for (const UsbDevice& u : ctx.Usb())
      if (path && StartsWith(*path, u.sysfs + "/")) usb = &u;
    std::string name = usb ? Printable(usb->product_name).value_or("USB Modem") : "USB Modem";
    Builder b(def, ctx);
    b.Device(usb ? usb->device_id : "USB\\" + tty, name);
    b.Text("PNPDeviceID", usb ? std::optional(usb->device_id) : std::nullopt);
    b.Text("AttachedTo", "/dev/" + tty).Text("Model", name).Text("DeviceType", "External Modem");
    b.Text("ProviderName", usb ? Printable(usb->manufacturer) : std::nullopt).Int("Index", index++);
    b.Int("Availability", 3).Bool("PowerManagementSupported", false);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
