#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/class_list.h"
#include "app/frm_wmi_info.h"
#include "browser/code_page.h"
#include "front/layout.h"
#include "front/no_service.h"
#include "queries/buttons.h"
#include "tests/app/window_support.h"
#include "tests/support/golden.h"
#include "tests/support/test_host.h"
#include "wmi/recorded/snapshot.h"

// Font configuration keeps caches for the life of the process; the leak
// checker is told not to count them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

const std::string kHeader(90, '-');
const std::string kSeparator(31, '-');

std::string Data(const std::string& file) { return std::string(PCINFO_TEST_DATA) + "/browser/" + file; }

using testing_support::App;
using testing_support::Lines;
using testing_support::ReadBytes;

// The window on a recorded machine, its `info` folder a fresh temporary one.
class Window : public testing::Test {
 protected:
  void SetUp() override { App(); }
  void TearDown() override {
    window_.reset();
    if (!info_.empty()) std::filesystem::remove_all(info_);
  }

  std::filesystem::path FreshInfo() {
    const auto* t = testing::UnitTest::GetInstance()->current_test_info();
    info_ = std::filesystem::temp_directory_path() /
            ("pcinfo_app_" + std::to_string(::getpid()) + "_" + t->test_suite_name() + "_" + t->name());
    std::filesystem::remove_all(info_);
    std::filesystem::create_directories(info_);
    return info_;
  }

  app::FrmWmiInfo& Open(std::unique_ptr<wmi::Provider> provider, std::optional<std::filesystem::path> info = {}) {
    provider_ = std::move(provider);
    window_ = std::make_unique<app::FrmWmiInfo>(*provider_, info ? *info : FreshInfo());
    window_->Load();
    window_->show();
    return *window_;
  }
  app::FrmWmiInfo& OpenMachine(const std::string& file = "machine.json") {
    return Open(wmi::RecordedProvider::FromFile(Data(file)));
  }

  template <class T>
  T* Find(const char* name) {
    return testing_support::FindNamed<T>(*window_, name);
  }
  QListWidget* List1() { return Find<QListWidget>("List1"); }
  std::string PaneText() { return window_->pane().Text(); }

  // A user's click on an entry of the class list.
  void ClickEntry(const QString& name) {
    QListWidget* list = List1();
    auto items = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name.toStdString();
    list->scrollToItem(items[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items[0]).center());
    ASSERT_EQ(list->currentItem(), items[0]);
  }

  std::unique_ptr<wmi::Provider> provider_;
  std::unique_ptr<app::FrmWmiInfo> window_;
  std::filesystem::path info_;
};

TEST_F(Window, StartUpSelectsTheFirstClassAndCimv2AndOpensNarrow) {
  auto& w = OpenMachine();
  EXPECT_EQ(w.objectName(), "frmWMIInfo");
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("PC情報収集プログラム"));
  QListWidget* list1 = List1();
  ASSERT_EQ(list1->count(), 1211);
  EXPECT_EQ(list1->currentRow(), 0);
  EXPECT_TRUE(list1->item(0)->isSelected());
  EXPECT_EQ(list1->item(0)->text(), "__AbsoluteTimerInstruction");
  EXPECT_EQ(list1->item(1210)->text(), "Win32_WMISetting");
  QListWidget* list2 = Find<QListWidget>("List2");
  ASSERT_EQ(list2->count(), 1);
  EXPECT_EQ(list2->currentItem()->text(), "cimv2");
  EXPECT_TRUE(list2->currentItem()->isSelected());

  // 16665 twips wide: the class browser lies beyond the visible width.
  EXPECT_EQ(w.frameGeometry().width(), 16665 * w.logicalDpiX() / 1440);
  for (const char* name : {"Command61", "List2", "List1", "Command62"})
    EXPECT_GE(Find<QWidget>(name)->geometry().left(), w.width()) << name;
  EXPECT_LE(Find<QWidget>("rtxtMsg")->geometry().right(), w.width());

  // The start-up dump ran with the empty namespace, which the machine lacks.
  EXPECT_EQ(Lines(PaneText()), (std::vector<std::string>{kHeader, kSeparator}));
  // The start-up dump's query fails (no namespace is selected yet): no file.
  EXPECT_FALSE(std::filesystem::exists(info_ / "__AbsoluteTimerInstruction.txt"));
  EXPECT_EQ(Find<QCheckBox>("chkClear")->checkState(), Qt::Checked);
  EXPECT_TRUE(Find<QWidget>("rtxtMsg")->isVisible());
}

