// The window as it first shows: class entries drawn whole, the class list's
// find field, Qt's own texts in the user's language.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/frm_wmi_info.h"
#include "app/qt_start.h"
#include "app/result_pane.h"
#include "front/captions.h"
#include "tests/app/window_support.h"
#include "wmi/recorded/snapshot.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// The window, stopping a batch with Esc at the step `stop_at`.
class StoppingWindow : public app::FrmWmiInfo {
 public:
  using FrmWmiInfo::FrmWmiInfo;
  void BatchProgress(int step, int total) override {
    FrmWmiInfo::BatchProgress(step, total);
    if (step == stop_at) Escape();
  }
  int stop_at = -1;
};

class Look : public testing::Test {
 protected:
  void SetUp() override {
    testing_support::App();
    info_ = std::filesystem::temp_directory_path() / ("pcinfo_look_" + std::to_string(::getpid()));
    std::filesystem::create_directories(info_);
    provider_ = wmi::RecordedProvider::FromFile(std::string(PCINFO_TEST_DATA) + "/browser/rich.json");
    window_ = std::make_unique<StoppingWindow>(*provider_, info_);
    window_->Load();
    window_->resize(window_->TwipsX(24210), window_->height());
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    std::filesystem::remove_all(info_);
  }
  QListWidget* List1() { return testing_support::FindNamed<QListWidget>(*window_, "List1"); }

  std::unique_ptr<wmi::Provider> provider_;
  std::unique_ptr<StoppingWindow> window_;
  std::filesystem::path info_;
};

// How much ink each pixel row of `image` holds.
std::vector<int> InkByRow(const QImage& image) {
  std::vector<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    int ink = 0;
    for (int x = 0; x < image.width(); ++x) ink += 255 - qGray(image.pixel(x, y));
    rows.push_back(ink);
  }
  return rows;
}

// The rows from the first inked one to the last.
std::vector<int> Inked(std::vector<int> rows) {
  while (!rows.empty() && rows.back() == 0) rows.pop_back();
  rows.erase(rows.begin(), std::find_if(rows.begin(), rows.end(), [](int ink) { return ink > 0; }));
  return rows;
}

// An entry on screen holds every row of ink its text has when drawn freely,
// the underscore included, with a clear row above and below: the underscore
// does not touch the next entry.
TEST_F(Look, ClassEntriesShowTheirWholeText) {
  QListWidget* list = List1();
  for (const char* name : {"CIM_Action", "__ACE", "Win32_PerfRawData_Tcpip_TCPv4", "Win32_Battery"}) {
    auto items = list->findItems(QString::fromUtf8(name), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name;
    list->scrollToItem(items[0]);
    const QRect entry = list->visualItemRect(items[0]);
    const QImage shown = list->viewport()->grab(entry).toImage();

    QImage free(entry.width(), entry.height() * 4, QImage::Format_RGB32);
    free.fill(Qt::white);
    QPainter painter(&free);
    painter.setFont(list->font());
    painter.setPen(list->palette().color(QPalette::Text));
    painter.drawText(QPoint(4, entry.height() * 2), items[0]->text());
    painter.end();

    const std::vector<int> rows = InkByRow(shown);
    EXPECT_EQ(rows.front(), 0) << name << ": ink in the entry's top row";
    EXPECT_EQ(rows.back(), 0) << name << ": ink in the entry's bottom row";
    const std::vector<int> want = Inked(InkByRow(free)), got = Inked(rows);
    ASSERT_EQ(got.size(), want.size()) << name << ": rows of ink";
    for (std::size_t y = 0; y < want.size(); ++y)
      EXPECT_NEAR(got[y], want[y], want[y] / 10 + 255) << name << ": ink row " << y;
  }
}

TEST_F(Look, TheFindFieldShowsTheClassesContainingItsTextAndEnterDumpsTheFirst) {
  QListWidget* list = List1();
  auto* filter = testing_support::FindNamed<QLineEdit>(*window_, "txtClassFilter");
  ASSERT_NE(filter, nullptr);
  EXPECT_LT(filter->geometry().bottom(), list->geometry().top());
  const std::string before = window_->pane().Text();
  QTest::keyClicks(filter, "bATTery");
  std::vector<QString> shown;
  for (int i = 0; i < list->count(); ++i)
    if (!list->isRowHidden(i)) shown.push_back(list->item(i)->text());
  EXPECT_EQ(shown,
            (std::vector<QString>{"CIM_AssociatedBattery", "CIM_Battery", "Win32_Battery", "Win32_PortableBattery"}));
  EXPECT_EQ(window_->pane().Text(), before);  // typing dumps nothing

  QTest::keyClick(filter, Qt::Key_Return);
  EXPECT_EQ(list->currentItem()->text(), "CIM_AssociatedBattery");
  EXPECT_EQ(window_->focusWidget(), list);

  filter->setFocus();
  filter->selectAll();
  QTest::keyClicks(filter, "32_BATT");
  QTest::keyClick(filter, Qt::Key_Down);
  EXPECT_EQ(window_->SelectedClass(), "Win32_Battery");
  // Dumped as a click dumps: to the pane and to its file.
  EXPECT_NE(window_->pane().Text(), before);
  EXPECT_EQ(testing_support::ReadBytes(info_ / "Win32_Battery.txt").empty(), false);

  filter->setFocus();
  QTest::keyClick(filter, Qt::Key_Escape);
  EXPECT_EQ(filter->text(), "");
  for (int i = 0; i < list->count(); ++i) ASSERT_FALSE(list->isRowHidden(i)) << i;
}

// Every caption is read whole on its control in the proportional UI face, or
// else its control gives it as a tooltip and, focused, in the status line.
TEST_F(Look, EveryCaptionIsReadWholeOnItsControlOrInItsTooltip) {
  auto check = [&](const char* font) -> int {
    int cut = 0;
    for (const front::CaptionPlace& p : front::CaptionPlaces()) {
      auto* w = testing_support::FindNamed<QWidget>(*window_, std::string(p.control).c_str());
      if (!w) return -1;
      const QString caption = QString::fromUtf8(p.caption.data(), static_cast<qsizetype>(p.caption.size()));
      // The text's room: the button's contents, the check box's text, the label.
      QStyleOptionButton option;
      option.initFrom(w);
      option.text = caption;
      const int room = p.kind == front::CaptionPlace::Kind::Button
                           ? w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w).width()
                       : p.kind == front::CaptionPlace::Kind::CheckBox
                           ? w->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, w).width()
                           : w->contentsRect().width();
      const bool fits = w->fontMetrics().horizontalAdvance(caption) <= room;
      cut += fits ? 0 : 1;
      EXPECT_EQ(w->toolTip(), fits ? QString() : caption) << font << ": " << p.control;
      EXPECT_EQ(w->width(), window_->TwipsX(p.width)) << p.control;
      if (fits) continue;
      w->setFocus();
      EXPECT_TRUE(window_->StatusText().startsWith(caption)) << p.control;
      window_->setFocus();
      EXPECT_FALSE(window_->StatusText().contains(caption)) << p.control;
    }
    return cut;
  };
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->CaptionsMarked(); }));  // once drawn
  auto* button = testing_support::FindNamed<QPushButton>(*window_, "Command48");
  EXPECT_FALSE(QFontInfo(button->font()).fixedPitch());
  EXPECT_TRUE(QFontDatabase::writingSystems(QFontInfo(button->font()).family()).contains(QFontDatabase::Japanese));
  const int cut = check("the UI face");
  std::printf("captions cut in the UI face at %d dpi: %d\n", window_->logicalDpiX(), cut);
  // A face too large for the form cuts many; each is then told.
  QFont large = window_->font();
  large.setPointSize(14);
  window_->setFont(large);
  window_->MarkCutCaptions();
  EXPECT_GT(check("14 point"), 20);
}

