#include "app/wait_pump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

namespace app {

WaitPump::WaitPump(QWidget& window) : QObject(&window), window_(window) { window_.installEventFilter(this); }

bool WaitPump::KeepWaiting() {
  if (closed_) return false;
  // Esc counts only when pressed during a wait: the application's filter is
  // there just for this pump. A wait begun by an event of this pump (a
  // nested one) has its own Esc, and leaves the filter to the outer wait.
  const bool outer_pumping = pumping_;
  const bool outer_escape = escape_;
  escape_ = false;
  pumping_ = true;
  if (!outer_pumping) QCoreApplication::instance()->installEventFilter(this);
  QCoreApplication::processEvents();
  if (!outer_pumping) QCoreApplication::instance()->removeEventFilter(this);
  pumping_ = outer_pumping;
  const bool stop = escape_;
  escape_ = outer_escape;
  return !stop && !closed_;
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
