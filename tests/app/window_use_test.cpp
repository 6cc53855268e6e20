// The window as people use it: closing and Esc stop a batch, progress and busy
// cursor, Enter on buttons, list boxes that keep their selection, dumps where
// the user can write, saving and finding in the pane, opening a capture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/frm_wmi_info.h"
#include "app/qt_start.h"
#include "browser/catalogue.h"
#include "front/no_service.h"
#include "queries/buttons.h"
#include "tests/app/window_support.h"
#include "tests/support/test_host.h"
#include "wmi/recorded/snapshot.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

const std::string kHeader(90, '-');
using testing_support::App;
using testing_support::Lines;
using testing_support::ReadBytes;

std::string Data(const std::string& file) { return std::string(PCINFO_TEST_DATA) + "/" + file; }

std::size_t FileCount(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

// The captions of the header lines in the pane, in order.
std::vector<std::string> HeaderCaptions(const std::string& text) {
  std::vector<std::string> captions;
  for (const auto& l : Lines(text))
    if (l.size() >= kHeader.size() && l.ends_with(kHeader)) captions.push_back(l.substr(0, l.size() - kHeader.size()));
  return captions;
}

// A window whose message pump runs a test's action first, as if the user
// acted while the operation yields.
class HookedWindow : public app::FrmWmiInfo {
 public:
  using FrmWmiInfo::FrmWmiInfo;
  void Yield() override {
    ++yields;
    if (on_yield) on_yield(yields);
    FrmWmiInfo::Yield();
  }
  int yields = 0;
  std::function<void(int)> on_yield;
};

// Answers the modal dialogs that open while it lives: records the text of
// each message box and closes it; a file dialog is given `file` and accepted.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(QString file = {}) : file_(std::move(file)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start();
  }
  std::vector<QString> messages;
  int file_dialogs = 0;

 private:
  void Answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back(box->text());
      box->done(QMessageBox::Ok);
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      ++file_dialogs;
      if (file_.isEmpty()) {
        dialog->reject();
      } else {
        dialog->selectFile(file_);
        QMetaObject::invokeMethod(dialog, "accept");
      }
    }
  }
  QString file_;
  QTimer timer_;
};

class WindowUse : public testing::Test {
 protected:
  void SetUp() override {
    App();
    const auto* t = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("pcinfo_use_" + std::to_string(::getpid()) + "_" + t->test_suite_name() + "_" + t->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "info");
    info_ = dir_ / "info";
  }
  void TearDown() override {
    window_.reset();
    std::filesystem::remove_all(dir_);
  }

  HookedWindow& Open(const std::string& snapshot = "browser/machine.json") {
    provider_ = wmi::RecordedProvider::FromFile(Data(snapshot));
    return Show();
  }
  // The test machine with every catalogue class present (those it lacks with
  // no instances), so that each dump of a walk writes its file.
  HookedWindow& OpenWithEveryClass() {
    auto snapshot = std::make_shared<wmi::Snapshot>(wmi::LoadSnapshotFile(Data("browser/machine.json")));
    for (std::string_view name : browser::ClassCatalogue())
      if (!snapshot->FindClass("root\\cimv2", name)) snapshot->namespaces[0].classes.push_back({std::string(name), {}});
    provider_ = std::make_unique<wmi::RecordedProvider>(snapshot);
    return Show();
  }
  HookedWindow& Show() {
    window_ = std::make_unique<HookedWindow>(*provider_, info_);
    window_->Load();
    window_->show();
    window_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    return *window_;
  }

  template <class T>
  T* Find(const char* name) {
    return testing_support::FindNamed<T>(*window_, name);
  }
  QListWidget* List1() { return Find<QListWidget>("List1"); }
  std::string PaneText() { return window_->pane().Text(); }
  void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window_.get();
    QTest::keyClick(focus, static_cast<Qt::Key>(key), mods);
  }

  std::filesystem::path dir_, info_;
  std::unique_ptr<wmi::Provider> provider_;
  std::unique_ptr<HookedWindow> window_;
};

// What the status line shows at one yield of a batch.
struct Seen {
  bool bar_visible;
  int value, maximum;
  QString status;
  bool busy;
  bool all_get_enabled;
  bool auto_clear_enabled;
};

Seen Look(app::FrmWmiInfo& w) {
  auto* bar = w.findChild<QProgressBar*>("prgBatch");
  const QCursor* cursor = QApplication::overrideCursor();
  return {bar->isVisible(),
          bar->value(),
          bar->maximum(),
          w.StatusText(),
          cursor && cursor->shape() == Qt::BusyCursor,
          w.findChild<QPushButton*>("cmdAllGet")->isEnabled(),
          w.findChild<QCheckBox*>("chkClear")->isEnabled()};
}

