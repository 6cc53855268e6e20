#include "browser/dump_file.h"

#include "browser/code_page.h"

namespace browser {

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

bool DumpFile::Open(const std::filesystem::path& path) {
  out_.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
  return out_.is_open();
}

void DumpFile::WriteLine(std::string_view utf8) {
  if (!out_.is_open()) return;
  out_ << QuotedLine(encoder_(utf8));
}

void DumpFile::Close() {
  if (out_.is_open()) out_.close();
}

}  // namespace browser
