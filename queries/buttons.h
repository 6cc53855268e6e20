// The table of the 61 category buttons.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace queries {

enum class Procedure {
  kFixedList,                // one query, the button's property list per instance
  kAllPropertiesNullMarker,  // every property, Name:value or Name:NULL
  kAllPropertiesText,        // every property delivered as text
  kComposite,                // a procedure of its own
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

// Every class the buttons query, each once: the class of each query text, and
// the classes the composite buttons query on their own.
std::vector<std::string> QueriedClasses();

}  // namespace queries