// Closing the window during a batch: the batch stops once the class or button
// at hand is done, and the program's event loop ends.
TEST_F(WindowUse, ClosingTheWindowStopsAutoSaveAndTheProgramEnds) {
  auto& w = OpenWithEveryClass();
  List1()->setCurrentRow(53);  // CIM_Action
  std::filesystem::remove_all(info_);
  std::filesystem::create_directories(info_);
  w.on_yield = [&](int n) {
    if (n == 3) QMetaObject::invokeMethod(&w, "close", Qt::QueuedConnection);
  };
  QTimer::singleShot(0, &w, [&] { Click("Command62"); });
  QTimer::singleShot(60000, [] { QCoreApplication::exit(7); });  // a loop that never ends fails here
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(w.isVisible());
  // Three classes were dumped; the walk ended with the third.
  EXPECT_EQ(FileCount(info_), 3u);
  EXPECT_EQ(List1()->currentRow(), 56);
  EXPECT_EQ(w.yields, 3);
  EXPECT_FALSE(w.BatchRunning());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowUse, ClosingTheWindowStopsAllGetAfterTheButtonAtHand) {
  auto& w = Open();
  window_->SetAutoClearValue(1);
  bool closed = false;
  w.on_yield = [&](int) {
    if (!closed && HeaderCaptions(PaneText()).size() == 5) {
      closed = true;
      QMetaObject::invokeMethod(&w, "close", Qt::QueuedConnection);
    }
  };
  Click("cmdAllGet");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(HeaderCaptions(PaneText()).size(), 5u);
  EXPECT_EQ(window_->AutoClearValue(), 1);  // restored
  EXPECT_TRUE(Find<QPushButton>("cmdAllGet")->isEnabled());
}

TEST_F(WindowUse, AutoSaveShowsHowFarItIsWithABusyCursorAndEscStopsIt) {
  auto& w = OpenWithEveryClass();
  List1()->setCurrentRow(53);
  std::filesystem::remove_all(info_);
  std::filesystem::create_directories(info_);
  std::vector<Seen> seen;
  w.on_yield = [&](int n) {
    seen.push_back(Look(w));
    if (n == 4) Key(Qt::Key_Escape);
  };
  Click("Command62");
  ASSERT_EQ(seen.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const Seen& s = seen[static_cast<std::size_t>(i)];
    EXPECT_TRUE(s.bar_visible) << i;
    EXPECT_EQ(s.value, 55 + i) << i;
    EXPECT_EQ(s.maximum, 1211) << i;
    EXPECT_TRUE(s.status.startsWith(QStringLiteral("AutoSave %1 / 1211 ").arg(55 + i))) << s.status.toStdString();
    EXPECT_TRUE(s.status.contains(List1()->item(54 + i)->text())) << s.status.toStdString();
    EXPECT_TRUE(s.busy) << i;
  }
  EXPECT_EQ(FileCount(info_), 4u);
  EXPECT_EQ(List1()->currentRow(), 57);
  // The end is visible: no bar, no busy cursor; the status line says where
  // the walk stopped.
  const Seen end = Look(w);
  EXPECT_FALSE(end.bar_visible);
  EXPECT_FALSE(end.busy);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(end.status, QStringLiteral("AutoSave: 58 / 1211 で中止"));
  EXPECT_TRUE(w.isVisible());

  // Esc between batches stops nothing later: the next walk runs to the end.
  Key(Qt::Key_Escape);
  List1()->setCurrentRow(1207);
  w.on_yield = nullptr;
  Click("Command62");
  EXPECT_EQ(List1()->currentRow(), 1210);
}

