// Renders the window on a recorded machine to a PNG, for the documentation:
//   app_screenshot SNAPSHOT OUTPUT.png [--wide] [--find TEXT] [CommandN...]
//   app_screenshot SNAPSHOT OUTPUT.png --autosave FROM_CLASS AT_CLASS
// The window starts as usual; the named buttons are then clicked in order.
// --wide widens it to its design width, showing the class browser; --find
// opens the find bar and finds TEXT.
// --autosave selects FROM_CLASS, presses AutoSave and takes the picture while
// the walk dumps AT_CLASS, with its progress showing; the walk then stops.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/frm_wmi_info.h"
#include "wmi/recorded/snapshot.h"

namespace {

// The window that takes the picture from inside the AutoSave walk.
class WalkingWindow : public app::FrmWmiInfo {
 public:
  using FrmWmiInfo::FrmWmiInfo;
  void BatchProgress(int step, int total) override {
    FrmWmiInfo::BatchProgress(step, total);
    auto* list = findChild<QListWidget*>("List1");
    if (!at_class.isEmpty() && step >= 1 && list->item(step - 1)->text() == at_class) take = true;
  }
  void Yield() override {
    FrmWmiInfo::Yield();
    if (take && !taken) {
      taken = true;
      saved = grab().save(output, "PNG");
      close();  // stops the walk
    }
  }
  QString at_class, output;
  bool take = false, taken = false, saved = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: app_screenshot SNAPSHOT OUTPUT.png [--wide] [CommandN...]\n"
                 "       app_screenshot SNAPSHOT OUTPUT.png --autosave FROM_CLASS AT_CLASS\n");
    return 2;
  }
  auto provider = wmi::RecordedProvider::FromFile(argv[1]);
  const auto info = std::filesystem::temp_directory_path() / "pcinfo_screenshot_info";
  std::filesystem::create_directories(info);
  WalkingWindow window(*provider, info);
  window.output = QString::fromLocal8Bit(argv[2]);
  window.Load();
  window.show();
  int status = 1;
  if (argc == 6 && std::string_view(argv[3]) == "--autosave") {
    auto* list = window.findChild<QListWidget*>("List1");
    const auto from = list->findItems(QString::fromUtf8(argv[4]), Qt::MatchExactly);
    window.at_class = QString::fromUtf8(argv[5]);
    if (from.size() != 1 || list->findItems(window.at_class, Qt::MatchExactly).size() != 1) {
      std::fprintf(stderr, "app_screenshot: no such class\n");
      return 2;
    }
    list->setCurrentItem(from.front());
    QTimer::singleShot(300, [&] {
      window.findChild<QPushButton*>("Command62")->click();
      status = window.saved ? 0 : 1;
      application.quit();
    });
    application.exec();
    std::filesystem::remove_all(info);
    return status;
  }
  for (int i = 3; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--wide") {
      window.resize(window.TwipsX(24210), window.height());
    } else if (std::string_view(argv[i]) == "--find" && i + 1 < argc) {
      window.ShowFindBar();
      window.findChild<QLineEdit*>("txtFind")->setText(QString::fromUtf8(argv[++i]));
      window.FindInPane(false);
    } else if (auto* b = window.findChild<QPushButton*>(argv[i])) {
      b->click();
    }
  }
  QTimer::singleShot(500, [&] {
    status = window.grab().save(window.output, "PNG") ? 0 : 1;
    application.quit();
  });
  application.exec();
  std::filesystem::remove_all(info);
  return status;
}
