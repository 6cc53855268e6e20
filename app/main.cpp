// pcinfo: the window on the platform's live WMI backend, or on a recorded
// capture:  pcinfo [--from SNAPSHOT]
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <filesystem>
#include <memory>

#include "app/frm_wmi_info.h"
#include "app/info_folder.h"
#include "app/no_service.h"
#include "browser/code_page.h"
#include "wmi/live.h"

namespace {

constexpr char kUsage[] = "pcinfo [--from SNAPSHOT]";

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  browser::AdoptUserLocale();

  // QApplication has taken its own options out of the arguments.
  QString from;
  QString usage_error;
  const QStringList args = QCoreApplication::arguments().mid(1);
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--from") && i + 1 < args.size()) {
      from = args[++i];
    } else if (a.startsWith(QLatin1String("--from="))) {
      from = a.mid(7);
    } else {
      usage_error = QStringLiteral("この引数は使えません: %1\n使い方: %2").arg(a, QString::fromUtf8(kUsage));
      break;
    }
  }

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
  if (info.per_user)
    window.ShowNotice(QStringLiteral("プログラムの info フォルダーに書けないため、ダンプファイルはここに保存します: ") +
                      QString::fromStdU16String(info.path.u16string()));
  if (!usage_error.isEmpty())
    QMessageBox::warning(nullptr, QString::fromUtf8(app::kWindowCaption), usage_error);
  else if (!from.isEmpty())
    window.OpenCapture(from);  // a bad file is told once; the window then shows this machine
  window.Load();
  window.show();
  return application.exec();
}