TEST_F(WindowUse, AllGetStaysLiveShowsNOfSixtyAndKeepsItsButtonDisabled) {
  auto& w = Open("browser/rich.json");
  std::vector<Seen> seen;
  std::vector<std::size_t> pane_lines;
  w.on_yield = [&](int) {
    seen.push_back(Look(w));
    pane_lines.push_back(Lines(PaneText()).size());
  };
  const std::size_t before = Lines(PaneText()).size();
  Click("cmdAllGet");
  const std::size_t lines = Lines(PaneText()).size() - before;
  // A yield after each button, and one every 100 lines a button writes.
  ASSERT_EQ(seen.size(), 60u + lines / 100);
  int between_buttons = 0;
  for (const Seen& s : seen) {
    EXPECT_TRUE(s.bar_visible);
    EXPECT_EQ(s.maximum, 60);
    EXPECT_TRUE(s.busy);
    EXPECT_FALSE(s.all_get_enabled);
    EXPECT_FALSE(s.auto_clear_enabled);
    EXPECT_TRUE(s.status.startsWith(QStringLiteral("全自動収集 %1 / 60").arg(s.value))) << s.status.toStdString();
    between_buttons += s.value == between_buttons + 1;
  }
  EXPECT_EQ(between_buttons, 60);
  EXPECT_TRUE(Find<QPushButton>("cmdAllGet")->isEnabled());
  EXPECT_TRUE(Find<QCheckBox>("chkClear")->isEnabled());
  EXPECT_FALSE(Look(w).bar_visible);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowUse, EscDuringAllGetStopsAfterTheButtonAtHand) {
  auto& w = Open();
  w.on_yield = [&](int n) {
    if (n == 2) Key(Qt::Key_Escape);
  };
  const std::string before = PaneText();
  Click("cmdAllGet");
  EXPECT_EQ(HeaderCaptions(PaneText().substr(before.size())),
            (std::vector<std::string>{std::string(queries::FindButton("Command1")->caption),
                                      std::string(queries::FindButton("Command2")->caption)}));
  EXPECT_TRUE(w.isVisible());
}

TEST_F(WindowUse, BatteryButtonWritesWin32BatteryWhateverIsSelected) {
  Open();
  List1()->setCurrentRow(53);  // CIM_Action
  const std::string cim_action = ReadBytes(info_ / "CIM_Action.txt");
  Click("Command63");
  EXPECT_EQ(ReadBytes(info_ / "CIM_Action.txt"), cim_action);
  EXPECT_EQ(Lines(ReadBytes(info_ / "Win32_Battery.txt")).size(), 8u);
}

struct ListCase {
  const char* name;
  const char* list;
  Qt::Key key;  // Qt::Key_unknown: a Ctrl+click on the selected entry
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class WindowListBox : public WindowUse, public testing::WithParamInterface<ListCase> {};

TEST_P(WindowListBox, AlwaysShowsOneSelectedEntry) {
  auto& w = Open();
  w.resize(w.TwipsX(24210), w.height());  // the class browser in view
  auto* list = Find<QListWidget>(GetParam().list);
  if (list == List1()) list->setCurrentRow(5);
  const int row = list->currentRow();
  QListWidgetItem* item = list->item(row);
  list->setFocus();
  if (GetParam().key == Qt::Key_unknown) {
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(item).center());
  } else {
    QTest::keyClick(list, GetParam().key, Qt::ControlModifier);
  }
  EXPECT_EQ(list->currentRow(), row);
  EXPECT_TRUE(item->isSelected());
  EXPECT_EQ(list->selectedItems().size(), 1);
  list->clearSelection();  // from code alike
  EXPECT_TRUE(item->isSelected());
}

INSTANTIATE_TEST_SUITE_P(Lists, WindowListBox,
                         testing::Values(ListCase{"List1CtrlClick", "List1", Qt::Key_unknown},
                                         ListCase{"List1CtrlSpace", "List1", Qt::Key_Space},
                                         ListCase{"List2CtrlClick", "List2", Qt::Key_unknown},
                                         ListCase{"List2CtrlSpace", "List2", Qt::Key_Space}),
                         [](const auto& info) { return std::string(info.param.name); });

struct EnterCase {
  const char* button;
  Qt::Key key;
  const char* first_line;  // the caption of the header the press writes
};

void PrintTo(const EnterCase& c, std::ostream* os) { *os << c.button; }

class WindowEnter : public WindowUse, public testing::WithParamInterface<EnterCase> {};

TEST_P(WindowEnter, OnAFocusedButtonPressesIt) {
  Open();
  window_->SetAutoClearValue(1);
  auto* button = Find<QPushButton>(GetParam().button);
  button->setFocus();
  QTest::keyClick(button, GetParam().key);
  ASSERT_FALSE(PaneText().empty());
  EXPECT_EQ(Lines(PaneText()).front(), GetParam().first_line + kHeader);
}

INSTANTIATE_TEST_SUITE_P(Buttons, WindowEnter,
                         testing::Values(EnterCase{"Command40", Qt::Key_Return, "CPU"},
                                         EnterCase{"Command10", Qt::Key_Enter, "物理ディスクドライブ"},
                                         EnterCase{"Command61", Qt::Key_Return, ""}));

