// What the window program does with the toolkit before its window exists.
#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/frm_wmi_info.h"
#include "front/info_folder.h"
#include "wmi/provider.h"

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

// The window as the program opens it, not yet shown: on `provider` (this
// machine's WMI), dump files going to `info` (which the status line tells when
// it is the user's own), the capture in `capture` opened (a bad one told
// once, the window then showing this machine), the class list loaded. The
// capture is read on a thread of its own while the window is built.
std::unique_ptr<FrmWmiInfo> OpenWindow(wmi::Provider& provider, const front::InfoFolder& info,
                                       const std::optional<std::filesystem::path>& capture);

}  // namespace app
