// What the window program does with the toolkit before its window exists.
#pragma once

#include <QCoreApplication>
#include <QLocale>

namespace app {

// While one lives, the toolkit's messages wait; should its platform fail to
// start (no display, a display that cannot be opened), the program ends with
// one line on stderr and status 2 instead of the toolkit's abort. Made before
// the application object; its end prints the messages that waited.
class PlatformStartGuard {
 public:
  PlatformStartGuard();
  ~PlatformStartGuard();
  PlatformStartGuard(const PlatformStartGuard&) = delete;
  PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
};

inline constexpr char kNoDisplay[] =
    "pcinfo: no display to open the window on (is DISPLAY or WAYLAND_DISPLAY set?); "
    "pcinfo-cli shows the same on a console";

// Qt's own texts (file dialogs, the pane's context menu) in the first of the
// user's languages Qt has them for; where it has none (the C locale), in
// Japanese, the window's own language. False when no translation was found.
bool InstallQtTranslations(QCoreApplication& application, const QLocale& locale = QLocale());

}  // namespace app
