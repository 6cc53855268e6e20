// The console companion's standard streams: UTF-8 text with CR LF written as
// it is, whatever the platform.
//
// On Windows the console's code page is left as the user had it. A stream
// that is a console window receives its text as UTF-16 through WriteConsoleW,
// so every character shows whatever the code page; a stream redirected to a
// file or a pipe (`> a.txt`, `| more`, `$x = pcinfo-cli ...`) receives the
// UTF-8 bytes unchanged. Elsewhere the streams are std::cout and std::cerr.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

// The start of the program: on Windows, puts the C streams into binary mode
// (no CR CR LF) and joins the main thread to COM's multithreaded apartment;
// nothing elsewhere.
void PrepareConsole();

// The program's stdout and stderr for the life of one run; flushed when it
// ends.
class StandardStreams {
 public:
  StandardStreams();
  ~StandardStreams();
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;

  std::ostream& out() { return *out_; }
  std::ostream& err() { return *err_; }

 private:
  std::unique_ptr<std::streambuf> out_buf_, err_buf_;
  std::unique_ptr<std::ostream> own_out_, own_err_;
  std::ostream* out_;
  std::ostream* err_;
};

#ifdef _WIN32
// The command line's arguments (UTF-16, as wmain receives them) in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);

// UTF-8 bytes to UTF-16 for WriteConsoleW. Returns the number of bytes used:
// an incomplete character at the end is left for the next call. Bytes that
// are not UTF-8 become U+FFFD.
std::size_t WideFromUtf8Prefix(const std::string& utf8, std::wstring& wide);
#endif

}  // namespace cli
