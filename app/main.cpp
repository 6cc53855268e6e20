// pcinfo: the window on the platform's live WMI backend, or on a recorded
// capture:  pcinfo [--from SNAPSHOT]
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/frm_wmi_info.h"
#include "browser/code_page.h"
#include "front/command_line.h"
#include "front/info_folder.h"
#include "front/no_service.h"
#include "wmi/live.h"
#include "wmi/utf8_path.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  browser::AdoptUserLocale();

  // QApplication has taken its own options out of the arguments. They are
  // carried as UTF-8, so that every character of a file name stays.
  std::vector<std::string> args;
  for (const QString& a : QCoreApplication::arguments().mid(1)) args.push_back(a.toStdString());
  const front::CommandLine line = front::ParseCommandLine(args);

  std::unique_ptr<wmi::Provider> provider;
  try {
    provider = wmi::MakeLiveProvider();
  } catch (const wmi::Error&) {
    provider = std::make_unique<front::NoServiceProvider>();
  }

  const std::filesystem::path beside =
      std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()) / "info";
  const front::InfoFolder info = front::ChooseInfoFolder(beside, front::PerUserInfoFolder());

  app::FrmWmiInfo window(*provider, info.path);
  window.TellInfoFolder(info);
  if (!line.error.empty())
    QMessageBox::warning(
        nullptr, QString::fromUtf8(app::kWindowCaption),
        QString::fromStdString(line.error) + QStringLiteral("\n使い方: ") + QString::fromUtf8(front::kWindowUsage));
  else if (line.from)
    window.OpenCapture(wmi::PathFromUtf8(*line.from));  // a bad file is told once; the window then shows this machine
  window.Load();
  window.show();
  return application.exec();
}
