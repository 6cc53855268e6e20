#include "browser/code_page.h"

#include <clocale>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#endif

namespace browser {

void AdoptUserLocale() {
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
}

#ifdef _WIN32

std::string AnsiCodeset() { return ""; }

std::string ToAnsi(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int in_len = static_cast<int>(utf8.size());
  int wide_len = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), in_len, nullptr, 0);
  if (wide_len <= 0) return std::string(utf8.size(), '?');
  std::wstring wide(static_cast<std::size_t>(wide_len), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), in_len, wide.data(), wide_len);
  // A UTF-8 active code page takes no default character.
  const UINT acp = GetACP();
  const char* fallback = acp == CP_UTF8 ? nullptr : "?";
  int out_len = WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_len, nullptr, 0, fallback, nullptr);
  if (out_len <= 0) return std::string(utf8.size(), '?');
  std::string out(static_cast<std::size_t>(out_len), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_len, out.data(), out_len, fallback, nullptr);
  return out;
}

#else

namespace {

// Length of the UTF-8 sequence at the start of `s` that is to be replaced by
// one "?": a whole well-formed character, or the single bad byte.
std::size_t SequenceLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  std::size_t n = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
  if (n > s.size()) n = s.size();  // a character cut off at the end of the text
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
  return n;
}

// ASCII only, for a character set iconv does not know.
std::string AsciiOnly(std::string_view utf8) {
  std::string out;
  while (!utf8.empty()) {
    if (static_cast<unsigned char>(utf8[0]) < 0x80) {
      out += utf8[0];
      utf8.remove_prefix(1);
    } else {
      out += '?';
      utf8.remove_prefix(SequenceLength(utf8));
    }
  }
  return out;
}

}  // namespace

std::string AnsiCodeset() {
  const char* cs = nl_langinfo(CODESET);
  return cs && *cs ? cs : "ANSI_X3.4-1968";
}

std::string ToCodeset(std::string_view utf8, const std::string& codeset) {
  iconv_t cd = iconv_open(codeset.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return AsciiOnly(utf8);
  std::string out;
  char buffer[256];
  auto drain = [&](char* end) { out.append(buffer, end); };
  std::string_view rest = utf8;
  while (true) {
    char* in = const_cast<char*>(rest.data());
    std::size_t in_left = rest.size();
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    std::size_t r = iconv(cd, rest.empty() ? nullptr : &in, &in_left, &dst, &dst_left);
    const int failure = r == static_cast<std::size_t>(-1) ? errno : 0;
    drain(dst);
    if (rest.empty()) break;  // the shift state has been reset
    rest.remove_prefix(rest.size() - in_left);
    if (failure == E2BIG) continue;
    if (failure == EILSEQ || failure == EINVAL) {
      out += '?';
      rest.remove_prefix(SequenceLength(rest));
      continue;
    }
    if (failure != 0) {
      out += AsciiOnly(rest);
      break;
    }
    // Everything is converted; one more round resets the shift state.
    rest = std::string_view();
  }
  iconv_close(cd);
  return out;
}

std::string ToAnsi(std::string_view utf8) { return ToCodeset(utf8, AnsiCodeset()); }

#endif

}  // namespace browser
