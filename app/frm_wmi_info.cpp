#include "app/frm_wmi_info.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <functional>
#include <initializer_list>
#include <span>

#include "app/class_list.h"
#include "browser/browser.h"
#include "browser/catalogue.h"
#include "front/captions.h"
#include "front/layout.h"
#include "queries/buttons.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/utf8_path.h"

namespace app {

using front::ControlRect;
using front::Group;
using front::GroupButton;
using front::Groups;
using front::Rect;

namespace {

const QColor kLightGreen(front::kLightGreen.red, front::kLightGreen.green, front::kLightGreen.blue);

void FillBackground(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, colour);
  p.setColor(QPalette::Base, colour);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

// Collects the names and gives them to the list in one insertion: one
// insertion of 1211 rows, not 1211 insertions of one.
class ListAdapter : public browser::ClassListBox {
 public:
  explicit ListAdapter(QListWidget& list) : list_(list) {}
  ~ListAdapter() override { list_.addItems(names_); }
  void AddItem(std::string_view name) override {
    names_.push_back(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }

 private:
  QListWidget& list_;
  QStringList names_;
};

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The one local file a drag carries, or "".
QString DroppedFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
  const QUrl url = mime->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

std::string EntryText(QListWidget* list) {
  QListWidgetItem* item = list->currentRow() < 0 ? nullptr : list->item(list->currentRow());
  return item ? item->text().toStdString() : std::string();
}

// Every entry of `list` is one line of text in the list's font: the list lays
// them out by one size, as high as an entry and as wide as the widest, instead
// of asking each of its entries for its own size when it is first shown.
// Qt takes the one size from the last entry.
void UniformEntrySize(QListWidget& list) {
  if (list.count() == 0) return;
  QListWidgetItem* last = list.item(list.count() - 1);
  last->setData(Qt::SizeHintRole, QVariant());  // the last entry is measured as the others
  // Sizing an entry lays out its text. The sums of the characters' advances,
  // kept per character, find the few entries near the widest (the advances add
  // up to the laid-out width but for kerning); the widest of those by its
  // laid-out text is the one entry sized as the list would size it.
  const QFontMetricsF metrics(list.font());
  std::map<char16_t, qreal> advance;
  std::vector<std::pair<qreal, int>> rough;  // sum of advances, row
  rough.reserve(static_cast<std::size_t>(list.count()));
  for (int i = 0; i < list.count(); ++i) {
    qreal sum = 0;
    for (QChar c : list.item(i)->text()) {
      auto [it, added] = advance.try_emplace(c.unicode(), 0);
      if (added) it->second = metrics.horizontalAdvance(c);
      sum += it->second;
    }
    rough.emplace_back(sum, i);
  }
  const qreal rough_widest = std::max_element(rough.begin(), rough.end())->first;
  int widest_row = -1;
  qreal widest = -1;
  for (const auto& [sum, row] : rough)
    if (sum >= rough_widest * 0.95) {
      if (const qreal w = metrics.horizontalAdvance(list.item(row)->text()); w > widest) {
        widest = w;
        widest_row = row;
      }
    }
  last->setSizeHint(list.sizeHintForIndex(list.model()->index(widest_row, 0)));
  list.setUniformItemSizes(true);
  list.doItemsLayout();
}

// Until the list is measured: its entries as high as they will be (the
// shortest name measured alone) and at least as wide (the longest name in the
// font's widest character): entries stand where they will, and each shows
// whole. Measuring every character of the names is then left until the window
// has been drawn; the list lies beyond the window's width when it opens.
void ProvisionalEntrySize(QListWidget& list) {
  if (list.count() == 0) return;
  int shortest = 0;
  qsizetype shortest_length = list.item(0)->text().size(), longest = shortest_length;
  for (int i = 1; i < list.count(); ++i) {
    const qsizetype length = list.item(i)->text().size();
    if (length < shortest_length) {
      shortest = i;
      shortest_length = length;
    }
    longest = std::max(longest, length);
  }
  QSize size = list.sizeHintForIndex(list.model()->index(shortest, 0));
  size.rwidth() += static_cast<int>(longest) * QFontMetrics(list.font()).maxWidth();
  list.item(list.count() - 1)->setSizeHint(size);
  list.setUniformItemSizes(true);
}

// Tells `changed` when the widget it watches takes or loses the focus.
class FocusWatcher : public QObject {
 public:
  FocusWatcher(std::function<void(bool)> changed, QObject* parent) : QObject(parent), changed_(std::move(changed)) {
    setObjectName(QStringLiteral("pcinfoFocusWatcher"));
    parent->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
      changed_(event->type() == QEvent::FocusIn);
    return false;
  }

