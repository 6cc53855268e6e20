#include "browser/dump_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "browser/code_page.h"
#include "wmi/utf8_path.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace browser {

namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;

// The machine's name as a file name may hold it: letters, digits, '-' and
// '_' (anything else becomes '_').
std::string MachineName() {
  std::string name;
#ifdef _WIN32
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(buffer, &size))
    for (DWORD i = 0; i < size; ++i) name += buffer[i] < 0x80 ? static_cast<char>(buffer[i]) : '_';
#else
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) == 0) name = buffer;
#endif
  for (char& c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) c = '_';
  return name.empty() ? "pc" : name;
}

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

// A name no other dump uses at the same time: nested dumps, other processes,
// and other machines writing into one shared folder (a program run from
// \\server\tools). It begins with a dot so that folder listings hide it.
std::filesystem::path TempNameFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> serial{0};
  std::filesystem::path name = wmi::PathFromUtf8(".");
  name += target.filename();
  name += wmi::PathFromUtf8("." + MachineName() + "." + std::to_string(ProcessId()) + "." + std::to_string(serial++) +
                            ".tmp");
  return target.parent_path() / name;
}

#ifdef _WIN32

// The system's message for a Win32 error, in UTF-8 ("The process cannot
// access the file because it is being used by another process").
std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) wide.pop_back();
  std::string out;
  if (!wide.empty()) {
    const int len =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(len > 0 ? len : 0));
    if (len > 0)
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), len, nullptr, nullptr);
  }
  char code[24];
  std::snprintf(code, sizeof code, "error %lu", static_cast<unsigned long>(error));
  return out.empty() ? code : out;
}

// Errors that another program's hold on the file gives, and that end when it
// lets go: an editor or the spreadsheet reading it, a virus scanner, the
// indexer, a synchronised folder's upload.
bool IsPassing(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

#else

std::string ErrnoText(int e, const char* fallback) { return e ? std::generic_category().message(e) : fallback; }

#endif

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
  // Created, never truncated: a name that exists already is not ours.
#ifdef _WIN32
  handle_ = CreateFileW(temp_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    handle_ = nullptr;
    Fail(SystemMessage(GetLastError()));
    temp_.clear();
    return false;
  }
#else
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    Fail(ErrnoText(errno, "cannot be created"));
    temp_.clear();
    return false;
  }
#endif
  return true;
}

bool DumpFile::is_open() const {
#ifdef _WIN32
  return handle_ != nullptr;
#else
  return fd_ >= 0;
#endif
}

bool DumpFile::WriteOut() {
  const char* p = pending_.data();
  std::size_t left = pending_.size();
  while (left > 0) {
#ifdef _WIN32
    DWORD written = 0;
    const DWORD n = static_cast<DWORD>(left < kWriteChunk ? left : kWriteChunk);
    if (!WriteFile(handle_, p, n, &written, nullptr) || written == 0) {
      Fail(SystemMessage(GetLastError()));
      return false;
    }
#else
    const ssize_t written = ::write(fd_, p, left < kWriteChunk ? left : kWriteChunk);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      Fail(ErrnoText(written < 0 ? errno : 0, "write failed"));
      return false;
    }
#endif
    p += written;
    left -= static_cast<std::size_t>(written);
  }
  pending_.clear();
  return true;
}

void DumpFile::WriteLine(std::string_view utf8) {
  if (!is_open() || write_failed_) return;
  pending_ += QuotedLine(encoder_(utf8));
  if (pending_.size() >= kWriteChunk && !WriteOut()) write_failed_ = true;
}

bool DumpFile::CloseHandle() {
  bool ok = true;
#ifdef _WIN32
  if (handle_) {
    if (!::CloseHandle(handle_)) {
      Fail(SystemMessage(GetLastError()));
      ok = false;
    }
    handle_ = nullptr;
  }
#else
  if (fd_ >= 0) {
    if (::close(fd_) != 0) {
      Fail(ErrnoText(errno, "write failed"));
      ok = false;
    }
    fd_ = -1;
  }
#endif
  return ok;
}

bool DumpFile::Replace() {
#ifdef _WIN32
  // ReplaceFileW keeps what the old file had of its own (its permissions, its
  // creation time); MoveFileExW puts a first file in place. Another
  // program's hold on the old file passes: tried again for about two seconds.
  for (int attempt = 0;; ++attempt) {
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    const bool old_file = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const bool read_only = old_file && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (read_only) {
      Fail(SystemMessage(ERROR_ACCESS_DENIED) + " (the file is read-only)");
      return false;
    }
    BOOL done = FALSE;
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (old_file) {
      // Whether another program holds the old file, asked before ReplaceFileW:
      // a ReplaceFileW that fails may leave a file of its own behind.
      HANDLE probe = CreateFileW(target_.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (probe == INVALID_HANDLE_VALUE) {
        error = GetLastError();
      } else {
        ::CloseHandle(probe);
        done = ReplaceFileW(target_.c_str(), temp_.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr);
        if (!done) error = GetLastError();
      }
    }
    // No old file (or it went meanwhile): the new one takes the name.
    if (!done && error == ERROR_FILE_NOT_FOUND) {
      done = MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      if (!done) error = GetLastError();
    }
    if (done) return true;
    if (!IsPassing(error) || attempt >= kReplaceTries - 1) {
      Fail(SystemMessage(error));
      return false;
    }
    if (retry_wait_)
      retry_wait_(attempt);
    else
      Sleep(100);
  }
#else
  if (std::rename(temp_.c_str(), target_.c_str()) == 0) return true;
  Fail(ErrnoText(errno, "cannot be replaced"));
  return false;
#endif
}

bool DumpFile::Close() {
  if (!is_open()) return false;
  if (!write_failed_ && !WriteOut()) write_failed_ = true;
  if (!CloseHandle()) write_failed_ = true;
  pending_.clear();
  if (!write_failed_ && Replace()) {
    temp_.clear();
    return true;
  }
  std::error_code ec;
  std::filesystem::remove(temp_, ec);
  temp_.clear();
  return false;
}

void DumpFile::Discard() {
  CloseHandle();
  pending_.clear();
  if (!temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    temp_.clear();
  }
}

}  // namespace browser
