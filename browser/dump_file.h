// The output file of one class dump: opened for output (an existing file is
// replaced), one quoted line per property line, closed at the end of the dump.
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

  // Opens `path` for output, replacing it. False when the file cannot be
  // created (a missing folder, no write permission); the writes are then
  // skipped.
  bool Open(const std::filesystem::path& path);
  bool is_open() const { return out_.is_open(); }
  // Writes one quoted line; nothing when the file is not open.
  void WriteLine(std::string_view utf8);
  void Close();

 private:
  Encoder encoder_;
  std::ofstream out_;
};

}  // namespace browser
