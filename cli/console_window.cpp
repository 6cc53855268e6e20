#include "cli/console_window.h"

#include <system_error>
#include <utility>

#include "front/info_folder.h"

namespace cli {

ConsoleInfo ConsoleInfoFolder(const std::filesystem::path& program_dir) {
  const front::InfoFolder chosen = front::ChooseInfoFolder(program_dir / "info", front::PerUserInfoFolder());
  return {chosen.path, chosen.per_user};
}

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
