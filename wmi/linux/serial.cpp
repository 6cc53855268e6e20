// Win32_SerialPort and Win32_SerialPortConfiguration from /sys/class/tty,
// /proc/tty/driver/serial and the console settings of /proc/cmdline. The
// device nodes themselves are never opened, so settings other than those of a
// serial console stay Null.
#include <cctype>

#include "wmi/linux/backend.h"

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

struct Console {
  std::optional<std::int64_t> baud, bits;
  std::optional<std::string> parity;
  bool rts_cts = false;
};

// console=ttyS0,115200n8 on the kernel command line.
std::optional<Console> ConsoleSettings(const Tree& tree, const std::string& port) {
  auto cmdline = tree.Line("/proc/cmdline");
  if (!cmdline) return std::nullopt;
  std::optional<Console> found;
  for (const std::string& w : Words(*cmdline)) {
    if (!StartsWith(w, "console=" + port + ",")) continue;
    std::string opt = w.substr(9 + port.size());
    std::size_t i = 0;
    while (i < opt.size() && std::isdigit(static_cast<unsigned char>(opt[i]))) ++i;
    Console c;
    c.baud = ParseInt(opt.substr(0, i));
    if (i < opt.size()) {
      char p = opt[i++];
      c.parity = p == 'o' ? "Odd" : p == 'e' ? "Even" : p == 'm' ? "Mark" : p == 's' ? "Space" : "None";
    }
    if (i < opt.size() && std::isdigit(static_cast<unsigned char>(opt[i]))) c.bits = opt[i++] - '0';
    c.rts_cts = i < opt.size() && opt[i] == 'r';
    found = c;
  }
  return found;
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
    if (auto c = ConsoleSettings(ctx.tree(), p.name)) {
      b.Int("BaudRate", c->baud).Int("BitsPerByte", c->bits).Text("Parity", c->parity);
      if (c->baud) b.Text("StopBits", "1");
      if (c->parity) b.Bool("ParityCheckEnabled", *c->parity != "None");
      b.Bool("CTSOutflowControl", c->rts_cts);
    }
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
