// Win32_IRQResource, Win32_DMAChannel, Win32_PortResource,
// Win32_DeviceMemoryAddress and Win32_SystemMemoryResource from
// /proc/interrupts, /proc/dma, /proc/ioports and /proc/iomem.
#include <cctype>
#include <cstdio>
#include <set>

#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"

namespace wmi::lx {

namespace {

struct Range {
  std::optional<std::uint64_t> start, end;  // nullopt: the kernel hid the address (not root)
  std::string owner;
  int depth = 0;
};

// /proc/ioports and /proc/iomem: "  start-end : owner", two blanks of indent per nesting level.
std::vector<Range> ReadRanges(const Tree& tree, const char* file) {
  std::vector<Range> out;
  auto text = tree.Read(file);
  if (!text) return out;
  for (const std::string& line : Lines(*text)) {
    std::size_t indent = 0;
    while (indent < line.size() && line[indent] == ' ') ++indent;
    auto sep = line.find(" : ", indent);
    if (sep == std::string::npos) continue;
    std::string range = Trim(line.substr(indent, sep - indent));
    auto dash = range.find('-');
    if (dash == std::string::npos) continue;
    auto start = ParseHex(range.substr(0, dash));
    auto end = ParseHex(range.substr(dash + 1));
    if (!start || !end || *end < *start) continue;
    Range r;
    if (*start != 0 || *end != 0) {
      r.start = start;
      r.end = end;
    }
    r.owner = Trim(line.substr(sep + 3));
    r.depth = static_cast<int>(indent / 2);
    out.push_back(std::move(r));
  }
  return out;
}

std::optional<std::string> RangeName(const Range& r, const char* format) {
  if (!r.start) return std::nullopt;
  char buf[64];
  std::snprintf(buf, sizeof buf, format, static_cast<unsigned long long>(*r.start),
                static_cast<unsigned long long>(*r.end));
  return std::string(buf);
}

// One instance per distinct range (the first owner named for it); hidden ranges each stand alone.
std::vector<Range> Distinct(std::vector<Range> ranges) {
  std::vector<Range> out;
  std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
  for (Range& r : ranges) {
    if (r.start && !seen.insert({*r.start, *r.end}).second) continue;
    out.push_back(std::move(r));
  }
  return out;
}

bool IsSystemMemory(const std::string& owner) {
  for (const char* s : {"System RAM", "Reserved", "reserved", "System ROM", "Video ROM", "Adapter ROM", "Kernel ",
                        "ACPI Tables", "ACPI Non-volatile Storage", "RAM buffer", "Persistent Memory", "Crash kernel",
                        "Unknown E820 type", "Soft Reserved"})
    if (StartsWith(owner, s)) return true;
  return false;
}

// The memory type of a PCI device's range, from the flags in its sysfs resource file.
std::string MemoryType(const Tree& tree, const Range& r) {
  if (!r.start || r.owner.size() != 12 || r.owner[4] != ':' || r.owner[7] != ':' || r.owner[10] != '.')
    return "ReadWrite";
  auto text = tree.Read("/sys/bus/pci/devices/" + r.owner + "/resource");
  if (!text) return "ReadWrite";
  for (const std::string& line : Lines(*text)) {
    auto w = Words(line);
    if (w.size() < 3) continue;
    auto s = ParseHex(w[0]), e = ParseHex(w[1]), flags = ParseHex(w[2]);
    if (!s || !e || !flags || *s != *r.start || *e != *r.end) continue;
    if (*flags & 0x4000) return "ReadOnly";
    if (*flags & 0x2000) return "Prefetchable";
  }
  return "ReadWrite";
}

InstanceList MemoryInstances(const ClassDef& def, Context& ctx, bool device_ranges) {
  InstanceList out;
  std::vector<Range> all = ReadRanges(ctx.tree(), "/proc/iomem");
  std::vector<Range> chosen;
  for (Range& r : all)
    if (device_ranges ? !IsSystemMemory(r.owner) : r.depth == 0) chosen.push_back(std::move(r));
  for (const Range& r : Distinct(std::move(chosen))) {
    Builder b(def, ctx);
    auto name = RangeName(r, "0x%llX-0x%llX");
    b.Text("Name", name).Text("Caption", name.value_or(r.owner)).Text("Description", r.owner);
    b.Big("StartingAddress", r.start).Big("EndingAddress", r.end).Text("Status", "OK");
    if (device_ranges) b.Text("MemoryType", MemoryType(ctx.tree(), r));
    out.push_back(b.Build());
  }
  return out;
}

// One numbered line of /proc/interrupts:
//   " 26:   0   1  IO-APIC   4-edge      ttyS0"          (x86: chip, hardware line-trigger, actions)
//   " 11:  70  GICv3  27 Level  arch_timer"               (arm: chip, hardware line, trigger, actions)
//   " 28:   0  PCI-MSIX-0000:00:01.0   0-edge  virtio0-config"   (a message-signalled interrupt)
struct Interrupt {
  std::int64_t irq = 0;  // Linux's own number
  std::string chip;
  std::optional<std::int64_t> hwirq;    // the line on its interrupt controller
  std::optional<std::int64_t> trigger;  // TriggerType: 3 level, 4 edge
  std::string actions;
  bool message_signalled() const { return chip.find("MSI") != std::string::npos; }
};

std::optional<std::int64_t> TriggerOf(std::string_view word) {
  std::string w = Lower(word);
  if (w.find("edge") != std::string::npos) return 4;
  if (w.find("level") != std::string::npos || w.find("fasteoi") != std::string::npos) return 3;
  return std::nullopt;
}

std::vector<Interrupt> ReadInterrupts(const Tree& tree) {
  std::vector<Interrupt> out;
  std::size_t cpus = 0;
  bool header = true;
  tree.EachLine("/proc/interrupts", [&](std::string_view line) {
    auto w = Words(line);
    if (header) {
      cpus = w.size();
      header = false;
      return;
    }
    if (w.empty() || w[0].back() != ':') return;
    auto irq = ParseIntIn(w[0].substr(0, w[0].size() - 1), 0, INT32_MAX);
    if (!irq) return;
    Interrupt i;
    i.irq = *irq;
    std::size_t at = 1;
    while (at < w.size() && at <= cpus && ParseInt(w[at])) ++at;
    if (at < w.size()) i.chip = w[at++];
    // The hardware line: "4-edge" in one word, or "27" followed by "Level".
    std::size_t actions_from = at;
    if (at < w.size()) {
      auto dash = w[at].find('-');
      auto number = ParseIntIn(w[at].substr(0, dash), 0, UINT32_MAX);
      if (number && dash != std::string::npos) {
        i.hwirq = number;
        i.trigger = TriggerOf(w[at].substr(dash + 1));
        actions_from = at + 1;
      } else if (number && at + 1 < w.size() && TriggerOf(w[at + 1])) {
        i.hwirq = number;
        i.trigger = TriggerOf(w[at + 1]);
        actions_from = at + 2;
      } else if (TriggerOf(w[at])) {
        i.trigger = TriggerOf(w[at]);
        actions_from = at + 1;
      }
    }
    for (std::size_t k = actions_from; k < w.size(); ++k) i.actions += (i.actions.empty() ? "" : " ") + w[k];
    // sysfs says the same where the kernel has it, and says it for every kind of line.
    std::string dir = "/sys/kernel/irq/" + std::to_string(i.irq);
    if (auto hw = tree.Number(dir + "/hwirq", 0, UINT32_MAX)) i.hwirq = hw;
    if (auto chip = tree.Line(dir + "/chip_name")) i.chip = *chip;
    if (auto type = tree.Line(dir + "/type")) {
      if (auto t = TriggerOf(*type)) i.trigger = t;
    }
    out.push_back(std::move(i));
  });
  return out;
}

}  // namespace

// A line of an interrupt controller (IO-APIC, the legacy PIC, a GIC) is
// listed under its hardware line, as Windows numbers it (COM1 is IRQ 4).
// A message-signalled interrupt has no line: it is listed as "MSI n" with
// Linux's own number n and IRQNumber Null.
InstanceList BuildIrqResources(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const Interrupt& i : ReadInterrupts(ctx.tree())) {
    bool msi = i.message_signalled();
    std::optional<std::int64_t> line = msi ? std::nullopt : i.hwirq;
    std::string name = msi ? "MSI " + std::to_string(i.irq) : "IRQ" + std::to_string(line.value_or(i.irq));
    bool shareable = i.trigger == 3;
    Builder b(def, ctx);
    b.Text("Name", name).Text("Caption", name).Text("Description", i.actions.empty() ? name : i.actions);
    b.Int("IRQNumber", line).Bool("Hardware", true).Int("TriggerType", i.trigger);
    b.Bool("Shareable", shareable).Int("Availability", shareable ? 5 : 4).Text("Status", "OK");
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildDmaChannels(const ClassDef& def, Context& ctx) {
  InstanceList out;
  auto text = ctx.tree().Read("/proc/dma");
  if (!text) return out;
  for (const std::string& line : Lines(*text)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    auto channel = ParseInt(line.substr(0, colon));
    if (!channel || *channel < 0) continue;
    std::string user = Trim(line.substr(colon + 1));
    std::string name = "Channel " + std::to_string(*channel);
    Builder b(def, ctx);
    b.Text("Name", name).Text("Caption", name).Text("Description", user.empty() ? name : user);
    b.Int("DMAChannel", *channel).Int("Availability", 4).Text("Status", "OK");
    b.Ints("TransferWidths", std::vector<std::int64_t>{*channel < 4 ? 8 : 16});
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildPortResources(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const Range& r : Distinct(ReadRanges(ctx.tree(), "/proc/ioports"))) {
    Builder b(def, ctx);
    auto name = RangeName(r, "0x%04llX-0x%04llX");
    b.Text("Name", name).Text("Caption", name.value_or(r.owner)).Text("Description", r.owner);
    b.Big("StartingAddress", r.start).Big("EndingAddress", r.end).Bool("Alias", false).Text("Status", "OK");
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildDeviceMemoryAddresses(const ClassDef& def, Context& ctx) { return MemoryInstances(def, ctx, true); }
InstanceList BuildSystemMemoryResources(const ClassDef& def, Context& ctx) { return MemoryInstances(def, ctx, false); }

}  // namespace wmi::lx
