#include "browser/dump_file.h"

#include <atomic>
#include <cerrno>
#include <system_error>

#include "browser/code_page.h"

#ifdef _WIN32
#include <process.h>
#define PCINFO_GETPID _getpid
#else
#include <unistd.h>
#define PCINFO_GETPID ::getpid
#endif

namespace browser {

namespace {

// A name no other dump uses at the same time, nested dumps and other
// processes included, beginning with a dot so that folder listings hide it.
std::filesystem::path TempNameFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> serial{0};
  std::filesystem::path name = "." + target.filename().string() + "." + std::to_string(PCINFO_GETPID()) + "." +
                               std::to_string(serial++) + ".tmp";
  return target.parent_path() / name;
}

std::string ErrnoText(int e, const char* fallback) { return e ? std::generic_category().message(e) : fallback; }

}  // namespace

std::string QuotedLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 4);
  line += '"';
  line += text;
  line += "\"\r\n";
  return line;
}

DumpFile::DumpFile() : DumpFile([](std::string_view s) { return ToAnsi(s); }) {}

DumpFile::DumpFile(Encoder encoder) : encoder_(std::move(encoder)) {}

DumpFile::~DumpFile() { Discard(); }

void DumpFile::Fail(const std::string& what) {
  if (error_.empty()) error_ = what;
}

bool DumpFile::Open(const std::filesystem::path& path) {
  Discard();
  error_.clear();
  write_failed_ = false;
  target_ = path;
  temp_ = TempNameFor(path);
  errno = 0;
  out_.open(temp_, std::ios::binary | std::ios::out | std::ios::trunc);
  if (!out_.is_open()) {
    Fail(ErrnoText(errno, "cannot be created"));
    temp_.clear();
    return false;
  }
  return true;
}

void DumpFile::WriteLine(std::string_view utf8) {
  if (!out_.is_open() || write_failed_) return;
  errno = 0;
  out_ << QuotedLine(encoder_(utf8));
  if (!out_) {
    write_failed_ = true;
    Fail(ErrnoText(errno, "write failed"));
  }
}

bool DumpFile::Close() {
  if (!out_.is_open()) return false;
  errno = 0;
  out_.flush();
  if (!out_ && !write_failed_) {
    write_failed_ = true;
    Fail(ErrnoText(errno, "write failed"));
  }
  errno = 0;
  out_.close();
  if (out_.fail() && !write_failed_) {
    write_failed_ = true;
    Fail(ErrnoText(errno, "write failed"));
  }
  std::error_code ec;
  if (!write_failed_) {
    std::filesystem::rename(temp_, target_, ec);
    if (!ec) {
      temp_.clear();
      return true;
    }
    Fail(ec.message());
  }
  std::filesystem::remove(temp_, ec);
  temp_.clear();
  return false;
}

void DumpFile::Discard() {
  if (out_.is_open()) out_.close();
  if (!temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    temp_.clear();
  }
}

}  // namespace browser
