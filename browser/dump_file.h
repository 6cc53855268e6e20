// The output file of one class dump. The lines go to a temporary file in the
// same folder, which replaces the file of the dump's name in one rename when
// the dump closes it: a reader sees the old file or the new one, never a torn
// or empty one, and a dump that fails half-way leaves the old file as it was.
#pragma once

#include <filesystem>
#include <fstream>
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
  bool is_open() const { return out_.is_open(); }
  // Writes one quoted line; nothing when the file is not open.
  void WriteLine(std::string_view utf8);
  // Puts the written lines in place of `path`. False when any write, the
  // close or the replacement failed: `path` is then left as it was.
  bool Close();
  // Drops the written lines: `path` is left as it was.
  void Discard();

  // Why the last Open or Close failed ("" when it did not).
  const std::string& error() const { return error_; }

 private:
  void Fail(const std::string& what);

  Encoder encoder_;
  std::ofstream out_;
  std::filesystem::path target_, temp_;
  bool write_failed_ = false;
  std::string error_;
};

}  // namespace browser