// After a batch the pane shows its last output; a batch stopped short says
// where it stopped; the count is shown once, in the status text.
TEST_F(Look, ABatchEndsWithItsLastOutputInViewAndAStopSaysWhere) {
  auto* pane = testing_support::FindNamed<QPlainTextEdit>(*window_, "rtxtMsg");
  auto* bar = testing_support::FindNamed<QProgressBar>(*window_, "prgBatch");
  EXPECT_FALSE(bar->isTextVisible());
  window_->SetAutoClearValue(0);
  QTest::mouseClick(testing_support::FindNamed<QPushButton>(*window_, "cmdAllGet"), Qt::LeftButton);
  QCoreApplication::processEvents();
  EXPECT_GT(pane->verticalScrollBar()->maximum(), 0);
  QTextCursor end(pane->document());
  end.movePosition(QTextCursor::End);
  end.movePosition(QTextCursor::Up);  // the last line (the text ends with a line break)
  EXPECT_TRUE(pane->viewport()->rect().contains(pane->cursorRect(end))) << pane->verticalScrollBar()->value();
  EXPECT_EQ(window_->StatusText(), "");

  window_->stop_at = 7;
  QTest::mouseClick(testing_support::FindNamed<QPushButton>(*window_, "cmdAllGet"), Qt::LeftButton);
  EXPECT_EQ(window_->StatusText(), QString::fromUtf8("全自動収集: 7 / 60 で中止"));
  window_->stop_at = -1;
  List1()->setCurrentRow(1200);
  QTest::mouseClick(testing_support::FindNamed<QPushButton>(*window_, "Command62"), Qt::LeftButton);
  EXPECT_EQ(window_->StatusText(), "");  // a new batch, run to its end
}

TEST(QtTexts, FollowTheUsersLanguageAndJapaneseWhereQtHasNone) {
  QApplication& application = testing_support::App();
  ASSERT_TRUE(app::InstallQtTranslations(application, QLocale::c()));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QString::fromUtf8("アドレス:"));
  app::ResultPane pane;
  std::unique_ptr<QMenu> menu(pane.CreateContextMenu());
  QStringList texts;
  for (QAction* a : menu->actions()) texts << a->text().section(QChar('\t'), 0, 0);
  EXPECT_TRUE(texts.contains(QString::fromUtf8("コピー(&C)"))) << texts.join(' ').toStdString();
  EXPECT_TRUE(texts.contains(QString::fromUtf8("すべてを選択"))) << texts.join(' ').toStdString();
}

}  // namespace