TEST_F(WindowUse, DumpFileFailuresAndTheSaveFolderAreToldInTheStatusLineWithoutABox) {
  auto& w = Open();
  w.ShowNotice(QStringLiteral("保存先: /home/u/.local/share/pcinfo/info"));
  ModalAnswerer answerer;
  w.DumpFileFailed(info_ / "CIM_Action.txt", "disk full");
  w.DumpFileFailed(info_ / "CIM_Battery.txt", "disk full");
  QTest::qWait(20);
  EXPECT_TRUE(answerer.messages.empty());
  EXPECT_TRUE(w.StatusText().contains(QStringLiteral("2 件")));
  EXPECT_TRUE(w.StatusText().contains(QStringLiteral("CIM_Battery.txt: disk full")));
  EXPECT_TRUE(w.StatusText().contains(QStringLiteral("/home/u/.local/share/pcinfo/info")));
  // A batch shows its progress there, and the notice comes back at its end.
  List1()->setCurrentRow(1208);
  Click("Command62");
  EXPECT_TRUE(w.StatusText().contains(QStringLiteral("/home/u/.local/share/pcinfo/info")));
}

// The info folder given to the window, on real folders.
struct FolderCase {
  const char* name;
  std::function<std::filesystem::path(const std::filesystem::path&)> make;  // from the test folder
  bool file_written;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class WindowInfoFolder : public WindowUse, public testing::WithParamInterface<FolderCase> {};

TEST_P(WindowInfoFolder, DumpsStillShowInThePane) {
  const std::filesystem::path info = GetParam().make(dir_);
  provider_ = wmi::RecordedProvider::FromFile(Data("browser/machine.json"));
  window_ = std::make_unique<HookedWindow>(*provider_, info);
  window_->Load();
  window_->show();
  List1()->setCurrentItem(List1()->findItems("Win32_Processor", Qt::MatchExactly).at(0));
  EXPECT_EQ(Lines(PaneText()).size(), 19u);
  EXPECT_EQ(std::filesystem::exists(info / "Win32_Processor.txt"), GetParam().file_written);
  if (GetParam().file_written) {
    EXPECT_EQ(Lines(ReadBytes(info / "Win32_Processor.txt")).size(), 15u);
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, WindowInfoFolder,
                         testing::Values(FolderCase{"MissingIsMade",
                                                    [](const auto& d) { return d / "missing" / "info"; }, true},
                                         FolderCase{"PresentIsUsed", [](const auto& d) { return d / "info"; }, true},
                                         FolderCase{"AFileInTheWay",
                                                    [](const auto& d) {
                                                      std::ofstream(d / "plain").put('x');
                                                      return d / "plain" / "info";
                                                    },
                                                    false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowUse, WhereTheInfoFolderCannotBeMadeDumpsGoToTheUsersFolderAndTheWindowSaysSo) {
  // A file named `info` stands beside the program.
  std::filesystem::create_directories(dir_ / "program");
  std::ofstream(dir_ / "program" / "info") << "x";
  const front::InfoFolder folder =
      front::ChooseInfoFolder(dir_ / "program" / "info", dir_ / "home" / "pcinfo" / "info");
  ASSERT_TRUE(folder.per_user);
  provider_ = wmi::RecordedProvider::FromFile(Data("browser/machine.json"));
  window_ = std::make_unique<HookedWindow>(*provider_, folder.path);
  window_->TellInfoFolder(folder);
  window_->Load();
  window_->show();
  EXPECT_TRUE(window_->StatusText().contains(QString::fromStdString(folder.path.string())))
      << window_->StatusText().toStdString();
  List1()->setCurrentItem(List1()->findItems("Win32_Processor", Qt::MatchExactly).at(0));
  EXPECT_EQ(Lines(ReadBytes(folder.path / "Win32_Processor.txt")).size(), 15u);
  // Told once: a walk's progress takes the line while it runs, and the notice
  // is back, once, at its end.
  List1()->setCurrentRow(1205);
  Click("Command62");
  EXPECT_EQ(window_->StatusText().count(QString::fromStdString(folder.path.string())), 1);
}

TEST_F(WindowUse, CtrlSSavesThePaneAsUtf8WithCrLf) {
  auto& w = Open();
  window_->SetAutoClearValue(0);
  Click("Command40");
  w.pane().AppendMessage("Name:日本語 \"quoted\"");
  const QString target = QString::fromStdString((dir_ / "saved.txt").string());
  ModalAnswerer answerer(target);
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(answerer.file_dialogs, 1);
  EXPECT_TRUE(answerer.messages.empty());
  const std::string saved = ReadBytes(dir_ / "saved.txt");
  EXPECT_EQ(saved, PaneText());
  EXPECT_NE(saved.find("Name:日本語 \"quoted\"\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("\n"), saved.find("\r\n") + 1);
}

TEST_F(WindowUse, SavingWhereNoFileCanBeMadeSaysWhyAndKeepsTheOldFile) {
  auto& w = Open();
  QString error;
  EXPECT_FALSE(w.SavePaneTo(QString::fromStdString((dir_ / "no" / "such" / "x.txt").string()), &error));
  EXPECT_FALSE(error.isEmpty());
  // A save that fails half-way leaves the file as it was: a folder stands
  // where the new file would be renamed to.
  std::filesystem::create_directories(dir_ / "taken.txt" / "inside");
  EXPECT_FALSE(w.SavePaneTo(QString::fromStdString((dir_ / "taken.txt").string()), &error));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "taken.txt" / "inside"));
  // The dialog cancelled: nothing is written, nothing is said.
  ModalAnswerer cancel;
  w.SaveAction()->trigger();
  EXPECT_EQ(cancel.file_dialogs, 1);
  EXPECT_TRUE(cancel.messages.empty());
}

TEST_F(WindowUse, ThePanesContextMenuOffersSaveAndFindWithTheirKeys) {
  Open();
  auto* pane = Find<app::ResultPane>("rtxtMsg");
  std::unique_ptr<QMenu> menu(pane->CreateContextMenu());
  QStringList keys;
  for (QAction* a : menu->actions())
    if (!a->shortcut().isEmpty()) keys << a->shortcut().toString();
  EXPECT_TRUE(keys.contains("Ctrl+S")) << keys.join(",").toStdString();
  EXPECT_TRUE(keys.contains("Ctrl+F")) << keys.join(",").toStdString();
  // The menu's find entry opens the find bar.
  for (QAction* a : menu->actions())
    if (a->shortcut() == QKeySequence::Find) a->trigger();
  EXPECT_TRUE(Find<QWidget>("fraFind")->isVisible());
}

TEST_F(WindowUse, CtrlFFindsNextAndPreviousWrappingAndHighlightsEveryMatch) {
  auto& w = Open();
  window_->SetAutoClearValue(1);
  Click("Command40");  // CPU: two processors
  auto* pane = Find<QPlainTextEdit>("rtxtMsg");
  const int pane_height = pane->height();
  Key(Qt::Key_F, Qt::ControlModifier);
  auto* bar = Find<QWidget>("fraFind");
  auto* box = Find<QLineEdit>("txtFind");
  ASSERT_TRUE(bar->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), box);
  // The pane gives the bar its room: no line is hidden under it.
  EXPECT_EQ(pane->height(), pane_height - bar->height());
  EXPECT_LE(pane->geometry().bottom(), bar->geometry().top());

  QTest::keyClicks(box, "Name: ");
  const QString text = pane->toPlainText();
  std::vector<int> starts;
  for (int at = text.indexOf("Name: "); at >= 0; at = text.indexOf("Name: ", at + 1)) starts.push_back(at);
  ASSERT_GE(starts.size(), 2u);
  EXPECT_EQ(pane->textCursor().selectionStart(), starts[0]);
  EXPECT_EQ(pane->textCursor().selectedText(), "Name: ");
  EXPECT_EQ(pane->extraSelections().size(), static_cast<qsizetype>(starts.size()));
  EXPECT_EQ(Find<QLabel>("lblFind")->text(), QStringLiteral("1 / %1").arg(starts.size()));
  Key(Qt::Key_Return);
  EXPECT_EQ(pane->textCursor().selectionStart(), starts[1]);
  Click("cmdFindPrevious");
  EXPECT_EQ(pane->textCursor().selectionStart(), starts[0]);
  Click("cmdFindPrevious");  // wraps to the last
  EXPECT_EQ(pane->textCursor().selectionStart(), starts.back());
  Click("cmdFindNext");  // and round to the first
  EXPECT_EQ(pane->textCursor().selectionStart(), starts[0]);

  box->setText("no such text");
  EXPECT_FALSE(w.FindInPane(false));
  EXPECT_EQ(Find<QLabel>("lblFind")->text(), QStringLiteral("なし"));
  EXPECT_EQ(box->palette().color(QPalette::Base), QColor(255, 200, 200));

  // Esc closes the bar and gives the pane its height back.
  box->setFocus();
  Key(Qt::Key_Escape);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(pane->height(), pane_height);
  EXPECT_TRUE(pane->extraSelections().isEmpty());
}

// A drop of one local file on the window.
void Drop(QWidget* window, const QString& file) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(file)});
  const QPointF at(window->width() / 2, window->height() / 2);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
}

