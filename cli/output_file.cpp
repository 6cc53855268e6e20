#include "cli/output_file.h"

#include <atomic>
#include <cerrno>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define PCINFO_GETPID _getpid
#else
#include <unistd.h>
#define PCINFO_GETPID ::getpid
#endif

namespace cli {

namespace {

// A name no other writer uses at the same time, beginning with a dot so that folder listings hide it.
std::filesystem::path TempNameFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> serial{0};
  std::filesystem::path name = "." + target.filename().string() + "." + std::to_string(PCINFO_GETPID()) + "." +
                               std::to_string(serial++) + ".tmp";
  return target.parent_path() / name;
}

std::string ErrnoText(int e, const char* fallback) { return e ? std::generic_category().message(e) : fallback; }

}  // namespace

std::string WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  const std::filesystem::path temp = TempNameFor(path);
  errno = 0;
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return ErrnoText(errno, "cannot be created");
  std::string why;
  errno = 0;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) why = ErrnoText(errno, "write failed");
  errno = 0;
  out.close();
  if (!out && why.empty()) why = ErrnoText(errno, "write failed");
  std::error_code ec;
  if (why.empty()) {
    std::filesystem::rename(temp, path, ec);
    if (!ec) return "";
    why = ec.message();
  }
  std::filesystem::remove(temp, ec);
  return why;
}

}  // namespace cli