 private:
  std::function<void(bool)> changed_;
};

#ifndef _WIN32
// The first installed face of `families`, alone; all of them when none is. A
// font of one family loads that face and asks the font configuration for
// fallbacks only when a character is missing from it; a font of several asks
// at once for every script its text has.
QStringList FirstInstalled(const QStringList& families) {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : families)
    if (installed.contains(family, Qt::CaseInsensitive)) return {family};
  return families;
}
#endif

}  // namespace

QFont UiFont() {
#ifdef _WIN32
  return QApplication::font();  // the system's own
#else
  static const QStringList families =
      FirstInstalled({QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic")});
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(front::kGothicPoints);
  return font;
#endif
}

QFont GothicFont() {
  QFont font;
#ifdef _WIN32
  font.setFamilies({QString::fromUtf8(front::kGothicFace), QStringLiteral("MS Gothic")});
#else
  static const QStringList families = FirstInstalled(
      {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
       QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL Gothic"), QString::fromUtf8(front::kGothicFace)});
  font.setFamilies(families);
#endif
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSize(front::kGothicPoints);
  return font;
}

int AutoClearBox::Value() const {
  switch (checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    default:
      return 0;
  }
}

void AutoClearBox::SetValue(int value) {
  setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Whatever clears the selection (code included), the current entry stays
  // selected: the program reads the current entry.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (selectedItems().isEmpty() && currentItem()) currentItem()->setSelected(true);
  });
}

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const {
  const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
  if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) return QItemSelectionModel::NoUpdate;
  return flags;
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    if (isEnabled()) click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void AutoClearBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

FrmWmiInfo::FrmWmiInfo(wmi::Provider& provider, std::filesystem::path info, QWidget* parent)
    : QWidget(parent), front::Form(provider, std::move(info)), provider_(provider) {
  setObjectName("frmWMIInfo");
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  // The program's one window gives its face to everything it opens (dialogs,
  // menus, tooltips), and Qt's default face is then never loaded: an empty
  // text document lays itself out in the application's font once.
  if (QApplication::font() != UiFont()) QApplication::setFont(UiFont());
  setFont(UiFont());
  setAcceptDrops(true);
  BuildControls();
  BuildStatusLine();
  BuildFindBar();
  resize(TwipsX(front::kDesignWidth), TwipsY(front::kDesignHeight));
  wait_pump_ = new WaitPump(*this);
  provider_.SetWaitHook([this] { return wait_pump_->KeepWaiting(); });
}

FrmWmiInfo::~FrmWmiInfo() {
  provider_.SetWaitHook(nullptr);
  // The controls go after the form's own part: the focus moving among them
  // then must tell the status line nothing.
  for (QObject* watcher : findChildren<QObject*>(QStringLiteral("pcinfoFocusWatcher"))) delete watcher;
  if (BatchRunning()) QGuiApplication::restoreOverrideCursor();
}

int FrmWmiInfo::TwipsX(int twips) const { return front::TwipsToPixels(twips, logicalDpiX()); }
int FrmWmiInfo::TwipsY(int twips) const { return front::TwipsToPixels(twips, logicalDpiY()); }

QRect FrmWmiInfo::Place(int left, int top, int width, int height) const {
  const int dpi_x = logicalDpiX(), dpi_y = logicalDpiY();
  return QRect(front::TwipsToPixels(left, dpi_x), front::TwipsToPixels(top, dpi_y), front::TwipsToPixels(width, dpi_x),
               front::TwipsToPixels(height, dpi_y));
}

void FrmWmiInfo::PlaceControl(QWidget* w, std::string_view name) {
  w->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  const Rect& r = *ControlRect(name);
  w->setGeometry(Place(r.left, r.top, r.width, r.height));
}

void FrmWmiInfo::BuildControls() {
  text2_ = new QPlainTextEdit(this);
  PlaceControl(text2_, "Text2");
  text2_->setFont(GothicFont());
  text2_->setReadOnly(true);
  // The text goes to the document alone: the widget would lay its first line
  // out at once to show the caret, at a width it has not yet taken, and again
  // when shown; the document lays it out when first painted.
  text2_->document()->setPlainText(QString::fromUtf8(front::kHint).remove(QChar('\r')));
  text2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text2_->setAcceptDrops(false);  // a dropped capture goes to the window
  FillBackground(text2_, kLightGreen);

  for (const Group& g : Groups()) {
    auto* frame = new QFrame(this);
    frame->setObjectName(QString::fromUtf8(g.frame.data(), static_cast<qsizetype>(g.frame.size())));
    frame->setGeometry(Place(g.rect.left, g.rect.top, g.rect.width, g.rect.height));
    frame->setFrameShape(QFrame::Box);
    auto* label = new QLabel(QString::fromUtf8(g.caption.data(), static_cast<qsizetype>(g.caption.size())), frame);
    label->setObjectName(QString::fromUtf8(g.label.data(), static_cast<qsizetype>(g.label.size())));
    label->setGeometry(Place(front::kLabelOffset, front::kLabelOffset, g.rect.width, front::kLabelHeight));
    FillBackground(label, kLightGreen);
    for (const GroupButton& b : g.buttons) {
      const queries::Button* row = queries::FindButton(b.control);
      auto* button = new CommandButton(FromUtf8(row->caption), frame);
      button->setObjectName(QString::fromUtf8(b.control.data(), static_cast<qsizetype>(b.control.size())));
      button->setGeometry(Place(b.left, b.top, b.width, front::kButtonHeight));
      connect(button, &QPushButton::clicked, this, [this, row] { browser::RunCategoryButton(*this, *row); });
    }
  }

  rtxt_msg_ = new ResultPane(this);
  PlaceControl(rtxt_msg_, "rtxtMsg");
  rtxt_msg_->setFont(GothicFont());
  rtxt_msg_->setAcceptDrops(false);

  cmd_all_get_ = new CommandButton(QString::fromUtf8(front::kAllGetCaption), this);
  PlaceControl(cmd_all_get_, "cmdAllGet");
  connect(cmd_all_get_, &QPushButton::clicked, this, [this] { browser::AllGetClick(*this); });

  chk_clear_ = new AutoClearBox(QString::fromUtf8(front::kClearCaption), this);
  PlaceControl(chk_clear_, "chkClear");
  chk_clear_->SetValue(1);

  // Esc stops a running batch, or else closes the find bar.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] { EscapePressed(); });
}

// The class browser, made after the rest of the form (by Load, or once the
// window has been drawn): it takes its place among the form's controls, in
// their order and in the tab order, after chkClear, as if made with them.
std::array<QWidget*, 5> FrmWmiInfo::BuildClassBrowser() {
  command61_ = new CommandButton(QString::fromUtf8(front::kTestCaption), this);
  PlaceControl(command61_, "Command61");
  connect(command61_, &QPushButton::clicked, this, [this] { browser::Command61Click(*this); });

  list2_ = new ListBox(this);
  PlaceControl(list2_, "List2");

  list1_ = new ListBox(this);
  PlaceControl(list1_, "List1");
  list1_->setSortingEnabled(false);
  list1_->setItemDelegate(new WholeTextDelegate(list1_));
  auto* filter = new ClassFilter(
      *list1_, [this] { browser::List1Click(*this); }, this);
  filter->setObjectName("txtClassFilter");
  filter->setGeometry(Place(kClassFilterRect));
  // A selection change is List1's click, from the mouse, the keys or code;
  // so is a mouse click on the entry already selected.
  connect(list1_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) browser::List1Click(*this);
  });
  list1_->viewport()->installEventFilter(this);
  connect(list1_, &QListWidget::clicked, this, [this](const QModelIndex& index) {
    if (index.row() == row_before_press_ && index.row() == list1_->currentRow()) browser::List1Click(*this);
  });

  command62_ = new CommandButton(QString::fromUtf8(front::kAutoSaveCaption), this);
  PlaceControl(command62_, "Command62");
  connect(command62_, &QPushButton::clicked, this, [this] { browser::AutoSaveClick(*this); });

  const std::array<QWidget*, 5> made{command61_, list2_, list1_, filter, command62_};
  QWidget* previous = chk_clear_;
  for (QWidget* w : made) {
    w->stackUnder(prg_batch_);
    setTabOrder(previous, w);
    previous = w;
  }
  return made;
}

void FrmWmiInfo::MarkCutCaptions() {
  CompleteClassBrowser();  // two of the captions are its buttons'
  captions_measured_ = true;
  // What each control leaves for its text, in its own style and face.
  auto widget = [this](const front::CaptionPlace& p) {
    return findChild<QWidget*>(QString::fromUtf8(p.control.data(), static_cast<qsizetype>(p.control.size())));
  };
  const front::CaptionRoom room = [&](const front::CaptionPlace& p) {
    QWidget* w = widget(p);
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      QStyleOptionButton option;
      option.initFrom(b);
      option.text = b->text();
      return b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
    }
    if (auto* c = qobject_cast<QCheckBox*>(w)) {
      QStyleOptionButton option;
      option.initFrom(c);
      option.text = c->text();
      return c->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, c).width();
    }
    return w->contentsRect().width();
  };
  const front::MeasureCaption measure = [&](const front::CaptionPlace& p) {
    return widget(p)->fontMetrics().horizontalAdvance(
        QString::fromUtf8(p.caption.data(), static_cast<qsizetype>(p.caption.size())));
  };
  for (const front::CaptionPlace& p : front::CaptionPlaces()) {
    QWidget* w = widget(p);
    const QString caption = QString::fromUtf8(p.caption.data(), static_cast<qsizetype>(p.caption.size()));
    const bool cut = !front::CaptionFits(p, room, measure);
    w->setToolTip(cut ? caption : QString());
    if (w->property("pcinfoFocusWatched").toBool()) continue;
    w->setProperty("pcinfoFocusWatched", true);
    new FocusWatcher(
        [this, w, text = std::string(p.caption)](bool focused) {
          ShowFocusedCaption(focused && !w->toolTip().isEmpty() ? text : std::string());
        },
        w);
  }
}

