#include "cli/console_window.h"

#include <system_error>
#include <utility>

namespace cli {

void ConsoleWindow::SetDump(std::string class_name, std::string ns, std::filesystem::path info) {
  class_name_ = std::move(class_name);
  ns_ = std::move(ns);
  info_ = std::move(info);
}

std::optional<std::filesystem::path> ConsoleWindow::InfoDirectory() {
  if (info_) {
    std::error_code ec;
    std::filesystem::create_directories(*info_, ec);
  }
  return info_;
}

}  // namespace cli
