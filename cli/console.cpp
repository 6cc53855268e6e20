#include "cli/console.h"

#include <iostream>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <unistd.h>
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

std::string AsciiJson(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  auto escape = [&out](unsigned unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 15];
  };
  for (std::size_t i = 0; i < json.size();) {
    const auto c = static_cast<unsigned char>(json[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // One UTF-8 character: its length, then its continuation bytes.
    std::size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    unsigned cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = i + k < json.size() ? static_cast<unsigned char>(json[i + k]) : 0;
      if ((b & 0xC0) != 0x80) {
        len = 0;
        break;
      }
      cp = (cp << 6) | (b & 0x3F);
    }
    if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) len = 0;
    if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) len = 0;
    if (len == 0) {
      escape(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      escape(0xD800 + ((cp - 0x10000) >> 10));
      escape(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      escape(cp);
    }
    i += len;
  }
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

#ifdef _WIN32

namespace {

std::string Utf8FromWide(const wchar_t* text) {
  const int in_len = static_cast<int>(wcslen(text));
  if (in_len == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, in_len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, in_len, out.data(), n, nullptr, nullptr);
  return out;
}

// The length of a well-formed UTF-8 character that `lead` starts, 0 for a
// byte that starts none.
std::size_t LeadLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

RedirectedEncoding g_encoding = RedirectedEncoding::ConsoleCodePage;

// A stream buffer over a standard handle: a console gets UTF-16 through
// WriteConsoleW, anything else bytes through WriteFile, in the redirected
// streams' code page.
class HandleBuf : public std::streambuf {
 public:
  explicit HandleBuf(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
    code_page_ = g_encoding == RedirectedEncoding::Utf8 ? CP_UTF8 : RedirectedCodePage();
  }
  ~HandleBuf() override { Flush(true); }
  bool console() const { return console_; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= kChunk) Flush(false);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.size() >= kChunk) Flush(false);
    return n;
  }
  int sync() override { return Flush(false) ? 0 : -1; }

 private:
  static constexpr std::size_t kChunk = 64 * 1024;

  bool WriteBytes(const char* p, std::size_t left) {
    bool ok = true;
    while (ok && left > 0) {
      DWORD written = 0;
      const DWORD n = static_cast<DWORD>(left < (1u << 20) ? left : (1u << 20));
      ok = WriteFile(handle_, p, n, &written, nullptr) != 0 && written > 0;
      p += written;
      left -= written;
    }
    return ok;
  }

  // Writes what is pending; a character cut at the end waits for its rest,
  // unless this is the last write.
  bool Flush(bool last) {
    if (pending_.empty()) return true;
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
      pending_.clear();
      return false;
    }
    if (!console_ && code_page_ == CP_UTF8) {
      const bool ok = WriteBytes(pending_.data(), pending_.size());
      pending_.clear();
      return ok;
    }
    bool ok = true;
    std::wstring wide;
    std::size_t used = WideFromUtf8Prefix(pending_, wide);
    if (last && used < pending_.size()) {
      wide += L'\xFFFD';
      used = pending_.size();
    }
    if (console_) {
      const wchar_t* p = wide.data();
      std::size_t left = wide.size();
      while (ok && left > 0) {
        DWORD written = 0;
        const DWORD n = static_cast<DWORD>(ConsoleChunk(p, left));
        ok = WriteConsoleW(handle_, p, n, &written, nullptr) != 0 && written > 0;
        p += written;
        left -= written;
      }
    } else {
      const std::string bytes = BytesInCodePage(wide, code_page_);
      ok = WriteBytes(bytes.data(), bytes.size());
    }
    pending_.erase(0, used);
    return ok;
  }

  HANDLE handle_;
  bool console_ = false;
  UINT code_page_ = CP_UTF8;
  std::string pending_;
};

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
  std::vector<std::string> out;
  for (int i = 0; i < argc; ++i) out.push_back(Utf8FromWide(argv[i]));
  return out;
}

