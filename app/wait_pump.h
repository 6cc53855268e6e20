// The window's side of a wait on a slow WMI provider (the provider's wait
// hook): while a query waits, the window repaints and takes input, Esc stops
// that wait, and once the window is closed no wait goes on.
#pragma once

#include <QObject>
#include <QWidget>

namespace app {

class WaitPump : public QObject {
 public:
  // Watches `window` for its close from now on; `window` outlives the pump.
  explicit WaitPump(QWidget& window);

  // Runs the message pump once. False when Esc was pressed in the window
  // during that pump, or the window has been closed.
  bool KeepWaiting();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  bool pumping_ = false;
  bool escape_ = false;
  bool closed_ = false;
};

}  // namespace app
