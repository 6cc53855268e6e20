// pcinfo-cli diff [--all] [--json] A.json B.json: what changed between two
// captures, class by class. Instances are matched by their key properties;
// then instances added, removed, and properties changed are listed. Exit
// status as diff(1): 0 the same, 1 different, 2 trouble.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/recorded/snapshot.h"

namespace cli {

struct DiffArguments {
  bool all = false;   // --all: values that change by themselves too
  bool json = false;  // --json
  std::string before, after;
};

struct Change {
  enum class Kind { Added, Removed, Changed };
  Kind kind;
  std::string ns;  // e.g. root\cimv2
  std::string class_name;
  std::string instance;                     // the key values, "Name=Value" joined by ", " when more than one
  std::string property;                     // Changed only
  std::optional<wmi::Value> before, after;  // Changed: the old and the new value (nullopt: absent)
};

// The key properties by which instances of the class are matched (the class's
// WMI key where it has one of these; otherwise the first of DeviceID, Tag,
// Name, SettingID, Caption that the instance holds). Empty: by position.
std::vector<std::string> KeyProperties(std::string_view class_name, const wmi::Instance& instance);

// True for a value that changes by itself (free space, current clock, load,
// uptime and local time, counters): left out unless --all.
bool IsVolatile(std::string_view class_name, std::string_view property);

// The changes from `a` to `b`, in the order of a's classes, then b's new ones.
std::vector<Change> Compare(const wmi::Snapshot& a, const wmi::Snapshot& b, bool all);

// Text for people: one line a change, "\n" ended.
std::string FormatText(const std::vector<Change>& changes);
// JSON for programs: an array of change records (an empty array when the same).
std::string FormatJson(const std::vector<Change>& changes);

int DiffCommand(const DiffArguments& args, std::ostream& out);

}  // namespace cli
