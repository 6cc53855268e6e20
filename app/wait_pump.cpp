#include "app/wait_pump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

namespace app {

WaitPump::WaitPump(QWidget& window) : QObject(&window), window_(window) { window_.installEventFilter(this); }

bool WaitPump::KeepWaiting() {
  if (closed_) return false;
  // Esc counts only when pressed during a wait: the application's filter is
  // there just for this pump.
  escape_ = false;
  pumping_ = true;
  QCoreApplication::instance()->installEventFilter(this);
  QCoreApplication::processEvents();
  QCoreApplication::instance()->removeEventFilter(this);
  pumping_ = false;
  return !escape_ && !closed_;
}

bool WaitPump::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && event->type() == QEvent::Close) closed_ = true;
  if (pumping_ && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && (widget == &window_ || window_.isAncestorOf(widget))) {
      escape_ = true;
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace app
