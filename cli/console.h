// The console companion's standard streams: UTF-8 text with CR LF, written
// as each platform's readers expect it.
//
// On Windows the console's code page is left as the user had it. A stream
// that is a console window receives its text as UTF-16 through WriteConsoleW,
// so every character shows whatever the code page. A stream redirected to a
// file or a pipe (`> a.txt`, `| more`, `| findstr`, `$x = pcinfo-cli ...`)
// receives its text in the console's output code page (932 on a Japanese
// machine), as Windows PowerShell 5.1, cmd's `more` and `findstr` read it; a
// character the code page lacks is "?". With `--encoding utf8` it receives the
// UTF-8 bytes unchanged; `-o FILE` writes the file itself, in UTF-8.
// Elsewhere the streams are std::cout and std::cerr, UTF-8.
//
// On a terminal or a console window, control characters other than CR and LF
// are shown escaped, so that text read from devices or snapshots cannot move
// the cursor, change colours or retitle the terminal; into a pipe or a file
// every character goes as it is.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// What a redirected stream receives on Windows (`--encoding`).
enum class RedirectedEncoding { ConsoleCodePage, Utf8 };

// The start of the program: on Windows, puts the C streams into binary mode
// (no CR CR LF) and sets what redirected streams receive; on a terminal,
// escapes what the streams write (Linux). COM is started by main itself,
// before this (wmi::windows::ComStart).
void PrepareConsole(RedirectedEncoding encoding = RedirectedEncoding::ConsoleCodePage);

// JSON text with every character beyond ASCII written as a \u escape (a
// surrogate pair beyond the BMP), so that any shell's redirection carries it
// unchanged. Only JSON strings hold such characters; bytes that are not UTF-8
// become U+FFFD.
std::string AsciiJson(std::string_view json);

// `text` as a terminal should show it: C0 controls other than CR and LF, and
// DEL, become \xHH; the C1 controls (U+0080 to U+009F, written C2 80 to C2 9F)
// become \u00HH. Everything else is kept.
std::string EscapeForTerminal(std::string_view text);

// A stream buffer that passes what is written to `target` through
// EscapeForTerminal, byte by byte, holding nothing back past a flush.
class TerminalEscapeBuf : public std::streambuf {
 public:
  explicit TerminalEscapeBuf(std::streambuf* target) : target_(target) {}

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  bool Put(std::string_view bytes);
  std::streambuf* target_;
  bool pending_c2_ = false;  // a C2 byte whose follower decides what it starts
};

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
  std::unique_ptr<std::streambuf> out_escape_, err_escape_;  // before a console window
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

// How many of the `left` UTF-16 units at `text` one WriteConsoleW takes: at
// most 8192, never ending between the two halves of a surrogate pair.
std::size_t ConsoleChunk(const wchar_t* text, std::size_t left);

// UTF-16 text in code page `code_page` for a redirected stream: a character
// the code page lacks is "?", never a look-alike.
std::string BytesInCodePage(std::wstring_view wide, unsigned code_page);

// The code page a redirected stream is written in: the console's output code
// page, or the OEM code page of a process without a console.
unsigned RedirectedCodePage();
#endif

}  // namespace cli
