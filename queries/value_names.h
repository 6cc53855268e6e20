// The words for WMI's value codes: one table per documented value map (chassis
// and PC system types, memory types and form factors, processor architectures, drive
// types), each code with its English name as Microsoft's class page gives it
// and the Japanese word the window shows. The summary, the inventory's views
// and anything later decode codes here, so every front-end says the same.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace queries {

enum class Language { English, Japanese };

struct ValueName {
  std::int64_t code;
  std::string_view english;
  std::string_view japanese;
};

// One documented value map: the class and property it decodes, and its codes.
struct ValueMap {
  std::string_view class_name;
  std::string_view property;
  std::span<const ValueName> names;
};

// Every map, for views and exports that decode all of them.
std::span<const ValueMap> ValueMaps();

// The word for `code` of class.property (names compare without regard to
// case), or nullopt when the map is unknown or has no such code: a code the
// documentation does not name is shown as the number, never guessed.
std::optional<std::string_view> ValueNameOf(std::string_view class_name, std::string_view property, std::int64_t code,
                                            Language language = Language::English);

}  // namespace queries
