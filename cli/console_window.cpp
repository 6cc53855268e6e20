#include "cli/console_window.h"

#include <utility>

namespace cli {

void ConsoleWindow::SetDump(std::string class_name, std::string ns, std::filesystem::path info) {
  class_name_ = std::move(class_name);
  ns_ = std::move(ns);
  info_ = std::move(info);
}

}  // namespace cli
