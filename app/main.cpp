// pcinfo: the window on the platform's live WMI backend, or on a recorded
// capture:  pcinfo [--from] [SNAPSHOT] | --help | --version
#include <QApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/frm_wmi_info.h"
#include "app/info_folder.h"
#include "app/no_service.h"
#include "app/qt_start.h"
#include "browser/code_page.h"
#include "wmi/live.h"

#ifndef PCINFO_VERSION
#define PCINFO_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  // --help and --version are answered on the terminal, before the toolkit
  // looks for a display.
  const app::CommandLine asked = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (asked.help || asked.version) {
    std::fputs(asked.help ? app::kWindowHelp : "pcinfo " PCINFO_VERSION "\n", stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::optional<app::PlatformStartGuard> guard(std::in_place);
  QApplication application(argc, argv);
  guard.reset();
  browser::AdoptUserLocale();

  // QApplication has taken its own options out of the arguments.
  std::vector<std::string> args;
  for (const QString& a : QCoreApplication::arguments().mid(1)) args.push_back(QFile::encodeName(a).toStdString());
  const app::CommandLine line = app::ParseCommandLine(args);
  if (!line.error.empty()) {
    std::fprintf(stderr, "pcinfo: %s (see pcinfo --help)\n", line.error.c_str());
    return 2;
  }
  app::InstallQtTranslations(application);

  std::unique_ptr<wmi::Provider> provider;
  try {
    provider = wmi::MakeLiveProvider();
  } catch (const wmi::Error&) {
    provider = std::make_unique<app::NoServiceProvider>();
  }

  const std::filesystem::path beside =
      std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()) / "info";
  const app::InfoFolder info = app::ChooseInfoFolder(beside, app::PerUserInfoFolder());

  app::FrmWmiInfo window(*provider, info.path);
  window.TellInfoFolder(info);
  if (line.from)
    window.OpenCapture(QFile::decodeName(
        QByteArray::fromStdString(*line.from)));  // a bad file is told once; the window then shows this machine
  window.Load();
  window.show();
  return application.exec();
}
