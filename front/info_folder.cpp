#include "front/info_folder.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <wchar.h>
#else
#include <unistd.h>
#endif

namespace front {

std::filesystem::path PerUserInfoFolder() {
#ifdef _WIN32
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (!local || !*local) return {};
  return std::filesystem::path(local) / "pcinfo" / "info";
#else
  std::filesystem::path base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::filesystem::path(home) / ".local" / "share";
  } else {
    return {};
  }
  return base / "pcinfo" / "info";
#endif
}

bool CanWriteFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) return false;
#ifdef _WIN32
  const auto id = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
#else
  const auto id =
      std::to_string(::getpid()) + "." + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
  const std::filesystem::path probe = folder / (".pcinfo-probe-" + id);
  bool ok;
  {
    std::ofstream out(probe, std::ios::binary);
    ok = out.is_open() && static_cast<bool>(out << 'x') && static_cast<bool>(out.flush());
  }
  std::filesystem::remove(probe, ec);
  return ok;
}

InfoFolder ChooseInfoFolder(const std::filesystem::path& beside_program, const std::filesystem::path& per_user) {
  if (CanWriteFolder(beside_program) || per_user.empty()) return {beside_program, false};
  std::error_code ec;
  std::filesystem::create_directories(per_user, ec);
  return {per_user, true};
}

}  // namespace front
