#include "app/qt_start.h"

#include <QLibraryInfo>
#include <QString>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>
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

}  // namespace app