void FrmWmiInfo::BuildStatusLine() {
  prg_batch_ = new QProgressBar(this);
  prg_batch_->setObjectName("prgBatch");
  prg_batch_->setGeometry(Place(front::kProgressRect));
  // The count is the status text's: the bar shows none of its own, which
  // would be painted at another moment.
  prg_batch_->setTextVisible(false);
  prg_batch_->hide();

  lbl_status_ = new QLabel(this);
  lbl_status_->setObjectName("lblStatus");
  lbl_status_->setGeometry(Place(front::kStatusIdleRect));
  lbl_status_->setWordWrap(true);
  lbl_status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lbl_status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void FrmWmiInfo::BuildFindBar() {
  act_save_ = new QAction(QString::fromUtf8(front::kSaveMenu), this);
  act_save_->setObjectName("actSave");
  act_save_->setShortcut(QKeySequence::Save);
  act_save_->setShortcutContext(Qt::WindowShortcut);
  connect(act_save_, &QAction::triggered, this, [this] { SavePane(); });
  addAction(act_save_);

  act_find_ = new QAction(QString::fromUtf8(front::kFindMenu), this);
  act_find_->setObjectName("actFind");
  act_find_->setShortcut(QKeySequence::Find);
  act_find_->setShortcutContext(Qt::WindowShortcut);
  connect(act_find_, &QAction::triggered, this, [this] { ShowFindBar(); });
  addAction(act_find_);

  // Ctrl+I and the pane's menu print the system summary like a button's output.
  auto* summary = new QAction(QString::fromUtf8(front::kSummaryMenu), this);
  summary->setObjectName("actSummary");
  summary->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  summary->setShortcutContext(Qt::WindowShortcut);
  connect(summary, &QAction::triggered, this, [this] { ShowSummary(); });
  addAction(summary);

  rtxt_msg_->SetMenuActions({act_save_, act_find_, summary});

  auto* f3 = new QShortcut(QKeySequence::FindNext, this);
  connect(f3, &QShortcut::activated, this, [this] { FindInPane(false); });
  auto* shift_f3 = new QShortcut(QKeySequence::FindPrevious, this);
  connect(shift_f3, &QShortcut::activated, this, [this] { FindInPane(true); });
}

// The find bar is built, hidden, the first time it is wanted: its texts are
// measured then, not while the window is first shown. It stands where it
// would have stood had it been built with the window (the window's face and
// the pane's place decide it).
void FrmWmiInfo::BuildFindBarOnce() {
  if (fra_find_) return;
  fra_find_ = new QFrame(this);
  fra_find_->setObjectName("fraFind");
  fra_find_->setFrameShape(QFrame::StyledPanel);
  fra_find_->setAutoFillBackground(true);
  auto* caption = new QLabel(QString::fromUtf8(front::kFindCaption), fra_find_);
  txt_find_ = new QLineEdit(fra_find_);
  txt_find_->setObjectName("txtFind");
  auto* previous = new CommandButton(QString::fromUtf8(front::kFindPrevious), fra_find_);
  previous->setObjectName("cmdFindPrevious");
  auto* next = new CommandButton(QString::fromUtf8(front::kFindNext), fra_find_);
  next->setObjectName("cmdFindNext");
  lbl_find_ = new QLabel(fra_find_);
  lbl_find_->setObjectName("lblFind");
  auto* close = new CommandButton(QStringLiteral("×"), fra_find_);
  close->setObjectName("cmdFindClose");

  const int h = fontMetrics().height() + 10;
  const int pad = 3;
  const QRect pane = Place(ControlRect("rtxtMsg")->left, ControlRect("rtxtMsg")->top, ControlRect("rtxtMsg")->width,
                           ControlRect("rtxtMsg")->height);
  fra_find_->setGeometry(pane.left(), pane.bottom() + 1 - h, pane.width(), h);
  const int inner = h - 2 * pad;
  int x = pad;
  auto lay = [&](QWidget* w, int width) {
    w->setGeometry(x, pad, width, inner);
    x += width + pad;
  };
  lay(caption, fontMetrics().horizontalAdvance(caption->text()) + 4);
  const int buttons = fontMetrics().horizontalAdvance(QStringLiteral("前へ")) + 16;
  const int count = fontMetrics().horizontalAdvance(QStringLiteral("9999 / 9999")) + 4;
  const int close_w = inner + 4;
  lay(txt_find_, pane.width() - x - 2 * (buttons + pad) - (count + pad) - (close_w + pad) - pad);
  lay(previous, buttons);
  lay(next, buttons);
  lay(lbl_find_, count);
  lay(close, close_w);
  fra_find_->hide();

  connect(next, &QPushButton::clicked, this, [this] { FindInPane(false); });
  connect(previous, &QPushButton::clicked, this, [this] { FindInPane(true); });
  connect(close, &QPushButton::clicked, this, [this] { HideFindBar(); });
  connect(txt_find_, &QLineEdit::returnPressed, this,
          [this] { FindInPane(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); });
  connect(txt_find_, &QLineEdit::textEdited, this, [this] {
    // Typing searches from the start of the current match.
    QTextCursor c = rtxt_msg_->textCursor();
    c.setPosition(c.selectionStart());
    rtxt_msg_->setTextCursor(c);
    FindInPane(false);
  });
}

void FrmWmiInfo::Load() {
  if (!list1_) BuildClassBrowser();
  {
    ListAdapter adapter(*list1_);
    browser::LoadClassList(adapter);
  }
  ProvisionalEntrySize(*list1_);
  list1_->setCurrentRow(0);  // dumps the first entry; List2 is still empty
  list2_->addItem(QString::fromUtf8(front::kNamespace));
  list2_->setCurrentRow(0);
  loaded_ = true;
  ApplyStartWidth();
}

void FrmWmiInfo::LoadForShow() {
  // The first entry's dump, as its selection makes it.
  first_dump_ = true;
  browser::List1Click(*this);
  first_dump_ = false;
  loaded_ = true;
  ApplyStartWidth();
}

void FrmWmiInfo::CompleteClassBrowser() {
  if (list1_) return;
  const std::array<QWidget*, 5> made = BuildClassBrowser();
  if (loaded_) {  // else empty, until Load fills it
    const std::span<const std::string_view> names = browser::ClassCatalogue();
    QStringList all;
    all.reserve(static_cast<qsizetype>(names.size()));
    for (std::string_view name : names) all.push_back(FromUtf8(name));
    list1_->addItems(all);
    // Selected as by Load, without a second dump.
    list1_->blockSignals(true);
    list1_->setCurrentRow(0);
    list1_->blockSignals(false);
    list2_->addItem(QString::fromUtf8(front::kNamespace));
    list2_->setCurrentRow(0);
    SizeClassList();
  }
  // Made after the window was shown, they are shown now.
  if (isVisible())
    for (QWidget* w : made) w->show();
}

void FrmWmiInfo::ApplyStartWidth() {
  // The outer width includes the frame the window manager draws, known once
  // the window is shown.
  const int frame_extra = frameGeometry().width() - geometry().width();
  resize(TwipsX(front::kStartWidth) - frame_extra, height());
}

void FrmWmiInfo::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // Measuring every caption waits until the window has been drawn once: the
  // tooltips are wanted only once the user can point at something.
  if (!captions_marked_) {
    captions_marked_ = true;
    QTimer::singleShot(0, this, [this] {
      SizeClassList();
      MarkCutCaptions();
    });
  }
}

