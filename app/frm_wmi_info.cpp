#include "app/frm_wmi_info.h"

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QScreen>

#include "app/layout.h"
#include "browser/browser.h"
#include "browser/catalogue.h"
#include "queries/buttons.h"

namespace app {

namespace {

const QColor kLightGreen(192, 255, 192);

constexpr char kHint[] =
    "取得可能な情報が列挙されています。必要に応じて利用してください。\r\n"
    "ボタンを押すと、情報が表示されます。\r\n";

constexpr int kTwipsPerInch = 1440;

// "ＭＳ ゴシック" 9 point, or the installed Japanese gothic face closest to it.
QFont GothicFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
                    QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL Gothic")});
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSize(9);
  return font;
}

void FillBackground(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, colour);
  p.setColor(QPalette::Base, colour);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

class ListAdapter : public browser::ClassListBox {
 public:
  explicit ListAdapter(QListWidget& list) : list_(list) {}
  void AddItem(std::string_view name) override {
    list_.addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }

 private:
  QListWidget& list_;
};

std::string EntryText(QListWidget* list) {
  QListWidgetItem* item = list->currentRow() < 0 ? nullptr : list->item(list->currentRow());
  return item ? item->text().toStdString() : std::string();
}

}  // namespace

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

void AutoClearBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

FrmWmiInfo::FrmWmiInfo(wmi::Provider& provider, std::filesystem::path info, QWidget* parent)
    : QWidget(parent), provider_(provider), info_(std::move(info)) {
  setObjectName("frmWMIInfo");
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  setFont(GothicFont());
  BuildControls();
  resize(TwipsX(kDesignWidth), TwipsY(kDesignHeight));
  wait_pump_ = new WaitPump(*this);
  provider_.SetWaitHook([this] { return wait_pump_->KeepWaiting(); });
}

FrmWmiInfo::~FrmWmiInfo() { provider_.SetWaitHook(nullptr); }

int FrmWmiInfo::TwipsX(int twips) const { return twips * logicalDpiX() / kTwipsPerInch; }
int FrmWmiInfo::TwipsY(int twips) const { return twips * logicalDpiY() / kTwipsPerInch; }

QRect FrmWmiInfo::Place(int left, int top, int width, int height) const {
  return QRect(TwipsX(left), TwipsY(top), TwipsX(width), TwipsY(height));
}