// Every named control of the window in creation order: name, parent, kind,
// rectangle in twips (left, top, width, height; pixels at the window's DPI
// turned back into twips) and, for buttons, labels and the check box, the caption.
std::string LayoutDump(const QWidget& window) {
  std::ostringstream out;
  out << "# " << window.objectName().toStdString()
      << ": control, parent, kind, left top width height (twips), caption\n";
  auto tx = [&](int px) { return px * 1440 / window.logicalDpiX(); };
  auto ty = [&](int px) { return px * 1440 / window.logicalDpiY(); };
  for (const QWidget* c : window.findChildren<QWidget*>()) {
    const QString name = c->objectName();
    if (name.isEmpty() || name.startsWith("qt_")) continue;
    const QRect g = c->geometry();
    out << name.toStdString() << '\t' << c->parentWidget()->objectName().toStdString() << '\t'
        << c->metaObject()->className() << '\t' << tx(g.left()) << ' ' << ty(g.top()) << ' ' << tx(g.width()) << ' '
        << ty(g.height());
    QString caption;
    if (auto* b = qobject_cast<const QAbstractButton*>(c)) caption = b->text();
    if (auto* l = qobject_cast<const QLabel*>(c)) caption = l->text();
    if (!caption.isEmpty()) out << '\t' << caption.toStdString();
    out << '\n';
  }
  return out.str();
}

TEST_F(Window, LayoutMatchesTheGoldenDump) {
  auto& w = OpenMachine();
  // The find bar is built when first opened; closed again, it keeps its place.
  EXPECT_EQ(w.findChild<QWidget*>("fraFind"), nullptr);
  w.FindAction()->trigger();
  w.findChild<QPushButton*>("cmdFindClose")->click();
  ASSERT_FALSE(w.findChild<QWidget*>("fraFind")->isVisible());
  testing_support::ExpectMatchesGolden("app/window.layout.txt", LayoutDump(w));
}

// The form's controls in the order Tab walks them.
std::vector<std::string> TabChain(const QWidget& window) {
  std::vector<std::string> chain;
  const auto order = front::TabOrder();
  for (const QWidget* c = window.nextInFocusChain(); c != &window; c = c->nextInFocusChain())
    if (std::find(order.begin(), order.end(), c->objectName().toStdString()) != order.end())
      chain.push_back(c->objectName().toStdString());
  return chain;
}

// Tab walks the form's controls in the order both windows make them.
TEST_F(Window, TabWalksTheControlsInTheFormsOrder) {
  auto& w = OpenMachine();
  const auto order = front::TabOrder();
  EXPECT_EQ(TabChain(w), std::vector<std::string>(order.begin(), order.end()));
}

TEST_F(Window, HoldsEveryCategoryButtonWithItsCaptionInEighteenGroups) {
  OpenMachine();
  for (const queries::Button& b : queries::Buttons()) {
    auto* button = Find<QPushButton>(std::string(b.control).c_str());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text().toStdString(), b.caption) << b.control;
    // Each button sits in the frame whose label carries the button's group.
    auto* frame = qobject_cast<QFrame*>(button->parentWidget());
    ASSERT_NE(frame, nullptr) << b.control;
    QString label_name = frame->objectName().replace("Picture", "Label");
    auto* label = frame->findChild<QLabel*>(label_name);
    ASSERT_NE(label, nullptr) << b.control;
    EXPECT_EQ(label->text().toStdString(), b.group) << b.control;
    EXPECT_EQ(label->palette().color(QPalette::Window), QColor(192, 255, 192));
  }
  EXPECT_EQ(window_->findChildren<QFrame*>(QRegularExpression("^Picture\\d+$")).size(), 18);
  EXPECT_EQ(Find<QPushButton>("cmdAllGet")->text(), QString::fromUtf8("全自動収集"));
  EXPECT_EQ(Find<QCheckBox>("chkClear")->text(), QString::fromUtf8("自動クリア"));
  EXPECT_EQ(Find<QPushButton>("Command61")->text(), QString::fromUtf8("テスト"));
  EXPECT_EQ(Find<QPushButton>("Command62")->text(), "AutoSave");
}

