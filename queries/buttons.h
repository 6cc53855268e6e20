// The table of the 61 category buttons.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace queries {

// What a button runs. queries::RunButton runs every kind but ClassDump, which
// is the class browser's (browser::RunCategoryButton runs every kind).
enum class Procedure {
  FixedList,                 // one query, the button's property list per instance
  FixedListWithOpeningLine,  // the same after one line of 25 "-" below the header
  AllPropertiesNullMarker,   // every property, Name:value or Name:NULL
  AllPropertiesText,         // every property delivered as text
  BaseBoardAdapters,         // the base board read two ways
  UsbDevices,                // the USB devices through their controller associations
  OperatingSystem,           // the operating system, Name = value
  ClassDump,                 // the class dump of the query's class in cimv2
};

struct Button {
  std::string_view control;  // "Command10"
  std::string_view caption;  // also the header text
  std::string_view group;    // the group label
  std::string_view query;    // the query text ("" where the procedure builds its own)
  Procedure procedure;
};

// All 61 rows, in the order Command1 ... Command60, Command63.
std::span<const Button> Buttons();

// The row of a control name, or nullptr.
const Button* FindButton(std::string_view control);

// The buttons "全自動収集" runs, in its order: Command1 to Command60.
std::span<const Button> BatchButtons();

// Every class the buttons query, each once: the class of each query text, and
// the classes the composite buttons query on their own.
std::vector<std::string> QueriedClasses();

}  // namespace queries