// Ctrl+I and the pane's menu entry print the summary like a button's output,
// headed "概要" and the header rule, in Japanese.
TEST_F(WindowUse, CtrlIAndThePanesMenuPrintTheSummaryHeadedLikeAButton) {
  auto& w = Open();
  ASSERT_TRUE(w.OpenCapture(QString::fromStdString(Data("desktop.json"))));
  window_->SetAutoClearValue(1);
  QTest::keyClick(&w, Qt::Key_I, Qt::ControlModifier);
  const std::string by_key = PaneText();
  EXPECT_TRUE(by_key.starts_with("概要" + kHeader + "\r\nコンピューター名: DESKTOP-01\r\n")) << by_key;
  EXPECT_NE(by_key.find("筐体: デスクトップ\r\n"), std::string::npos) << by_key;
  std::unique_ptr<QMenu> menu(Find<app::ResultPane>("rtxtMsg")->CreateContextMenu());
  QAction* entry = nullptr;
  for (QAction* a : menu->actions())
    if (a->objectName() == "actSummary") entry = a;
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->shortcut().toString(), "Ctrl+I");
  entry->trigger();
  EXPECT_EQ(PaneText(), by_key);  // auto-clear on: the same summary again
}

TEST_F(WindowUse, ADroppedCaptureIsWhatEveryButtonDumpAndBatchReads) {
  auto& w = Open();
  const QString desktop = QString::fromStdString(Data("desktop.json"));
  Drop(&w, desktop);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("PC情報収集プログラム - desktop.json"));
  EXPECT_EQ(w.CaptureName(), "desktop.json");
  window_->SetAutoClearValue(1);
  Click("Command40");
  EXPECT_NE(PaneText().find("Intel(R) Core(TM) i7-9700"), std::string::npos);
  List1()->setCurrentItem(List1()->findItems("Win32_Processor", Qt::MatchExactly).at(0));
  EXPECT_NE(ReadBytes(info_ / "Win32_Processor.txt").find("i7-9700"), std::string::npos);
  Click("cmdAllGet");
  EXPECT_NE(PaneText().find("i7-9700"), std::string::npos);
  EXPECT_EQ(PaneText().find("Core A"), std::string::npos);  // nothing of the machine before
}

