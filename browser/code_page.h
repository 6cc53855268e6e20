// The system's ANSI code page, in which dump files are written: the active code
// page on Windows, the character set of the user's locale elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace browser {

// Makes the user's locale the program's (LC_ALL from the environment), keeping
// the C rules for numbers. The executables call it once at start-up.
void AdoptUserLocale();

// The name of the character set dump files are written in ("" on Windows,
// where the active code page is used directly).
std::string AnsiCodeset();

// UTF-8 text in the ANSI code page. A character the code page cannot hold
// (itself: a look-alike such as \ for ¥ or R for ® does not count), or a
// byte that is not part of valid UTF-8, becomes one "?". Windows and Linux
// follow the same rule, so the same data give the same file.
std::string ToAnsi(std::string_view utf8);

#ifndef _WIN32
// The same in a named character set (an iconv name such as "CP932", "EUC-JP",
// "ASCII"). An unknown character set gives every non-ASCII character as "?".
std::string ToCodeset(std::string_view utf8, const std::string& codeset);
#endif

}  // namespace browser