TEST_F(Window, HintAndPaneUseAJapaneseGothicNinePointFont) {
  OpenMachine();
  auto* text2 = Find<QPlainTextEdit>("Text2");
  EXPECT_EQ(text2->toPlainText(), QString::fromUtf8("取得可能な情報が列挙されています。必要に応じて利用してください。\n"
                                                    "ボタンを押すと、情報が表示されます。\n"));
  EXPECT_TRUE(text2->isReadOnly());
  EXPECT_EQ(text2->palette().color(QPalette::Base), QColor(192, 255, 192));
  for (const char* name : {"Text2", "rtxtMsg"}) {
    QWidget* w = Find<QWidget>(name);
    EXPECT_EQ(w->font().pointSize(), 9) << name;
    // The face actually used has the Japanese glyphs.
    QString family = QFontInfo(w->font()).family();
    EXPECT_TRUE(QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) << family.toStdString();
  }
  EXPECT_TRUE(Find<QPlainTextEdit>("rtxtMsg")->isReadOnly());
}

TEST_F(Window, ClickOnAClassDumpsItFromCimv2) {
  OpenMachine();
  ClickEntry("Win32_Processor");
  auto lines = Lines(PaneText());
  ASSERT_EQ(lines.size(), 1u + 3 * 6);  // auto-clear is on
  EXPECT_EQ(lines[0], kHeader);
  EXPECT_EQ(lines[2], "DeviceID:CPU0");
  EXPECT_EQ(lines[18], "PowerManagementSupported:False");
  EXPECT_EQ(Lines(ReadBytes(info_ / "Win32_Processor.txt")).size(), 15u);
  EXPECT_EQ(ReadBytes(info_ / "Win32_Processor.txt").substr(0, 17), "\"DeviceID:CPU0\"\r\n");
  EXPECT_TRUE(Find<QWidget>("List2")->isEnabled());
  EXPECT_TRUE(Find<QWidget>("Command61")->isEnabled());
  // The pane holds exactly what its widget shows.
  EXPECT_EQ(Find<QPlainTextEdit>("rtxtMsg")->toPlainText().toStdString() + "", [&] {
    std::string t = PaneText();
    std::string out;
    for (char c : t)
      if (c != '\r') out += c;
    return out;
  }());
}

TEST_F(Window, AppendingAddsAtTheEndWithoutRewritingTheDocument) {
  OpenMachine();
  auto* pane = Find<QPlainTextEdit>("rtxtMsg");
  QCoreApplication::processEvents();
  struct Change {
    int from, removed, added;
  };
  std::vector<Change> changes;
  QObject::connect(pane->document(), &QTextDocument::contentsChange, [&](int from, int removed, int added) {
    changes.push_back({from, removed, added});
  });
  const int end = pane->document()->characterCount() - 1;  // without the final paragraph mark
  window_->pane().AppendMessage("Name:日本");
  window_->pane().AppendMessage("ab");
  // The pane's text has both lines at once; the document gets them together
  // when control returns to the event loop.
  EXPECT_TRUE(PaneText().ends_with("\r\nName:日本\r\nab\r\n"));
  QCoreApplication::processEvents();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].from, end);
  EXPECT_EQ(changes[0].removed, 0);
  EXPECT_EQ(changes[0].added, 11);  // seven characters, a line break, two characters, a line break
  EXPECT_TRUE(pane->toPlainText().endsWith(QStringLiteral("\nName:日本\nab\n")));
}

