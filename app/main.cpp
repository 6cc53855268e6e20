// pcinfo: the window on the platform's live WMI backend.
#include <QApplication>
#include <filesystem>
#include <memory>

#include "app/frm_wmi_info.h"
#include "app/no_service.h"
#include "browser/code_page.h"
#include "wmi/live.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  browser::AdoptUserLocale();

  std::unique_ptr<wmi::Provider> provider;
  try {
    provider = wmi::MakeLiveProvider();
  } catch (const wmi::Error&) {
    provider = std::make_unique<app::NoServiceProvider>();
  }

  const std::filesystem::path info =
      std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()) / "info";
  app::FrmWmiInfo window(*provider, info);
  window.Load();
  window.show();
  return application.exec();
}
