// File names carried as UTF-8 text. A path built from a plain std::string is
// read in the ANSI code page on Windows (a Japanese folder name in UTF-8 turns
// into other characters there); these two keep every character on every
// platform.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wmi {

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string u = path.u8string();
  return std::string(u.begin(), u.end());
}

}  // namespace wmi