TEST_F(Window, ClickOnTheSelectedClassDumpsItAgain) {
  OpenMachine();
  ClickEntry("CIM_Action");
  window_->SetAutoClearValue(0);
  ClickEntry("CIM_Action");
  EXPECT_EQ(Lines(PaneText()), (std::vector<std::string>{kHeader, kSeparator, "ActionID:a1", "Caption:Null", kHeader,
                                                         kSeparator, "ActionID:a1", "Caption:Null"}));
  // Setting the same selection from code is no change and runs nothing.
  List1()->setCurrentRow(List1()->currentRow());
  EXPECT_EQ(Lines(PaneText()).size(), 8u);
}

TEST_F(Window, AutoClearSwitchDecidesWhetherOutputAccumulates) {
  OpenMachine();
  auto* chk = Find<QCheckBox>("chkClear");
  auto* cpu = Find<QPushButton>("Command40");
  QTest::mouseClick(cpu, Qt::LeftButton);
  const std::string once = PaneText();
  EXPECT_EQ(once.rfind("CPU" + kHeader, 0), 0u);  // cleared, then the header
  QTest::mouseClick(cpu, Qt::LeftButton);
  EXPECT_EQ(PaneText(), once);

  QTest::mouseClick(chk, Qt::LeftButton);  // untick
  EXPECT_EQ(window_->AutoClearValue(), 0);
  QTest::mouseClick(cpu, Qt::LeftButton);
  EXPECT_EQ(PaneText(), once + once);

  window_->SetAutoClearValue(2);  // grayed counts as not ticked
  EXPECT_EQ(chk->checkState(), Qt::PartiallyChecked);
  QTest::mouseClick(cpu, Qt::LeftButton);
  EXPECT_EQ(PaneText(), once + once + once);
  QTest::mouseClick(chk, Qt::LeftButton);  // a click from grayed ticks it
  EXPECT_EQ(window_->AutoClearValue(), 1);
  QTest::mouseClick(chk, Qt::LeftButton);
  EXPECT_EQ(window_->AutoClearValue(), 0);
}

TEST_F(Window, BatteryButtonWritesTheBatteryFileInTheCodePage) {
  OpenMachine();
  ClickEntry("CIM_Action");
  const std::string cim_action = ReadBytes(info_ / "CIM_Action.txt");
  QTest::mouseClick(Find<QPushButton>("Command63"), Qt::LeftButton);
  const std::vector<std::string> lines{"Caption:内部バッテリー",
                                       "Name:Bat \"A\"",
                                       "Status:Null",
                                       "PowerManagementCapabilities:1",
                                       "PowerManagementCapabilities:3",
                                       "PowerManagementCapabilities:4",
                                       "DesignVoltage:12000",
                                       "Chemistry:6"};
  std::string bytes;
  for (const auto& l : lines) bytes += "\"" + browser::ToAnsi(l) + "\"\r\n";
  EXPECT_EQ(ReadBytes(info_ / "Win32_Battery.txt"), bytes);
  EXPECT_EQ(ReadBytes(info_ / "CIM_Action.txt"), cim_action);  // the selected class's file is left alone
  auto pane = Lines(PaneText());
  ASSERT_EQ(pane.size(), 2u + lines.size());
  EXPECT_EQ(pane[0], kHeader);
}

struct OutcomeCase {
  const char* name;
  const char* entry;
  std::vector<std::string> pane;
  bool file_written;  // a failed query writes no file
};

void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name << ": " << c.entry; }

class WindowDumpOutcome : public Window, public testing::WithParamInterface<OutcomeCase> {};

TEST_P(WindowDumpOutcome, LeavesAnEmptyFile) {
  OpenMachine();
  ClickEntry(GetParam().entry);
  EXPECT_EQ(Lines(PaneText()), GetParam().pane);
  auto file = info_ / (std::string(GetParam().entry) + ".txt");
  ASSERT_EQ(std::filesystem::exists(file), GetParam().file_written);
  EXPECT_EQ(ReadBytes(file), "");
}