// This machine's WMI answering nothing, counting the connections asked of it.
class CountingMachine : public front::NoServiceProvider {
 public:
  int connections = 0;

 protected:
  std::unique_ptr<wmi::Connection> ConnectNamespace(const std::string& ns) override {
    ++connections;
    return NoServiceProvider::ConnectNamespace(ns);
  }
};

// The window as `pcinfo --from FILE` opens it: the capture, read while the
// window is built, is open before the first dump, which reads it and not this
// machine; a bad one is told once, and the window shows this machine.
TEST_F(WindowUse, TheProgramOpensItsCommandLinesCaptureBeforeTheFirstDump) {
  CountingMachine machine;
  std::unique_ptr<app::FrmWmiInfo> w =
      app::OpenWindow(machine, front::InfoFolder{info_, false}, std::filesystem::path(Data("desktop.json")));
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("PC情報収集プログラム - desktop.json"));
  EXPECT_EQ(machine.connections, 0);
  w.reset();

  ModalAnswerer answerer;
  w = app::OpenWindow(machine, front::InfoFolder{info_, false}, dir_ / "missing.json");
  ASSERT_EQ(answerer.messages.size(), 1u);
  EXPECT_TRUE(answerer.messages[0].contains("missing.json")) << answerer.messages[0].toStdString();
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("PC情報収集プログラム"));
  EXPECT_EQ(machine.connections, 1);
}

