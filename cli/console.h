// Console set-up: stdout carries UTF-8 bytes with CR LF written as they are.
// On a terminal, control characters other than CR and LF are shown escaped, so
// that text read from devices or snapshots cannot move the cursor, change
// colours or retitle the terminal; into a pipe or a file every byte goes as it is.
#pragma once

#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

namespace cli {

void PrepareConsole();

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

}  // namespace cli