void FrmWmiInfo::SizeClassList() {
  if (class_list_sized_) return;
  if (!list1_) return CompleteClassBrowser();
  class_list_sized_ = true;
  UniformEntrySize(*list1_);
}

void FrmWmiInfo::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!width_applied_on_show_ && loaded_) {
    width_applied_on_show_ = true;
    ApplyStartWidth();
  }
}

void FrmWmiInfo::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Widened onto the class browser: it is whole before it is seen.
  if (!list1_ && loaded_) {
    const QRect browser = Place(*ControlRect("Command61")).united(Place(*ControlRect("List1")));
    if (browser.intersects(rect())) CompleteClassBrowser();
  }
}

bool FrmWmiInfo::eventFilter(QObject* watched, QEvent* event) {
  if (list1_ && watched == list1_->viewport() && event->type() == QEvent::MouseButtonPress)
    row_before_press_ = list1_->currentRow();
  return QWidget::eventFilter(watched, event);
}

void FrmWmiInfo::PumpMessages() { QCoreApplication::processEvents(); }

std::string FrmWmiInfo::ClassEntry(int index) {
  CompleteClassBrowser();
  return list1_->item(index)->text().toStdString();
}

void FrmWmiInfo::BusyChanged(bool busy) {
  if (busy)
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
  else
    QGuiApplication::restoreOverrideCursor();
}

