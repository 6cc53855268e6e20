// Win32_IRQResource, Win32_DMAChannel, Win32_PortResource,
// Win32_DeviceMemoryAddress and Win32_SystemMemoryResource from
// /proc/interrupts, /proc/dma, /proc/ioports and /proc/iomem.
#include <cctype>
#include <cstdio>
#include <set>

#include "wmi/linux/backend.h"

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

}  // namespace

InstanceList BuildIrqResources(const ClassDef& def, Context& ctx) {
  InstanceList out;
  auto text = ctx.tree().Read("/proc/interrupts");
  if (!text) return out;
  auto lines = Lines(*text);
  if (lines.empty()) return out;
  std::size_t cpus = Words(lines[0]).size();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    auto w = Words(lines[i]);
    if (w.empty() || w[0].back() != ':') continue;
    auto irq = ParseInt(w[0].substr(0, w[0].size() - 1));
    if (!irq || *irq < 0) continue;
    std::size_t at = 1;
    while (at < w.size() && at <= cpus && ParseInt(w[at])) ++at;
    // After the counts: the chip, the hardware line with its trigger ("5-edge"), then the actions.
    std::optional<std::int64_t> trigger;
    std::string actions;
    for (std::size_t k = at; k < w.size(); ++k) {
      const std::string& word = w[k];
      if (!trigger && (word.find("edge") != std::string::npos || word.find("level") != std::string::npos ||
                       word.find("fasteoi") != std::string::npos)) {
        trigger = word.find("edge") != std::string::npos ? 4 : 3;
        actions.clear();
        continue;
      }
      if (trigger) actions += (actions.empty() ? "" : " ") + word;
    }
    if (!trigger && w.size() > at + 1) {
      for (std::size_t k = at + 1; k < w.size(); ++k) actions += (actions.empty() ? "" : " ") + w[k];
    }
    std::string name = "IRQ" + std::to_string(*irq);
    bool shareable = trigger == 3;
    Builder b(def, ctx);
    b.Text("Name", name).Text("Caption", name).Text("Description", actions.empty() ? name : actions);
    b.Int("IRQNumber", *irq).Bool("Hardware", true).Int("TriggerType", trigger);
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
