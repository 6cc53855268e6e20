// The window during a query whose provider keeps it waiting: the message pump
// runs between tries, Esc stops the wait, closing the window stops every wait.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "app/frm_wmi_info.h"
#include "browser/browser.h"
#include "wmi/error.h"
#include "wmi/provider.h"

// Font configuration keeps caches for the life of the process; the leak
// checker is told not to count them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_wait_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// A provider whose every result set waits: each try runs the wait hook, as
// the Windows backend does after each timed-out IEnumWbemClassObject::Next.
class StalledProvider : public wmi::Provider {
 public:
  int tries = 0;
  std::function<void(int)> on_try;  // before the hook of try n runs

 protected:
  std::unique_ptr<wmi::Connection> ConnectNamespace(const std::string&) override {
    return std::make_unique<Connection>(*this);
  }

 private:
  class Results : public wmi::ResultSet {
   public:
    explicit Results(StalledProvider& p) : p_(p) {}
    std::optional<wmi::Instance> Next() override {
      for (;;) {
        ++p_.tries;
        if (p_.tries > 10000) return std::nullopt;  // the test failed to stop it
        if (p_.on_try) p_.on_try(p_.tries);
        if (!p_.wait_hook()->KeepWaiting()) throw wmi::Error(wmi::ErrorCode::Cancelled, "stopped");
      }
    }

   private:
    StalledProvider& p_;
  };
  class Connection : public wmi::Connection {
   public:
    explicit Connection(StalledProvider& p) : p_(p) {}
    std::unique_ptr<wmi::ResultSet> ExecQuery(std::string_view, int) override { return std::make_unique<Results>(p_); }
    std::unique_ptr<wmi::ResultSet> InstancesOf(std::string_view, int) override {
      return std::make_unique<Results>(p_);
    }

   private:
    StalledProvider& p_;
  };
};

class Wait : public testing::Test {
 protected:
  void SetUp() override {
    App();
    window_ = std::make_unique<app::FrmWmiInfo>(provider_, std::filesystem::temp_directory_path() / "pcinfo-wait-none");
    window_->show();
    QApplication::processEvents();
  }
  void Click(const char* control) {
    auto* button = window_->findChild<QPushButton*>(control);
    ASSERT_NE(button, nullptr) << control;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  void PostEscape() {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window_.get();
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  }
  std::string PaneText() { return window_->pane().Text(); }

  StalledProvider provider_;
  std::unique_ptr<app::FrmWmiInfo> window_;
};

const std::string kSeparatorLine = std::string(31, '-') + "\r\n";

TEST_F(Wait, TheWindowRunsItsEventsDuringTheWaitAndEscStopsIt) {
  int timer_runs = 0;
  provider_.on_try = [&](int n) {
    if (n == 1) QTimer::singleShot(0, [&] { ++timer_runs; });
    if (n == 5) PostEscape();
  };
  Click("Command10");
  EXPECT_EQ(provider_.tries, 5);
  EXPECT_EQ(timer_runs, 1);  // an event queued during the wait ran during it
  // The stopped query ends as a failed one: its header, then one separator.
  EXPECT_TRUE(PaneText().ends_with(std::string(90, '-') + "\r\n" + kSeparatorLine)) << PaneText();
}

TEST_F(Wait, AnEscapePressedBeforeTheWaitDoesNotStopIt) {
  PostEscape();
  QApplication::processEvents();
  provider_.on_try = [&](int n) {
    if (n == 10) PostEscape();
  };
  Click("Command10");
  EXPECT_EQ(provider_.tries, 10);
}

TEST_F(Wait, ClosingTheWindowStopsThisWaitAndEveryLaterOne) {
  provider_.on_try = [&](int n) {
    if (n == 3) QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
  };
  Click("Command10");
  EXPECT_EQ(provider_.tries, 3);
  EXPECT_FALSE(window_->isVisible());
  provider_.on_try = nullptr;
  browser::Command63Click(*window_);  // a dump started after the close
  EXPECT_EQ(provider_.tries, 4);      // one try, no wait
}

TEST_F(Wait, TheHookIsTakenBackWhenTheWindowGoes) {
  window_.reset();
  int calls = 0;
  provider_.on_try = [&](int n) {
    ++calls;
    if (n == 3) provider_.SetWaitHook([] { return false; });
  };
  // The provider outlives the window: its waits no longer reach it.
  EXPECT_TRUE(provider_.wait_hook()->KeepWaiting());
  EXPECT_THROW(provider_.Connect("winmgmts:")->ExecQuery("Select * from Win32_BIOS")->Next(), wmi::Error);
  EXPECT_EQ(calls, 3);
}

}  // namespace