void FrmWmiInfo::closeEvent(QCloseEvent* event) {
  // Closing ends the program: a running batch stops after the class or button
  // at hand, and nothing starts a new one.
  Close();
  QWidget::closeEvent(event);
}

void FrmWmiInfo::EscapePressed() {
  if (!Escape() && fra_find_ && fra_find_->isVisible()) HideFindBar();
}

QString FrmWmiInfo::StatusText() const { return lbl_status_->text(); }

void FrmWmiInfo::UpdateStatus() {
  const front::StatusLine line = Status();
  if (line.batch) {
    prg_batch_->setRange(0, line.progress_max);
    prg_batch_->setValue(line.progress_value);
    prg_batch_->show();
  } else {
    prg_batch_->hide();
  }
  lbl_status_->setGeometry(Place(line.text_rect));
  const QString text = QString::fromStdString(line.text);
  lbl_status_->setText(text);
  lbl_status_->setToolTip(text);
  // The bar repaints at once when its value changes; the text goes with it,
  // even inside a button that does not yield.
  if (line.batch && lbl_status_->isVisible()) lbl_status_->repaint();
}

void FrmWmiInfo::UpdateTitle() { setWindowTitle(QString::fromStdString(Title())); }

bool FrmWmiInfo::OpenCapture(const QString& file) {
  return front::Form::OpenCapture(std::filesystem::path(file.toStdU16String()));
}

