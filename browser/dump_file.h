// The output file of one class dump. The lines go to a temporary file in the
// same folder, created anew (never one that exists: two machines may write
// into one shared folder) and named with the machine's name, the process and
// a serial number. It replaces the file of the dump's name in one step when
// the dump closes it: a reader sees the old file or the new one, never a torn
// or empty one, and a dump that fails half-way leaves the old file as it was.
// On Linux the step is rename(); on Windows ReplaceFileW (MoveFileExW for a
// first file), tried again for about two seconds while another program holds
// the old file (a spreadsheet has it open, a scanner or the indexer reads it,
// a synchronised Desktop uploads it), and failures are told with the
// system's own message, in UTF-8.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace browser {

// A line as the file holds it: a quotation mark, the text, a quotation mark,
// CR LF. Quotation marks inside the text stay as they are.
std::string QuotedLine(std::string_view text);

class DumpFile {
 public:
  // Turns a UTF-8 line into the bytes the file holds (ToAnsi by default).
  using Encoder = std::function<std::string(std::string_view)>;

  DumpFile();
  explicit DumpFile(Encoder encoder);
  ~DumpFile();
  DumpFile(const DumpFile&) = delete;
  DumpFile& operator=(const DumpFile&) = delete;

  // Starts the file that will replace `path`. False when it cannot be created
  // (a missing folder, no write permission, a name the file system refuses);
  // the writes are then skipped and error() tells why.
  bool Open(const std::filesystem::path& path);
  bool is_open() const;
  // Writes one quoted line; nothing when the file is not open.
  void WriteLine(std::string_view utf8);
  // Puts the written lines in place of `path`. False when any write, the
  // close or the replacement failed: `path` is then left as it was.
  bool Close();
  // Drops the written lines: `path` is left as it was.
  void Discard();

  // Why the last Open or Close failed ("" when it did not).
  const std::string& error() const { return error_; }

  // How many times Close tries to replace a file another program holds, and
  // what it does between two tries (by default: waits 100 ms). Windows only.
  static constexpr int kReplaceTries = 20;
  void SetRetryWait(std::function<void(int attempt)> wait) { retry_wait_ = std::move(wait); }

 private:
  void Fail(const std::string& what);
  bool WriteOut();
  bool CloseHandle();
  bool Replace();

  Encoder encoder_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  std::string pending_;
  std::filesystem::path target_, temp_;
  bool write_failed_ = false;
  std::string error_;
  std::function<void(int)> retry_wait_;
};

}  // namespace browser
