#include "cli/diff_command.h"

#include <map>
#include <ostream>
#include <unordered_map>

#include "cli/cli.h"
#include "cli/value_json.h"
#include "wmi/provider.h"
#include "wmi/text.h"

namespace cli {

namespace {

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && wmi::EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// Classes whose key is not one of the common names, from their WMI class definitions.
struct ClassKey {
  std::string_view class_name;
  std::vector<std::string_view> keys;
};
const std::vector<ClassKey>& ClassKeys() {
  static const std::vector<ClassKey> kKeys = {
      {"Win32_BIOS", {"Name", "SoftwareElementID", "SoftwareElementState", "TargetOperatingSystem", "Version"}},
      {"Win32_ComputerSystemProduct", {"IdentifyingNumber", "Name", "Version"}},
      {"Win32_Product", {"IdentifyingNumber", "Name", "Version"}},
      {"Win32_NetworkAdapterConfiguration", {"Index"}},
      {"Win32_UserAccount", {"Domain", "Name"}},
      {"Win32_Group", {"Domain", "Name"}},
      {"Win32_SystemAccount", {"Domain", "Name"}},
      {"Win32_Account", {"Domain", "Name"}},
      {"Win32_LogonSession", {"LogonId"}},
      {"Win32_QuickFixEngineering", {"HotFixID", "ServicePackInEffect"}},
      {"Win32_Process", {"Handle"}},
      {"Win32_Thread", {"ProcessHandle", "Handle"}},
      {"Win32_IRQResource", {"IRQNumber"}},
      {"Win32_DMAChannel", {"DMAChannel"}},
      {"Win32_DeviceMemoryAddress", {"StartingAddress"}},
      {"Win32_PortResource", {"StartingAddress"}},
      {"Win32_Environment", {"Name", "UserName"}},
      {"Win32_StartupCommand", {"Command", "Location", "Name", "User"}},
      {"Win32_PrintJob", {"Name"}},
      {"Win32_TimeZone", {"StandardName"}},
  };
  return kKeys;
}

// What changes by itself, in any class.
const std::vector<std::string_view>& VolatileProperties() {
  static const std::vector<std::string_view> kProperties = {
      "FreeSpace",
      "FreePhysicalMemory",
      "FreeVirtualMemory",
      "FreeSpaceInPagingFiles",
      "CurrentClockSpeed",
      "LoadPercentage",
      "CurrentUsage",
      "PeakUsage",
      "LastBootUpTime",
      "LocalDateTime",
      "TimeOfLastReset",
      "SystemUpTime",
      "NumberOfProcesses",
      "NumberOfUsers",
      "ThreadCount",
      "HandleCount",
      "CurrentReading",
      "CurrentVoltage",
      "EstimatedChargeRemaining",
      "EstimatedRunTime",
      "TimeToFullCharge",
      "DHCPLeaseObtained",
      "DHCPLeaseExpires",
      "JobCountSinceLastReset",
      "KernelModeTime",
      "UserModeTime",
      "WorkingSetSize",
      "PageFaults",
      "PageFileUsage",
      "VirtualSize",
  };
  return kProperties;
}

std::string ValueText(const wmi::Value& v) {
  if (v.kind() == wmi::Value::Kind::Text) return v.text();
  return JsonText(v);
}

// "old → new"; when the type changed, each with its type ("integer 1 → text "1""), which the text alone hides.
std::string ChangedText(const std::optional<wmi::Value>& before, const std::optional<wmi::Value>& after) {
  if (before && after && before->kind() != after->kind()) return wmi::Describe(*before) + " → " + wmi::Describe(*after);
  return (before ? ValueText(*before) : "(absent)") + " → " + (after ? ValueText(*after) : "(absent)");
}

struct Keyed {
  std::string label;
  const wmi::Instance* instance;
};

// The instances of a class by their key label; a label met again gets "#2", "#3", ...
std::vector<Keyed> ByKey(std::string_view class_name, const std::vector<wmi::Instance>& instances) {
  std::vector<Keyed> keyed;
  std::map<std::string, int> seen;
  for (std::size_t i = 0; i < instances.size(); ++i) {
    const wmi::Instance& inst = instances[i];
    std::vector<std::string> keys = KeyProperties(class_name, inst);
    std::string label;
    if (keys.empty()) {
      label = '#' + std::to_string(i + 1);
    } else {
      for (const std::string& k : keys) {
        const wmi::Property* p = inst.Find(k);
        std::string text = p ? ValueText(p->value) : "";
        if (keys.size() == 1)
          label = text;
        else
          label.append(label.empty() ? "" : ", ").append(k).append("=").append(text);
      }
      int n = ++seen[label];
      if (n > 1) label.append(" #").append(std::to_string(n));
    }
    keyed.push_back({label, &inst});
  }
  return keyed;
}

void CompareClass(const std::string& ns, const std::string& class_name, const std::vector<wmi::Instance>* a,
                  const std::vector<wmi::Instance>* b, bool all, std::vector<Change>& changes) {
  static const std::vector<wmi::Instance> kNone;
  std::vector<Keyed> before = ByKey(class_name, a ? *a : kNone);
  std::vector<Keyed> after = ByKey(class_name, b ? *b : kNone);
  // Labels are unique within a class (ByKey numbers repeats): one look-up each.
  std::unordered_map<std::string_view, const wmi::Instance*> before_by_label, after_by_label;
  before_by_label.reserve(before.size());
  after_by_label.reserve(after.size());
  for (const Keyed& k : before) before_by_label.emplace(k.label, k.instance);
  for (const Keyed& k : after) after_by_label.emplace(k.label, k.instance);
  for (const Keyed& k : before) {
    auto found = after_by_label.find(k.label);
    if (found == after_by_label.end()) {
      changes.push_back({Change::Kind::Removed, ns, class_name, k.label, "", std::nullopt, std::nullopt});
      continue;
    }
    const wmi::Instance* other = found->second;
    for (const wmi::Property& p : k.instance->Properties()) {
      if (!all && IsVolatile(class_name, p.name)) continue;
      const wmi::Property* q = other->Find(p.name);
      if (!q)
        changes.push_back({Change::Kind::Changed, ns, class_name, k.label, p.name, p.value, std::nullopt});
      else if (!(q->value == p.value))
        changes.push_back({Change::Kind::Changed, ns, class_name, k.label, p.name, p.value, q->value});
    }
    for (const wmi::Property& q : other->Properties()) {
      if (!all && IsVolatile(class_name, q.name)) continue;
      if (!k.instance->Find(q.name))
        changes.push_back({Change::Kind::Changed, ns, class_name, k.label, q.name, std::nullopt, q.value});
    }
  }
  for (const Keyed& k : after)
    if (!before_by_label.contains(k.label))
      changes.push_back({Change::Kind::Added, ns, class_name, k.label, "", std::nullopt, std::nullopt});
}

}  // namespace

std::vector<std::string> KeyProperties(std::string_view class_name, const wmi::Instance& instance) {
  for (const ClassKey& ck : ClassKeys())
    if (wmi::EqualsIgnoreCase(ck.class_name, class_name)) {
      std::vector<std::string> keys;
      for (std::string_view k : ck.keys)
        if (instance.Find(k)) keys.emplace_back(k);
      if (!keys.empty()) return keys;
    }
  if (instance.Find("Antecedent") && instance.Find("Dependent")) return {"Antecedent", "Dependent"};
  for (std::string_view k : {"DeviceID", "Tag", "Name", "SettingID", "Caption"})
    if (const wmi::Property* p = instance.Find(k); p && !p->value.is_null()) return {p->name};
  return {};
}

bool IsVolatile(std::string_view class_name, std::string_view property) {
  // Performance counters and running processes change all the time.
  if (StartsWithIgnoreCase(class_name, "Win32_PerfFormattedData") ||
      StartsWithIgnoreCase(class_name, "Win32_PerfRawData") || wmi::EqualsIgnoreCase(class_name, "Win32_Process") ||
      wmi::EqualsIgnoreCase(class_name, "Win32_Thread"))
    return true;
  for (std::string_view p : VolatileProperties())
    if (wmi::EqualsIgnoreCase(p, property)) return true;
  return false;
}

std::vector<Change> Compare(const wmi::Snapshot& a, const wmi::Snapshot& b, bool all) {
  std::vector<Change> changes;
  auto volatile_class = [&](const std::string& name) { return !all && IsVolatile(name, ""); };
  for (const wmi::RecordedNamespace& ns : a.namespaces)
    for (const wmi::RecordedClass& c : ns.classes) {
      if (volatile_class(c.name)) continue;
      const wmi::RecordedClass* other = b.FindClass(ns.name, c.name);
      CompareClass(ns.name, c.name, &c.instances, other ? &other->instances : nullptr, all, changes);
    }
  for (const wmi::RecordedNamespace& ns : b.namespaces)
    for (const wmi::RecordedClass& c : ns.classes)
      if (!volatile_class(c.name) && !a.FindClass(ns.name, c.name))
        CompareClass(ns.name, c.name, nullptr, &c.instances, all, changes);
  return changes;
}

std::string FormatText(const std::vector<Change>& changes) {
  std::string out;
  for (const Change& c : changes) {
    std::string line = wmi::EqualsIgnoreCase(c.ns, "root\\cimv2") ? "" : c.ns + ":";
    line += c.class_name + " [" + c.instance + "]";
    switch (c.kind) {
      case Change::Kind::Added:
        line = "+ " + line + " added";
        break;
      case Change::Kind::Removed:
        line = "- " + line + " removed";
        break;
      case Change::Kind::Changed:
        line = "~ " + line + " " + c.property + ": " + ChangedText(c.before, c.after);
        break;
    }
    // A name or a value from a capture stays on its change's line.
    out += wmi::EscapeLine(line);
    out += '\n';
  }
  return out;
}

std::string FormatJson(const std::vector<Change>& changes) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const Change& c : changes) {
    nlohmann::ordered_json j;
    j["change"] = c.kind == Change::Kind::Added ? "added" : c.kind == Change::Kind::Removed ? "removed" : "changed";
    j["namespace"] = c.ns;
    j["class"] = c.class_name;
    j["instance"] = c.instance;
    if (c.kind == Change::Kind::Changed) {
      j["property"] = c.property;
      j["old"] = c.before ? ToJson(*c.before) : nullptr;
      j["new"] = c.after ? ToJson(*c.after) : nullptr;
    }
    list.push_back(std::move(j));
  }
  return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int DiffCommand(const DiffArguments& args, std::ostream& out) {
  wmi::Snapshot a, b;
  try {
    a = wmi::LoadSnapshotFile(args.before);
    b = wmi::LoadSnapshotFile(args.after);
  } catch (const wmi::SnapshotError& e) {
    throw UsageError{e.what()};
  }
  std::vector<Change> changes = Compare(a, b, args.all);
  out << (args.json ? FormatJson(changes) : FormatText(changes));
  return changes.empty() ? 0 : 1;
}

}  // namespace cli