void FrmWmiInfo::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FrmWmiInfo::dropEvent(QDropEvent* event) {
  const QString file = DroppedFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  OpenCapture(file);
}

void FrmWmiInfo::ShowError(const QString& text) { QMessageBox::warning(this, QString::fromUtf8(kWindowCaption), text); }

void FrmWmiInfo::SavePane() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString file = QFileDialog::getSaveFileName(this, QString::fromUtf8(front::kSaveTitle),
                                                    QDir(dir).filePath(QString::fromUtf8(front::kSaveDefaultName)),
                                                    QStringLiteral("テキスト (*.txt);;すべてのファイル (*)"));
  if (file.isEmpty()) return;
  QString error;
  if (!SavePaneTo(file, &error)) ShowError(QString::fromUtf8(front::kSaveFailed) + file + QChar('\n') + error);
}

bool FrmWmiInfo::SavePaneTo(const QString& file, QString* error) {
  // The pane's text as the procedures wrote it: UTF-8, CR LF. The old file is
  // replaced only once the new one is complete.
  std::string why;
  if (front::SaveTextFile(std::filesystem::path(file.toStdU16String()), rtxt_msg_->Text(), &why)) return true;
  if (error) *error = QString::fromStdString(why);
  return false;
}

void FrmWmiInfo::ShowFindBar() {
  BuildFindBarOnce();
  if (!fra_find_->isVisible()) {
    const QRect pane = Place(ControlRect("rtxtMsg")->left, ControlRect("rtxtMsg")->top, ControlRect("rtxtMsg")->width,
                             ControlRect("rtxtMsg")->height);
    rtxt_msg_->setGeometry(pane.adjusted(0, 0, 0, -fra_find_->height()));
    fra_find_->show();
    fra_find_->raise();
  }
  // The selected text, when there is a short one, is what to find.
  const QString selected = rtxt_msg_->textCursor().selectedText();
  if (!selected.isEmpty() && selected.size() < 200 && !selected.contains(QChar::ParagraphSeparator) &&
      !selected.contains(QChar::LineSeparator))
    txt_find_->setText(selected);
  txt_find_->setFocus();
  txt_find_->selectAll();
}

