// pcinfo: the window on the platform's live WMI backend, or on a recorded
// capture:  pcinfo [--from SNAPSHOT]
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/frm_wmi_info.h"
#include "app/info_folder.h"
#include "app/no_service.h"
#include "browser/code_page.h"
#include "wmi/live.h"

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
  QApplication application(argc, argv);
  browser::AdoptUserLocale();

  // QApplication has taken its own options out of the arguments.
  std::vector<std::string> args;
  for (const QString& a : QCoreApplication::arguments().mid(1)) args.push_back(QFile::encodeName(a).toStdString());
  const app::CommandLine line = app::ParseCommandLine(args);

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
  if (!line.error.empty())
    QMessageBox::warning(
        nullptr, QString::fromUtf8(app::kWindowCaption),
        QString::fromLocal8Bit(line.error) + QStringLiteral("\n使い方: ") + QString::fromUtf8(app::kWindowUsage));
  else if (line.from)
    window.OpenCapture(QFile::decodeName(
        QByteArray::fromStdString(*line.from)));  // a bad file is told once; the window then shows this machine
  window.Load();
  window.show();
  return application.exec();
}
