// Property lists: the ordered entries a fixed-list button prints per instance.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace queries {

enum class PrintForm {
  Scalar,  // one line, label + value (Join)
  Each,    // one line per element, label + element
  First,   // one line, label + element 0
  Bios,    // the BIOS characteristic lines
};

struct PropertyEntry {
  std::string property;  // WMI property name as spelled
  std::string label;     // printed before the value
  PrintForm form;
};

using PropertyList = std::span<const PropertyEntry>;

// The list of a fixed-list button by control name ("Command10"); empty for a
// button without one. Buttons that print the same list share one.
PropertyList PropertyListOf(std::string_view control);

}  // namespace queries
