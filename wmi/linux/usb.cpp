// USB devices from /sys/bus/usb/devices (names from the device's own strings,
// else udev's hardware database), and Win32_USBControllerDevice.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "wmi/linux/backend.h"

namespace wmi::lx {

namespace {

// A serial number that can stand in a device id: letters and digits only.
bool CleanSerial(const std::string& s) {
  if (s.empty() || s.size() > 64) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

std::vector<UsbDevice> ReadUsbDevices(Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<UsbDevice> out;
  for (const std::string& name : tree.List("/sys/bus/usb/devices")) {
    if (name.find(':') != std::string::npos) continue;  // an interface
    std::string dir = "/sys/bus/usb/devices/" + name;
    auto vendor = tree.Hex(dir + "/idVendor");
    auto product = tree.Hex(dir + "/idProduct");
    if (!vendor || !product) continue;
    UsbDevice d;
    d.name = name;
    d.sysfs = tree.Resolve(dir).value_or(dir);
    d.vendor = static_cast<unsigned>(*vendor);
    d.product = static_cast<unsigned>(*product);
    d.device_class = static_cast<unsigned>(tree.Hex(dir + "/bDeviceClass").value_or(0));
    d.root_hub = StartsWith(name, "usb");
    IdNames names = ctx.system().UsbNames(d.vendor, d.product);
    d.product_name = tree.Line(dir + "/product");
    if (!d.product_name) d.product_name = names.device;
    d.manufacturer = tree.Line(dir + "/manufacturer");
    if (!d.manufacturer) d.manufacturer = names.vendor;
    char head[40];
    std::string instance;
    if (d.root_hub) {
      auto version = tree.Line(dir + "/version").value_or("2.00");
      std::snprintf(head, sizeof head, "USB\\ROOT_HUB%s", StartsWith(version, "3") ? "30" : "20");
      instance = name;
    } else {
      std::snprintf(head, sizeof head, "USB\\VID_%04X&PID_%04X", d.vendor & 0xFFFF, d.product & 0xFFFF);
      auto serial = tree.Line(dir + "/serial");
      instance = serial && CleanSerial(*serial) ? *serial : name;
    }
    d.device_id = std::string(head) + "\\" + instance;
    // The driver that serves it: that of its first interface (hub, usbhid, usb-storage ...).
    for (const std::string& e : tree.List(dir))
      if (e.find(':') != std::string::npos) {
        if (auto drv = tree.Resolve(dir + "/" + e + "/driver")) {
          d.driver = Basename(*drv);
          break;
        }
      }
    out.push_back(std::move(d));
  }
  // Parents before their children: a controller's root hub first, then the devices below it.
  std::sort(out.begin(), out.end(), [](const UsbDevice& a, const UsbDevice& b) { return a.sysfs < b.sysfs; });
  return out;
}

InstanceList BuildUsbControllerDevices(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const PciDevice& c : ctx.Pci()) {
    if ((c.class_code >> 8) != 0x0C03) continue;
    for (const UsbDevice& d : ctx.Usb()) {
      if (!StartsWith(d.sysfs, c.sysfs + "/")) continue;
      Builder b(def, ctx);
      b.Text("Antecedent", ObjectPath(ctx, "Win32_USBController", "DeviceID", c.device_id));
      b.Text("Dependent", ObjectPath(ctx, "Win32_PnPEntity", "DeviceID", d.device_id));
      out.push_back(b.Build());
    }
  }
  return out;
}

}  // namespace wmi::lx