std::size_t WideFromUtf8Prefix(const std::string& utf8, std::wstring& wide) {
  // Stop before a character that the text cuts off at its end.
  std::size_t end = utf8.size();
  for (std::size_t back = 1; back <= 3 && back <= utf8.size(); ++back) {
    const auto b = static_cast<unsigned char>(utf8[utf8.size() - back]);
    if ((b & 0xC0) != 0x80) {
      const std::size_t need = LeadLength(b);
      if (need > back) end = utf8.size() - back;
      break;
    }
  }
  wide.clear();
  if (end == 0) return 0;
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(end), nullptr, 0);
  if (n > 0) {
    wide.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(end), wide.data(), n);
  }
  return end;
}

std::size_t ConsoleChunk(const wchar_t* text, std::size_t left) {
  constexpr std::size_t kMost = 8192;
  if (left <= kMost) return left;
  // A high surrogate at the end would reach the console without its partner.
  const wchar_t last = text[kMost - 1];
  return last >= 0xD800 && last <= 0xDBFF ? kMost - 1 : kMost;
}

std::string BytesInCodePage(std::wstring_view wide, unsigned code_page) {
  if (wide.empty()) return {};
  const int in = static_cast<int>(wide.size());
  // UTF-8 and the code pages that take no flags are converted without them.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  const char* fallback = "?";
  if (code_page == CP_UTF8 || code_page == CP_UTF7 || code_page == 54936 || code_page == 42 ||
      (code_page >= 50220 && code_page <= 50229) || (code_page >= 57002 && code_page <= 57011)) {
    flags = 0;
    fallback = nullptr;
  }
  int n = WideCharToMultiByte(code_page, flags, wide.data(), in, nullptr, 0, fallback, nullptr);
  if (n <= 0) {
    flags = 0;
    fallback = nullptr;
    n = WideCharToMultiByte(code_page, 0, wide.data(), in, nullptr, 0, nullptr, nullptr);
  }
  if (n <= 0) return std::string(wide.size(), '?');
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, wide.data(), in, out.data(), n, fallback, nullptr);
  return out;
}

unsigned RedirectedCodePage() {
  const UINT cp = GetConsoleOutputCP();
  return cp != 0 ? cp : GetOEMCP();
}

void PrepareConsole(RedirectedEncoding encoding) {
  // Binary mode: no CR CR LF. The console's code page is not touched.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  g_encoding = encoding;
}

StandardStreams::StandardStreams() {
  // What goes to the C streams (none of ours does) comes first.
  std::fflush(stdout);
  std::fflush(stderr);
  auto out = std::make_unique<HandleBuf>(STD_OUTPUT_HANDLE);
  auto err = std::make_unique<HandleBuf>(STD_ERROR_HANDLE);
  // A console window shows control characters escaped, as a terminal does on
  // Linux: Windows Terminal and PowerShell obey escape sequences too.
  const bool out_console = out->console(), err_console = err->console();
  out_buf_ = std::move(out);
  err_buf_ = std::move(err);
  if (out_console) out_escape_ = std::make_unique<TerminalEscapeBuf>(out_buf_.get());
  if (err_console) err_escape_ = std::make_unique<TerminalEscapeBuf>(err_buf_.get());
  own_out_ = std::make_unique<std::ostream>(out_escape_ ? out_escape_.get() : out_buf_.get());
  own_err_ = std::make_unique<std::ostream>(err_escape_ ? err_escape_.get() : err_buf_.get());
  out_ = own_out_.get();
  err_ = own_err_.get();
}

#else

void PrepareConsole(RedirectedEncoding) {
  // On a terminal, what the program writes passes through the escaping
  // (never freed: the standard streams flush through them until the very end).
  if (::isatty(STDOUT_FILENO)) std::cout.rdbuf(new TerminalEscapeBuf(std::cout.rdbuf()));
  if (::isatty(STDERR_FILENO)) std::cerr.rdbuf(new TerminalEscapeBuf(std::cerr.rdbuf()));
}

StandardStreams::StandardStreams() : out_(&std::cout), err_(&std::cerr) {}

#endif

StandardStreams::~StandardStreams() {
  out_->flush();
  err_->flush();
}

}  // namespace cli