void FrmWmiInfo::HideFindBar() {
  BuildFindBarOnce();
  fra_find_->hide();
  rtxt_msg_->setGeometry(Place(ControlRect("rtxtMsg")->left, ControlRect("rtxtMsg")->top, ControlRect("rtxtMsg")->width,
                               ControlRect("rtxtMsg")->height));
  rtxt_msg_->setExtraSelections({});
  lbl_find_->clear();
  rtxt_msg_->setFocus();
}

void FrmWmiInfo::HighlightMatches(const QString& needle) {
  constexpr int kMaxHighlights = 5000;
  QList<QTextEdit::ExtraSelection> marks;
  QTextDocument* doc = rtxt_msg_->document();
  for (QTextCursor c = doc->find(needle, 0); !c.isNull() && marks.size() < kMaxHighlights; c = doc->find(needle, c)) {
    QTextEdit::ExtraSelection mark;
    mark.cursor = c;
    mark.format.setBackground(QColor(255, 240, 120));
    marks.push_back(mark);
  }
  rtxt_msg_->setExtraSelections(marks);
}

bool FrmWmiInfo::FindInPane(bool backward) {
  BuildFindBarOnce();
  rtxt_msg_->Flush();  // every line appended so far is searched
  const QString needle = txt_find_->text();
  QPalette p = txt_find_->palette();
  p.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
  txt_find_->setPalette(p);
  if (needle.isEmpty()) {
    rtxt_msg_->setExtraSelections({});
    lbl_find_->clear();
    return false;
  }
  QTextDocument* doc = rtxt_msg_->document();
  const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  QTextCursor found = doc->find(needle, rtxt_msg_->textCursor(), flags);
  if (found.isNull()) {
    // Wrap round to the other end.
    QTextCursor from(doc);
    if (backward) from.movePosition(QTextCursor::End);
    found = doc->find(needle, from, flags);
  }
  HighlightMatches(needle);
  if (found.isNull()) {
    p.setColor(QPalette::Base, QColor(255, 200, 200));
    txt_find_->setPalette(p);
    lbl_find_->setText(QString::fromUtf8(front::kFindNone));
    return false;
  }
  rtxt_msg_->setTextCursor(found);
  rtxt_msg_->ensureCursorVisible();
  int index = 0, total = 0;
  for (QTextCursor c = doc->find(needle, 0); !c.isNull(); c = doc->find(needle, c)) {
    ++total;
    if (c.selectionStart() <= found.selectionStart()) ++index;
  }
  lbl_find_->setText(QStringLiteral("%1 / %2").arg(index).arg(total));
  return true;
}

