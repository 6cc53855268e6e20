// Win32_SerialPort and Win32_SerialPortConfiguration from /sys/class/tty,
// /proc/tty/driver/serial and the console settings of /proc/cmdline. The
// device nodes themselves are never opened: a port's settings are those of
// the kernel's serial console when it is one, else the kernel's default for a
// tty (9600 bits/s, 8 data bits, no parity, 1 stop bit), which is what a port
// has until a program sets it.
#include <cctype>

#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"

namespace wmi::lx {

namespace {

struct Port {
  std::string name;  // "ttyS0"
  std::optional<std::int64_t> uartclk;
  std::optional<std::string> pnp, uart;
  bool usb = false;
};

// The UART types of /proc/tty/driver/serial, by line number.
std::map<std::int64_t, std::string> DriverUarts(const Tree& tree) {
  std::map<std::int64_t, std::string> out;
  auto text = tree.Read("/proc/tty/driver/serial");
  if (!text) return out;
  for (const std::string& line : Lines(*text)) {
    auto colon = line.find(':');
    auto u = line.find("uart:");
    if (colon == std::string::npos || u == std::string::npos) continue;
    std::int64_t n = ParseInt(line.substr(0, colon)).value_or(-1);
    auto w = Words(line.substr(u + 5));
    if (n >= 0) out[n] = w.empty() ? "" : w[0];
  }
  return out;
}

// The ACPI id of the firmware node at or above a sysfs device path.
std::optional<std::string> AcpiIdAbove(const Tree& tree, std::string path) {
  while (path.size() > 1) {
    if (auto hid = tree.Line(path + "/firmware_node/hid")) {
      auto node = tree.Resolve(path + "/firmware_node");
      std::string base = node ? Basename(*node) : "";
      auto colon = base.rfind(':');
      auto instance = colon == std::string::npos ? std::nullopt : ParseHex(base.substr(colon + 1));
      return "ACPI\\" + *hid + "\\" + std::to_string(instance.value_or(0));
    }
    path = path.substr(0, path.rfind('/'));
  }
  return std::nullopt;
}

std::vector<Port> ReadPorts(Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<Port> out;
  auto uarts = DriverUarts(tree);
  for (const std::string& name : tree.List("/sys/class/tty")) {
    bool uart = StartsWith(name, "ttyS") || StartsWith(name, "ttyAMA") || StartsWith(name, "ttymxc");
    bool usb = StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM");
    if (!uart && !usb) continue;
    std::string dir = "/sys/class/tty/" + name;
    auto device = tree.Resolve(dir + "/device");
    Port p;
    p.name = name;
    p.usb = usb;
    if (StartsWith(name, "ttyS")) {
      auto type = tree.Number(dir + "/type");
      auto line = tree.Number(dir + "/line");
      if (!line) line = ParseInt(name.substr(4));
      auto it = line ? uarts.find(*line) : uarts.end();
      if (it != uarts.end()) p.uart = it->second;
      bool hardware = (type && *type != 0) || (p.uart && *p.uart != "unknown");
      if (!hardware || (p.uart && *p.uart == "unknown")) continue;
      p.uartclk = tree.Number(dir + "/uartclk");
    } else if (!device) {
      continue;
    }
    if (device) {
      p.pnp = ctx.DeviceIdAbove(*device);
      if (!p.pnp) p.pnp = AcpiIdAbove(tree, *device);
    }
    out.push_back(std::move(p));
  }
  return out;
}

// A port's line settings; the kernel's default for a tty unless changed.
struct Settings {
  std::int64_t baud = 9600, bits = 8;
  std::string parity = "None";
  bool rts_cts = false;
};

// console=ttyS0,115200n8r on the kernel command line (the last one naming the port wins);
// what the option leaves out keeps the default (console=ttyS0 alone is 9600 8N1).
Settings PortSettings(const Tree& tree, const std::string& port) {
  Settings s;
  auto cmdline = tree.Line("/proc/cmdline");
  if (!cmdline) return s;
  for (const std::string& w : Words(*cmdline)) {
    std::string head = "console=" + port;
    if (w != head && !StartsWith(w, head + ",")) continue;
    Settings c;
    std::string opt = w.size() > head.size() ? w.substr(head.size() + 1) : "";
    std::size_t i = 0;
    while (i < opt.size() && std::isdigit(static_cast<unsigned char>(opt[i]))) ++i;
    if (auto baud = ParseIntIn(opt.substr(0, i), 1, UINT32_MAX)) c.baud = *baud;
    if (i < opt.size()) {
      char p = opt[i++];
      c.parity = p == 'o' ? "Odd" : p == 'e' ? "Even" : p == 'm' ? "Mark" : p == 's' ? "Space" : "None";
    }
    if (i < opt.size() && opt[i] >= '5' && opt[i] <= '8') c.bits = opt[i++] - '0';
    c.rts_cts = i < opt.size() && opt[i] == 'r';
    s = c;
  }
  return s;
}

}  // namespace

InstanceList BuildSerialPorts(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const Port& p : ReadPorts(ctx)) {
    Builder b(def, ctx);
    std::string node = "/dev/" + p.name;
    std::string name = std::string(p.usb ? "USB Serial Port (" : "Communications Port (") + p.name + ")";
    b.Device(node, name, p.usb ? "USB Serial Port" : "Communications Port");
    b.Text("PNPDeviceID", p.pnp).Text("ProviderType", "RS232 Serial Port");
    b.Int("Availability", 3)
        .Bool("Binary", true)
        .Bool("OSAutoDiscovered", true)
        .Bool("PowerManagementSupported", false);
    if (p.uartclk && *p.uartclk > 0) b.Int("MaxBaudRate", *p.uartclk / 16);
    for (const char* yes :
         {"SettableBaudRate", "SettableDataBits", "SettableFlowControl", "SettableParity", "SettableParityCheck",
          "SettableRLSD", "SettableStopBits", "SupportsDTRDSR", "SupportsParityCheck", "SupportsRLSD", "SupportsRTSCTS",
          "SupportsXOnXOff", "SupportsXOnXOffSet", "SupportsElapsedTimeouts", "SupportsIntTimeouts",
          "SupportsSpecialCharacters"})
      b.Bool(yes, true);
    b.Bool("Supports16BitMode", false);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildSerialPortConfigurations(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const Port& p : ReadPorts(ctx)) {
    Builder b(def, ctx);
    std::string node = "/dev/" + p.name;
    b.Text("Name", node).Text("Caption", node).Text("Description", node).Text("SettingID", node);
    b.Bool("BinaryModeEnabled", true);
    Settings c = PortSettings(ctx.tree(), p.name);
    b.Int("BaudRate", c.baud).Int("BitsPerByte", c.bits).Text("Parity", c.parity).Text("StopBits", "1");
    b.Bool("ParityCheckEnabled", c.parity != "None").Bool("CTSOutflowControl", c.rts_cts);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
