#include "cli/console.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#define PCINFO_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define PCINFO_ISATTY(f) ::isatty(::fileno(f))
#endif

namespace cli {

namespace {

constexpr char kHex[] = "0123456789abcdef";

bool IsC0(unsigned char c) { return (c < 0x20 && c != '\r' && c != '\n') || c == 0x7F; }

void AppendC0(std::string& out, unsigned char c) {
  out += "\\x";
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

void AppendC1(std::string& out, unsigned char second) {
  out += "\\u00";
  out += kHex[second >> 4];
  out += kHex[second & 15];
}

// Escapes `text`; `pending_c2` carries a trailing C2 byte across calls.
std::string Escape(std::string_view text, bool& pending_c2) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (pending_c2) {
      pending_c2 = false;
      if (c >= 0x80 && c <= 0x9F) {
        AppendC1(out, c);
        continue;
      }
      out += '\xC2';
    }
    if (c == 0xC2) {
      pending_c2 = true;
    } else if (IsC0(c)) {
      AppendC0(out, c);
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace

std::string EscapeForTerminal(std::string_view text) {
  bool pending = false;
  std::string out = Escape(text, pending);
  if (pending) out += '\xC2';
  return out;
}

bool TerminalEscapeBuf::Put(std::string_view bytes) {
  std::string out = Escape(bytes, pending_c2_);
  return target_->sputn(out.data(), static_cast<std::streamsize>(out.size())) ==
         static_cast<std::streamsize>(out.size());
}

TerminalEscapeBuf::int_type TerminalEscapeBuf::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  char c = traits_type::to_char_type(ch);
  return Put(std::string_view(&c, 1)) ? ch : traits_type::eof();
}

std::streamsize TerminalEscapeBuf::xsputn(const char* s, std::streamsize n) {
  return Put(std::string_view(s, static_cast<std::size_t>(n))) ? n : 0;
}

int TerminalEscapeBuf::sync() {
  if (pending_c2_) {
    pending_c2_ = false;
    if (target_->sputc('\xC2') == traits_type::eof()) return -1;
  }
  return target_->pubsync();
}

void PrepareConsole() {
#ifdef _WIN32
  // Binary mode: no CR CR LF; the bytes are UTF-8 as on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
#endif
  // Never freed: the standard streams flush through them until the very end.
  if (PCINFO_ISATTY(stdout)) std::cout.rdbuf(new TerminalEscapeBuf(std::cout.rdbuf()));
  if (PCINFO_ISATTY(stderr)) std::cerr.rdbuf(new TerminalEscapeBuf(std::cerr.rdbuf()));
}

}  // namespace cli