struct BadFile {
  const char* name;
  std::function<std::filesystem::path(const std::filesystem::path&)> make;
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class WindowBadCapture : public WindowUse, public testing::WithParamInterface<BadFile> {};

TEST_P(WindowBadCapture, GivesOneMessageAndLeavesTheWindowAsItWas) {
  auto& w = Open();
  Drop(&w, QString::fromStdString(Data("desktop.json")));
  window_->SetAutoClearValue(0);
  const std::size_t start = PaneText().size();
  Click("Command40");
  const std::string pane = PaneText();
  const std::string cpu = pane.substr(start);
  const QString title = w.windowTitle();
  const std::filesystem::path bad = GetParam().make(dir_);
  ModalAnswerer answerer;
  Drop(&w, QString::fromStdString(bad.string()));
  ASSERT_EQ(answerer.messages.size(), 1u);
  EXPECT_TRUE(answerer.messages[0].contains(QString::fromStdString(bad.filename().string())))
      << answerer.messages[0].toStdString();
  EXPECT_EQ(w.windowTitle(), title);
  EXPECT_EQ(PaneText(), pane);
  Click("Command40");  // still the capture opened before
  EXPECT_EQ(PaneText(), pane + cpu);
}

INSTANTIATE_TEST_SUITE_P(Files, WindowBadCapture,
                         testing::Values(BadFile{"Missing", [](const auto& d) { return d / "missing.json"; }},
                                         BadFile{"NotJson",
                                                 [](const auto& d) {
                                                   std::ofstream(d / "picture.png", std::ios::binary)
                                                       << "\x89PNG\r\n\x1a\n";
                                                   return d / "picture.png";
                                                 }},
                                         BadFile{"NotASnapshot",
                                                 [](const auto& d) {
                                                   std::ofstream(d / "other.json") << "{\"namespaces\": [1, 2]}";
                                                   return d / "other.json";
                                                 }},
                                         BadFile{"AFolder",
                                                 [](const auto& d) {
                                                   std::filesystem::create_directories(d / "folder.json");
                                                   return d / "folder.json";
                                                 }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowUse, ACaptureDroppedDuringABatchWaitsForItsEnd) {
  auto& w = Open();
  List1()->setCurrentRow(1205);
  bool opened = true;
  w.on_yield = [&](int n) {
    if (n == 1) opened = w.OpenCapture(QString::fromStdString(Data("desktop.json")));
  };
  Click("Command62");
  EXPECT_FALSE(opened);
  EXPECT_EQ(w.CaptureName(), "");
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("PC情報収集プログラム"));
  EXPECT_TRUE(w.StatusText().contains("desktop.json"));
  EXPECT_TRUE(w.OpenCapture(QString::fromStdString(Data("desktop.json"))));
  EXPECT_FALSE(w.StatusText().contains("desktop.json"));
}

}  // namespace

// A procedure that scrolls to the end leaves the caret at the end of the text
// and the last lines in view, once control is back in the event loop, also
// when the user had put the caret elsewhere, and also for a window that was
// not on screen while it ran (the view follows when it is shown).
TEST_F(WindowUse, ScrollingToTheEndLeavesTheCaretAndTheViewAtTheEnd) {
  auto at_end = [](QPlainTextEdit* pane) {
    QCoreApplication::processEvents();
    QTextCursor end(pane->document());
    end.movePosition(QTextCursor::End);
    const bool caret_at_end = pane->textCursor().position() == end.position() && !pane->textCursor().hasSelection();
    // The last line of text is in view, and the text does not fit: the view did move.
    end.movePosition(QTextCursor::PreviousCharacter);
    return caret_at_end && pane->viewport()->rect().contains(pane->cursorRect(end)) &&
           pane->verticalScrollBar()->value() > 0;
  };
  Open();
  window_->SetAutoClearValue(0);
  auto* pane = Find<QPlainTextEdit>("rtxtMsg");
  for (int i = 0; i < 8; ++i) Click("Command40");  // CPU, a fixed list: scrolls after each instance
  EXPECT_TRUE(at_end(pane));

  QTextCursor start(pane->document());
  pane->setTextCursor(start);
  pane->verticalScrollBar()->setValue(0);
  Click("Command40");
  EXPECT_TRUE(at_end(pane));

  // The same buttons in a window not yet shown.
  const QString shown_text = pane->toPlainText();
  window_ = std::make_unique<HookedWindow>(*provider_, info_);
  window_->Load();
  window_->SetAutoClearValue(0);
  for (int i = 0; i < 9; ++i) QTest::mouseClick(Find<QPushButton>("Command40"), Qt::LeftButton);
  QCoreApplication::processEvents();
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  auto* hidden_pane = Find<QPlainTextEdit>("rtxtMsg");
  EXPECT_TRUE(at_end(hidden_pane));
  EXPECT_EQ(hidden_pane->toPlainText(), shown_text);
}

// The pane keeps its lines in blocks of several lines; the user sees, scrolls,
// selects, copies and finds them line by line, as in a widget that holds each
// line in a block of its own.
TEST_F(WindowUse, ThePaneWorksLineByLineWhateverBlocksItKeepsTheLinesIn) {
  Open();
  window_->SetAutoClearValue(0);
  for (int i = 0; i < 12; ++i) Click("Command40");
  QCoreApplication::processEvents();
  auto* pane = Find<QPlainTextEdit>("rtxtMsg");
  const QString text = pane->toPlainText();
  const auto line_count = text.count(QChar('\n'));
  ASSERT_GT(line_count, 100);
  ASSERT_LT(pane->document()->blockCount(), line_count);  // several lines to a block

  QPlainTextEdit one_per_block;  // the same text, one block per line
  one_per_block.setFont(pane->font());
  one_per_block.setLineWrapMode(QPlainTextEdit::NoWrap);
  one_per_block.setReadOnly(true);
  one_per_block.setTextInteractionFlags(pane->textInteractionFlags());
  one_per_block.resize(pane->size());
  one_per_block.setPlainText(text);
  one_per_block.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&one_per_block));
  ASSERT_EQ(one_per_block.document()->blockCount(), line_count + 1);

  // The scrolling range and what shows at the top at a given scroll position.
  EXPECT_EQ(pane->verticalScrollBar()->maximum(), one_per_block.verticalScrollBar()->maximum());
  for (int value : {0, 37, 70, pane->verticalScrollBar()->maximum()}) {
    pane->verticalScrollBar()->setValue(value);
    one_per_block.verticalScrollBar()->setValue(value);
    EXPECT_EQ(pane->cursorForPosition(QPoint(2, 2)).position(),
              one_per_block.cursorForPosition(QPoint(2, 2)).position())
        << value;
  }

  // A triple click selects one line with its line break.
  auto triple_click = [](QPlainTextEdit* edit, int position) {
    QTextCursor at(edit->document());
    at.setPosition(position);
    edit->setTextCursor(at);
    edit->ensureCursorVisible();
    const QPoint p = edit->cursorRect(at).center();
    QTest::mouseDClick(edit->viewport(), Qt::LeftButton, {}, p);
    QTest::mousePress(edit->viewport(), Qt::LeftButton, {}, p, 10);
    QTest::mouseRelease(edit->viewport(), Qt::LeftButton, {}, p, 10);
    return std::pair(edit->textCursor().selectionStart(), edit->textCursor().selectionEnd());
  };
  for (qsizetype position : {qsizetype{3}, text.indexOf(QChar('\n'), 2000) + 5, text.size() - 4}) {
    const auto selected = triple_click(pane, static_cast<int>(position));
    EXPECT_EQ(selected, triple_click(&one_per_block, static_cast<int>(position))) << position;
    EXPECT_TRUE(text.mid(selected.first, selected.second - selected.first).endsWith(QChar('\n'))) << position;
  }

  // Copying gives line breaks.
  pane->selectAll();
  pane->copy();
  EXPECT_EQ(QApplication::clipboard()->text(), text);

  // A value with a line break, the pane's own line and paragraph separators or
  // a right-to-left override stays on its line, shown escaped: the document's
  // text is the pane's without CR.
  window_->pane().AppendMessage("Description:first\r\nsecond");
  window_->pane().AppendMessage("VolumeName:a\xe2\x80\xa8VolumeSerialNumber: DEADBEEF\xe2\x80\xa9\xe2\x80\xae");
  window_->pane().AppendMessage("Name:x");
  QCoreApplication::processEvents();
  QString without_cr = QString::fromStdString(window_->pane().Text());
  without_cr.remove(QChar('\r'));
  EXPECT_EQ(pane->toPlainText(), without_cr);
  EXPECT_TRUE(pane->toPlainText().endsWith(
      "Description:first\\r\\nsecond\nVolumeName:a\\u2028VolumeSerialNumber: DEADBEEF\\u2029\\u202e\nName:x\n"));

  // A selection of more than one line is not taken as the text to find.
  window_->ShowFindBar();
  auto* box = Find<QLineEdit>("txtFind");
  box->setText("Name");
  QTextCursor two_lines(pane->document());
  two_lines.setPosition(static_cast<int>(text.indexOf(QChar('\n'), 500)) - 2);
  two_lines.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 4);
  pane->setTextCursor(two_lines);
  window_->ShowFindBar();
  EXPECT_EQ(box->text(), "Name");
}