void FrmWmiInfo::BuildControls() {
  auto place = [&](QWidget* w, std::string_view name) {
    w->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    const Rect& r = *ControlRect(name);
    w->setGeometry(Place(r.left, r.top, r.width, r.height));
  };

  text2_ = new QPlainTextEdit(this);
  place(text2_, "Text2");
  text2_->setFont(GothicFont());
  text2_->setReadOnly(true);
  text2_->setPlainText(QString::fromUtf8(kHint).remove(QChar('\r')));
  text2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FillBackground(text2_, kLightGreen);

  for (const Group& g : Groups()) {
    auto* frame = new QFrame(this);
    frame->setObjectName(QString::fromUtf8(g.frame.data(), static_cast<qsizetype>(g.frame.size())));
    frame->setGeometry(Place(g.rect.left, g.rect.top, g.rect.width, g.rect.height));
    frame->setFrameShape(QFrame::Box);
    auto* label = new QLabel(QString::fromUtf8(g.caption.data(), static_cast<qsizetype>(g.caption.size())), frame);
    label->setObjectName(QString::fromUtf8(g.label.data(), static_cast<qsizetype>(g.label.size())));
    label->setGeometry(Place(kLabelOffset, kLabelOffset, g.rect.width, kLabelHeight));
    FillBackground(label, kLightGreen);
    for (const GroupButton& b : g.buttons) {
      const queries::Button* row = queries::FindButton(b.control);
      auto* button = new QPushButton(QString::fromUtf8(row->caption.data(), static_cast<qsizetype>(row->caption.size())), frame);
      button->setObjectName(QString::fromUtf8(b.control.data(), static_cast<qsizetype>(b.control.size())));
      button->setGeometry(Place(b.left, b.top, b.width, kButtonHeight));
      connect(button, &QPushButton::clicked, this, [this, row] { browser::RunCategoryButton(*this, *row); });
    }
  }

  rtxt_msg_ = new ResultPane(this);
  place(rtxt_msg_, "rtxtMsg");
  rtxt_msg_->setFont(GothicFont());

  cmd_all_get_ = new QPushButton(QStringLiteral("全自動収集"), this);
  place(cmd_all_get_, "cmdAllGet");
  connect(cmd_all_get_, &QPushButton::clicked, this, [this] { browser::AllGetClick(*this); });

  chk_clear_ = new AutoClearBox(QStringLiteral("自動クリア"), this);
  place(chk_clear_, "chkClear");
  chk_clear_->SetValue(1);

  command61_ = new QPushButton(QStringLiteral("テスト"), this);
  place(command61_, "Command61");
  connect(command61_, &QPushButton::clicked, this, [this] { browser::Command61Click(*this); });

  list2_ = new QListWidget(this);
  place(list2_, "List2");

  list1_ = new QListWidget(this);
  place(list1_, "List1");
  list1_->setSelectionMode(QAbstractItemView::SingleSelection);
  list1_->setSortingEnabled(false);
  // A selection change is List1's click, from the mouse, the keys or code;
  // so is a mouse click on the entry already selected.
  connect(list1_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) browser::List1Click(*this);
  });
  list1_->viewport()->installEventFilter(this);
  connect(list1_, &QListWidget::clicked, this, [this](const QModelIndex& index) {
    if (index.row() == row_before_press_ && index.row() == list1_->currentRow()) browser::List1Click(*this);
  });

  command62_ = new QPushButton(QStringLiteral("AutoSave"), this);
  place(command62_, "Command62");
  connect(command62_, &QPushButton::clicked, this, [this] { browser::AutoSaveClick(*this); });
}

void FrmWmiInfo::Load() {
  ListAdapter adapter(*list1_);
  browser::LoadClassList(adapter);
  list1_->setCurrentRow(0);  // dumps the first entry; List2 is still empty
  list2_->addItem(QStringLiteral("cimv2"));
  list2_->setCurrentRow(0);
  ApplyStartWidth();
}

void FrmWmiInfo::ApplyStartWidth() {
  // The outer width includes the frame the window manager draws, known once
  // the window is shown.
  const int frame_extra = frameGeometry().width() - geometry().width();
  resize(TwipsX(kStartWidth) - frame_extra, height());
}

void FrmWmiInfo::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!width_applied_on_show_ && list2_->count() > 0) {
    width_applied_on_show_ = true;
    ApplyStartWidth();
  }
}

bool FrmWmiInfo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list1_->viewport() && event->type() == QEvent::MouseButtonPress) row_before_press_ = list1_->currentRow();
  return QWidget::eventFilter(watched, event);
}

void FrmWmiInfo::Yield() { QCoreApplication::processEvents(); }

int FrmWmiInfo::ClassCount() { return list1_->count(); }
int FrmWmiInfo::SelectedClassIndex() { return list1_->currentRow(); }
void FrmWmiInfo::SelectClass(int index) { list1_->setCurrentRow(index); }
std::string FrmWmiInfo::SelectedClass() { return EntryText(list1_); }
std::string FrmWmiInfo::SelectedNamespace() { return EntryText(list2_); }
void FrmWmiInfo::SetNamespaceListEnabled(bool enabled) { list2_->setEnabled(enabled); }
void FrmWmiInfo::SetTestButtonEnabled(bool enabled) { command61_->setEnabled(enabled); }
void FrmWmiInfo::SetAllGetEnabled(bool enabled) { cmd_all_get_->setEnabled(enabled); }
int FrmWmiInfo::AutoClearValue() { return chk_clear_->Value(); }
void FrmWmiInfo::SetAutoClearValue(int value) { chk_clear_->SetValue(value); }

}  // namespace app