INSTANTIATE_TEST_SUITE_P(Dumps, WindowDumpOutcome,
                         testing::Values(OutcomeCase{"NoInstances", "Win32_Fan", {kHeader}, true},
                                         OutcomeCase{
                                             "ClassTheMachineLacks", "Win32_TapeDrive", {kHeader, kSeparator}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A window that counts its yields and records what the controls show then.
class CountingWindow : public app::FrmWmiInfo {
 public:
  using FrmWmiInfo::FrmWmiInfo;
  void Yield() override {
    ++yields;
    pane_hidden.push_back(findChild<QWidget*>("rtxtMsg")->isHidden());
    list2_enabled.push_back(findChild<QWidget*>("List2")->isEnabled());
    FrmWmiInfo::Yield();
  }
  int yields = 0;
  std::vector<bool> pane_hidden, list2_enabled;
};

TEST_F(Window, DumpOfTwoHundredFiftyPropertiesYieldsTwice) {
  auto snapshot = std::make_shared<wmi::Snapshot>();
  std::vector<wmi::Property> props;
  for (int i = 0; i < 250; ++i) props.push_back({"P" + std::to_string(i), wmi::Value(i)});
  snapshot->namespaces.push_back({"root\\cimv2", {{"Win32_Processor", {wmi::Instance(props)}}}});
  provider_ = std::make_unique<wmi::RecordedProvider>(snapshot);
  auto counting = std::make_unique<CountingWindow>(*provider_, FreshInfo());
  CountingWindow& w = *counting;
  window_ = std::move(counting);
  w.Load();
  w.show();
  EXPECT_EQ(w.yields, 0);  // the start-up dump fails at once
  ClickEntry("Win32_Processor");
  EXPECT_EQ(w.yields, 2);
  EXPECT_EQ(w.pane_hidden, (std::vector<bool>{true, true}));
  EXPECT_EQ(w.list2_enabled, (std::vector<bool>{false, false}));
  EXPECT_FALSE(w.findChild<QWidget*>("rtxtMsg")->isHidden());
  EXPECT_EQ(Lines(PaneText()).size(), 252u);
}

TEST_F(Window, AClickWaitingDuringADumpRunsItsDumpAtTheYield) {
  auto snapshot = std::make_shared<wmi::Snapshot>();
  std::vector<wmi::Property> props;
  for (int i = 0; i < 150; ++i) props.push_back({"P" + std::to_string(i), wmi::Value(i)});
  snapshot->namespaces.push_back({"root\\cimv2",
                                  {{"Win32_Processor", {wmi::Instance(props)}},
                                   {"Win32_Process", {wmi::Instance({{"ActionID", wmi::Value("a1")}})}}}});
  Open(std::make_unique<wmi::RecordedProvider>(snapshot));
  window_->SetAutoClearValue(0);
  QListWidget* list = List1();
  // Win32_Process stands right before Win32_Processor: both in view.
  QListWidgetItem* processor = list->findItems("Win32_Processor", Qt::MatchExactly).at(0);
  QListWidgetItem* process = list->findItems("Win32_Process", Qt::MatchExactly).at(0);
  list->scrollToItem(processor, QAbstractItemView::PositionAtCenter);
  const QPoint at = list->visualItemRect(process).center();
  // The user's click waits in the queue while the dump of Win32_Processor runs.
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
    QCoreApplication::postEvent(
        list->viewport(), new QMouseEvent(type, QPointF(at), list->viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton,
                                          Qt::LeftButton, Qt::NoModifier));
  list->setCurrentItem(processor);
  auto lines = Lines(PaneText());
  // Start-up output (2 lines), then header, separator and 100 properties of
  // Win32_Processor, the whole Win32_Process dump, and the last 50 properties.
  ASSERT_EQ(lines.size(), 2u + 2 + 100 + 3 + 50);
  EXPECT_EQ(lines[103], "P99:99");
  EXPECT_EQ(lines[104], kHeader);
  EXPECT_EQ(lines[106], "ActionID:a1");
  EXPECT_EQ(lines[107], "P100:100");
  EXPECT_EQ(list->currentItem(), process);
  EXPECT_EQ(Lines(ReadBytes(info_ / "Win32_Processor.txt")).size(), 150u);
  EXPECT_EQ(ReadBytes(info_ / "Win32_Process.txt"), "\"ActionID:a1\"\r\n");
  EXPECT_TRUE(Find<QWidget>("List2")->isEnabled());
  EXPECT_TRUE(Find<QWidget>("Command61")->isEnabled());
}

TEST_F(Window, MissingInfoFolderIsMadeAndTheDumpSaved) {
  auto missing = FreshInfo() / "info";
  Open(wmi::RecordedProvider::FromFile(Data("machine.json")), missing);
  ClickEntry("Win32_Processor");
  EXPECT_EQ(Lines(PaneText()).size(), 19u);
  EXPECT_EQ(Lines(ReadBytes(missing / "Win32_Processor.txt")).size(), 15u);
}

TEST_F(Window, StartsWithoutAWmiServiceAndEveryButtonGivesHeaderAndSeparator) {
  Open(std::make_unique<front::NoServiceProvider>());
  QTest::mouseClick(Find<QPushButton>("Command10"), Qt::LeftButton);
  EXPECT_EQ(Lines(PaneText()), (std::vector<std::string>{"物理ディスクドライブ" + kHeader, kSeparator}));
}

TEST_F(Window, AllGetRestoresTheSwitchAndAppendsSixtyOutputs) {
  OpenMachine("rich.json");
  for (int value : {0, 1, 2}) {
    window_->SetAutoClearValue(value);
    const std::string before = PaneText();
    QTest::mouseClick(Find<QPushButton>("cmdAllGet"), Qt::LeftButton);
    EXPECT_EQ(window_->AutoClearValue(), value);
    EXPECT_TRUE(Find<QPushButton>("cmdAllGet")->isEnabled());
    const std::string after = PaneText();
    ASSERT_EQ(after.rfind(before, 0), 0u) << "earlier output kept, value " << value;
    std::vector<std::string> captions;
    for (const auto& l : Lines(after.substr(before.size())))
      if (l.size() >= kHeader.size() && l.ends_with(kHeader))
        captions.push_back(l.substr(0, l.size() - kHeader.size()));
    ASSERT_EQ(captions.size(), 60u);
    for (int n = 1; n <= 60; ++n)
      EXPECT_EQ(captions[static_cast<std::size_t>(n - 1)], queries::FindButton("Command" + std::to_string(n))->caption);
  }
}

TEST_F(Window, EveryButtonRunsOnARichMachine) {
  OpenMachine("rich.json");
  window_->SetAutoClearValue(0);
  for (const queries::Button& b : queries::Buttons()) {
    const std::size_t before = PaneText().size();
    QTest::mouseClick(Find<QPushButton>(std::string(b.control).c_str()), Qt::LeftButton);
    const std::string added = PaneText().substr(before);
    EXPECT_EQ(added.rfind((b.control == "Command63" ? "" : std::string(b.caption)) + kHeader, 0), 0u) << b.control;
  }
  QTest::mouseClick(Find<QPushButton>("cmdAllGet"), Qt::LeftButton);
  QTest::mouseClick(Find<QPushButton>("Command61"), Qt::LeftButton);
  List1()->setCurrentRow(1205);
  QTest::mouseClick(Find<QPushButton>("Command62"), Qt::LeftButton);
  EXPECT_EQ(List1()->currentRow(), 1210);
  EXPECT_TRUE(std::filesystem::exists(info_ / "Win32_WMISetting.txt"));
  EXPECT_NE(ReadBytes(info_ / "Win32_WMISetting.txt").find("\"AutorecoverMofs:%windir%"), std::string::npos);
  // AutoSave with the last entry selected does nothing.
  const std::string before = PaneText();
  QTest::mouseClick(Find<QPushButton>("Command62"), Qt::LeftButton);
  EXPECT_EQ(PaneText(), before);
  EXPECT_EQ(List1()->currentRow(), 1210);
}

}  // namespace

// The class list sizes its entries by one size: each entry takes the place,
// and the list the scrolling range, that sizing every entry on its own gives.
// Until the window has been drawn, each stands where it will, at least as wide.
TEST_F(Window, ClassListEntriesTakeThePlaceTheirOwnSizesGive) {
  auto& w = OpenMachine();
  QListWidget* list1 = List1();
  QListWidget own;  // the same entries, each asked for its own size
  own.setFont(list1->font());
  own.setItemDelegate(new app::WholeTextDelegate(&own));
  own.resize(list1->size());
  for (int i = 0; i < list1->count(); ++i) own.addItem(list1->item(i)->text());
  own.show();
  ASSERT_FALSE(w.ClassListSized());
  for (int row : {0, 1, 600, 1210}) {
    const QRect before = list1->visualItemRect(list1->item(row)), whole = own.visualItemRect(own.item(row));
    EXPECT_EQ(before.top(), whole.top()) << row;
    EXPECT_EQ(before.height(), whole.height()) << row;
    EXPECT_GE(before.width(), whole.width()) << row;
  }
  EXPECT_EQ(list1->verticalScrollBar()->maximum(), own.verticalScrollBar()->maximum());
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.ClassListSized(); }));  // once drawn
  QCoreApplication::processEvents();
  EXPECT_EQ(list1->horizontalScrollBar()->maximum(), own.horizontalScrollBar()->maximum());
  EXPECT_GT(list1->horizontalScrollBar()->maximum(), 0);  // the longest names are wider than the list
  EXPECT_EQ(list1->verticalScrollBar()->maximum(), own.verticalScrollBar()->maximum());
  for (int row : {0, 1, 600, 1210}) {
    list1->scrollToTop();
    own.scrollToTop();
    EXPECT_EQ(list1->visualItemRect(list1->item(row)), own.visualItemRect(own.item(row))) << row;
  }
}

