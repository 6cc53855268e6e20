// pcinfo: the window on the platform's live WMI backend, or on a recorded
// capture:  pcinfo [--from] [SNAPSHOT] | --help | --version
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/frm_wmi_info.h"
#include "app/qt_start.h"
#include "browser/code_page.h"
#include "front/command_line.h"
#include "front/info_folder.h"
#include "front/no_service.h"
#include "wmi/live.h"
#include "wmi/utf8_path.h"

#ifndef PCINFO_VERSION
#define PCINFO_VERSION "0.0.0"
#endif

#ifdef _WIN32
#include "wmi/windows/com.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // Before the toolkit touches COM: the window's thread in a single-threaded
  // apartment, and no process-wide COM security (the save dialog's shell
  // extensions run in this process); every WMI proxy gets its own blanket.
  const wmi::windows::ComStart com(wmi::windows::Apartment::SingleThreaded, wmi::windows::Security::ProxyBlankets);
#endif
  // --help and --version are answered on the terminal, before the toolkit
  // looks for a display.
  const front::CommandLine asked = front::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (asked.help || asked.version) {
    std::fputs(asked.help ? front::kWindowHelp : "pcinfo " PCINFO_VERSION "\n", stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::optional<app::PlatformStartGuard> guard(std::in_place);
  QApplication application(argc, argv);
  guard.reset();
  browser::AdoptUserLocale();

  // QApplication has taken its own options out of the arguments. They are
  // carried as UTF-8, so that every character of a file name stays.
  std::vector<std::string> args;
  for (const QString& a : QCoreApplication::arguments().mid(1)) args.push_back(a.toStdString());
  const front::CommandLine line = front::ParseCommandLine(args);
  if (!line.error.empty()) {
    std::fprintf(stderr, "pcinfo: %s (see pcinfo --help)\n", line.error.c_str());
    return 2;
  }
  app::InstallQtTranslations(application);

  std::unique_ptr<wmi::Provider> provider;
  try {
    provider = wmi::MakeLiveProvider();
  } catch (const wmi::Error&) {
    provider = std::make_unique<front::NoServiceProvider>();
  }

  const std::filesystem::path beside =
      std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()) / "info";
  const front::InfoFolder info = front::ChooseInfoFolder(beside, front::PerUserInfoFolder());

  // A bad capture is told once; the window then shows this machine.
  std::optional<std::filesystem::path> capture;
  if (line.from) capture = wmi::PathFromUtf8(*line.from);
  const std::unique_ptr<app::FrmWmiInfo> window = app::OpenWindow(*provider, info, capture);
  window->show();
  return application.exec();
}
