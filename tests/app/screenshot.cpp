// Renders the window on a recorded machine to a PNG, for the documentation:
//   app_screenshot SNAPSHOT OUTPUT.png [--wide] [CommandN...]
// The window starts as usual; the named buttons are then clicked in order.
// --wide widens it to its design width, showing the class browser.
#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "app/frm_wmi_info.h"
#include "wmi/recorded/snapshot.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: app_screenshot SNAPSHOT OUTPUT.png [CommandN...]\n");
    return 2;
  }
  auto provider = wmi::RecordedProvider::FromFile(argv[1]);
  const auto info = std::filesystem::temp_directory_path() / "pcinfo_screenshot_info";
  std::filesystem::create_directories(info);
  app::FrmWmiInfo window(*provider, info);
  window.Load();
  window.show();
  for (int i = 3; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--wide")
      window.resize(window.TwipsX(24210), window.height());
    else if (auto* b = window.findChild<QPushButton*>(argv[i]))
      b->click();
  }
  int status = 1;
  QTimer::singleShot(500, [&] {
    status = window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
    application.quit();
  });
  application.exec();
  std::filesystem::remove_all(info);
  return status;
}
