// The class catalogue: the fixed list of root\cimv2 class names that the class
// list offers. It is part of the program, not read from WMI, so classes a
// machine lacks stay in the list (dumping one gives the failure outcome).
#pragma once

#include <span>
#include <string_view>

namespace browser {

// All 1211 names in list order.
std::span<const std::string_view> ClassCatalogue();

// A list box as LoadClassList sees it: entries are appended at the end and
// kept in the order added.
class ClassListBox {
 public:
  virtual ~ClassListBox() = default;
  virtual void AddItem(std::string_view name) = 0;
};

// Appends every catalogue name to the end of the list, one by one, in
// catalogue order. Clears nothing and selects nothing.
void LoadClassList(ClassListBox& list);

}  // namespace browser