int FrmWmiInfo::ClassCount() {
  CompleteClassBrowser();
  return list1_->count();
}
int FrmWmiInfo::SelectedClassIndex() {
  CompleteClassBrowser();
  return list1_->currentRow();
}
void FrmWmiInfo::SelectClass(int index) {
  CompleteClassBrowser();
  list1_->setCurrentRow(index);
}
// The start-up dump of LoadForShow runs before the class browser is made:
// its first entry selected, List2 still empty, and nothing to enable.
std::string FrmWmiInfo::SelectedClass() {
  if (first_dump_) return std::string(browser::ClassCatalogue().front());
  CompleteClassBrowser();
  return EntryText(list1_);
}
std::string FrmWmiInfo::SelectedNamespace() {
  if (first_dump_) return {};
  CompleteClassBrowser();
  return EntryText(list2_);
}
void FrmWmiInfo::SetNamespaceListEnabled(bool enabled) {
  if (first_dump_) return;
  CompleteClassBrowser();
  list2_->setEnabled(enabled);
}
void FrmWmiInfo::SetTestButtonEnabled(bool enabled) {
  if (first_dump_) return;
  CompleteClassBrowser();
  command61_->setEnabled(enabled);
}
void FrmWmiInfo::SetAllGetEnabled(bool enabled) {
  for (std::string_view name : front::kAllGetControls)
    findChild<QWidget*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))->setEnabled(enabled);
}
int FrmWmiInfo::AutoClearValue() { return chk_clear_->Value(); }
void FrmWmiInfo::SetAutoClearValue(int value) { chk_clear_->SetValue(value); }

}  // namespace app
