#include "browser/code_page.h"

#include <clocale>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#endif

namespace browser {

void AdoptUserLocale() {
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
}

namespace {

// The length of the UTF-8 sequence a byte leads (1 for a byte that leads none).
std::size_t FullLength(char first) {
  const auto lead = static_cast<unsigned char>(first);
  return lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
}

// Length of the UTF-8 sequence at the start of `s` that is to be replaced by
// one "?": a whole well-formed character, or the single bad byte.
std::size_t SequenceLength(std::string_view s) {
  std::size_t n = FullLength(s[0]);
  if (n > s.size()) n = s.size();  // a character cut off at the end of the text
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
  return n;
}

// The code point of a well-formed sequence of `n` bytes (2 to 4), or -1 for an
// overlong form, a surrogate or a value past U+10FFFF.
long CodePoint(std::string_view s, std::size_t n) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned long>(static_cast<unsigned char>(s[i])); };
  unsigned long c = 0;
  if (n == 2) c = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  if (n == 3) c = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  if (n == 4) c = ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  const unsigned long least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
  if (c < least || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return -1;
  return static_cast<long>(c);
}

// The one rule of both platforms: ASCII stays; each other character is
// converted by `one` (the character's UTF-8 bytes and its code point), which
// gives nothing when the code page does not hold that very character; what
// is not a well-formed character, and what `one` refuses, is one "?".
template <class One>
std::string Convert(std::string_view utf8, One&& one) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    if (static_cast<unsigned char>(utf8[0]) < 0x80) {
      out += utf8[0];
      utf8.remove_prefix(1);
      continue;
    }
    const std::size_t n = SequenceLength(utf8);
    const long c = n >= 2 && n == FullLength(utf8[0]) ? CodePoint(utf8, n) : -1;
    std::optional<std::string> bytes;
    if (c >= 0) bytes = one(utf8.substr(0, n), static_cast<char32_t>(c));
    out += bytes ? *bytes : std::string("?");
    utf8.remove_prefix(n);
  }
  return out;
}

}  // namespace

#ifdef _WIN32

std::string AnsiCodeset() { return ""; }

std::string ToAnsi(std::string_view utf8) {
  const UINT acp = GetACP();
  return Convert(utf8, [acp](std::string_view bytes, char32_t c) -> std::optional<std::string> {
    if (acp == CP_UTF8) return std::string(bytes);
    wchar_t wide[2];
    int wide_len = 1;
    if (c >= 0x10000) {
      wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      wide_len = 2;
    } else {
      wide[0] = static_cast<wchar_t>(c);
    }
    // No best fit: a character the code page lacks is not replaced by a
    // look-alike (R for ®, e for é, \ for ¥), it is the default character.
    char out[8];
    BOOL used_default = FALSE;
    const int n =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, wide_len, out, sizeof out, "?", &used_default);
    if (n <= 0 || used_default) return std::nullopt;
    return std::string(out, static_cast<std::size_t>(n));
  });
}

#else

namespace {

// Converts one character at a time through iconv, in both directions.
class CodesetConverter {
 public:
  explicit CodesetConverter(const std::string& codeset)
      : to_(iconv_open(codeset.c_str(), "UTF-8")), back_(iconv_open("UTF-8", codeset.c_str())) {}
  CodesetConverter(const CodesetConverter&) = delete;
  CodesetConverter& operator=(const CodesetConverter&) = delete;
  ~CodesetConverter() {
    if (ok(to_)) iconv_close(to_);
    if (ok(back_)) iconv_close(back_);
  }
  bool usable() const { return ok(to_) && ok(back_); }

  // The character's bytes in the character set, when it holds that very
  // character: one that converts only to a look-alike (¥ to \ in CP932)
  // does not come back as itself and counts as missing.
  std::optional<std::string> One(std::string_view utf8) {
    std::optional<std::string> bytes = Run(to_, utf8);
    if (!bytes || bytes->empty()) return std::nullopt;
    std::optional<std::string> back = Run(back_, *bytes);
    if (!back || *back != utf8) return std::nullopt;
    return bytes;
  }

 private:
  static bool ok(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }

  static std::optional<std::string> Run(iconv_t cd, std::string_view in_text) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial shift state
    char buffer[32];
    char* in = const_cast<char*>(in_text.data());
    std::size_t in_left = in_text.size();
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    if (iconv(cd, &in, &in_left, &dst, &dst_left) == static_cast<std::size_t>(-1) || in_left != 0) return std::nullopt;
    if (iconv(cd, nullptr, nullptr, &dst, &dst_left) == static_cast<std::size_t>(-1)) return std::nullopt;
    return std::string(buffer, dst);
  }

  iconv_t to_;
  iconv_t back_;
};

}  // namespace

std::string AnsiCodeset() {
  const char* cs = nl_langinfo(CODESET);
  return cs && *cs ? cs : "ANSI_X3.4-1968";
}

std::string ToCodeset(std::string_view utf8, const std::string& codeset) {
  CodesetConverter converter(codeset);
  // A character set iconv does not know: ASCII only.
  return Convert(utf8, [&](std::string_view bytes, char32_t) -> std::optional<std::string> {
    if (!converter.usable()) return std::nullopt;
    return converter.One(bytes);
  });
}

std::string ToAnsi(std::string_view utf8) { return ToCodeset(utf8, AnsiCodeset()); }

#endif

}  // namespace browser
