#include "browser/catalogue.h"

namespace browser {

namespace {

constexpr std::string_view kClassNames[] = {
#include "browser/catalogue_names.inc"
};

}  // namespace

std::span<const std::string_view> ClassCatalogue() { return kClassNames; }

void LoadClassList(ClassListBox& list) {
  for (std::string_view name : kClassNames) list.AddItem(name);
}

}  // namespace browser
