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
  // Esc reaches the window as a shortcut (the window's own Esc, which stops a
  // batch) or else as a key press: either way it stops this wait. The
  // shortcut still runs, so that a batch waiting here stops as well.
  const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
  if (pumping_ && key && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && (widget == &window_ || window_.isAncestorOf(widget))) {
      escape_ = true;
      return event->type() == QEvent::KeyPress;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace app