// As the program opens it, the window dumps the first class as ever but makes
// the class browser, beyond its width, only once it has been drawn, or at once
// when anything wants it before: the window widened onto it, the browser
// asking for it. Made, it is as Load makes it: every class in, the first and
// cimv2 selected, and the controls in the form's order, places and tab order.
TEST_F(Window, TheProgramsWindowMakesTheClassBrowserOnceDrawnOrWhenWanted) {
  const std::string first_dump = (OpenMachine(), PaneText());
  const std::string layout = LayoutDump(*window_);
  const std::vector<std::string> tab_chain = TabChain(*window_);
  enum Want { kDrawn, kWidened, kBrowser };
  for (Want want : {kDrawn, kWidened, kBrowser}) {
    SCOPED_TRACE(want);
    window_.reset();
    window_ = std::make_unique<app::FrmWmiInfo>(*provider_, info_);
    app::FrmWmiInfo& w = *window_;
    w.LoadForShow();
    EXPECT_EQ(w.findChild<QWidget*>("List1"), nullptr);
    EXPECT_EQ(PaneText(), first_dump);
    EXPECT_FALSE(w.ClassListSized());
    switch (want) {
      case kDrawn:
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.ClassListSized(); }));
        break;
      case kWidened:
        w.show();
        ASSERT_FALSE(w.ClassListSized());
        w.resize(w.TwipsX(front::kDesignWidth), w.height());
        break;
      case kBrowser:
        EXPECT_EQ(w.ClassCount(), 1211);
        break;
    }
    EXPECT_TRUE(w.ClassListSized());
    QListWidget* list1 = List1();
    ASSERT_EQ(list1->count(), 1211);
    EXPECT_EQ(list1->item(1210)->text(), "Win32_WMISetting");
    EXPECT_EQ(list1->currentRow(), 0);
    EXPECT_TRUE(list1->item(0)->isSelected());
    EXPECT_EQ(w.SelectedNamespace(), "cimv2");
    EXPECT_EQ(PaneText(), first_dump);  // no second dump
    for (const char* name : {"Command61", "List2", "List1", "txtClassFilter", "Command62"})
      EXPECT_TRUE(Find<QWidget>(name)->isVisibleTo(&w)) << name;
    EXPECT_EQ(LayoutDump(w), layout);
    EXPECT_EQ(TabChain(w), tab_chain);
  }
}
