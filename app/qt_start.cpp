#include "app/qt_start.h"

#include <QLibraryInfo>
#include <QString>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace app {

namespace {

std::vector<std::string> waiting;  // messages while a guard lives
QtMessageHandler previous = nullptr;

void Hold(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fputs(kNoDisplay, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::_Exit(2);
  }
  waiting.push_back(message.toLocal8Bit().toStdString());
}

}  // namespace

PlatformStartGuard::PlatformStartGuard() { previous = qInstallMessageHandler(Hold); }

PlatformStartGuard::~PlatformStartGuard() {
  qInstallMessageHandler(previous);
  for (const std::string& m : waiting) std::fprintf(stderr, "%s\n", m.c_str());
  waiting.clear();
}

bool InstallQtTranslations(QCoreApplication& application, const QLocale& locale) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* qt = new QTranslator(&application);
  if (!qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
      !qt->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
    delete qt;
    return false;
  }
  QCoreApplication::installTranslator(qt);
  return true;
}

std::unique_ptr<FrmWmiInfo> OpenWindow(wmi::Provider& provider, const front::InfoFolder& info,
                                       const std::optional<std::filesystem::path>& capture) {
  std::future<std::unique_ptr<wmi::Provider>> reading;
  if (capture) {
    auto read = [file = *capture] { return front::Form::ReadCapture(file); };
    try {
      reading = std::async(std::launch::async, read);
    } catch (const std::system_error&) {  // no thread to be had: read it when it is opened
      reading = std::async(std::launch::deferred, read);
    }
  }
  auto window = std::make_unique<FrmWmiInfo>(provider, info.path);
  window->TellInfoFolder(info);
  if (capture) window->OpenCapture(*capture, [&reading] { return reading.get(); });
  window->LoadForShow();
  return window;
}

}  // namespace app
