#include "app/class_list.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPalette>
#include <algorithm>
#include <utility>

namespace app {

QSize WholeTextDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  const QFontMetrics metrics(option.font);
  const int below_baseline =
      std::max(metrics.descent(), metrics.boundingRect(QStringLiteral("_gjpqy")).bottom() + 1) + 1;
  size.setHeight(std::max(size.height(), 1 + metrics.ascent() + below_baseline + 1));
  return size;
}

ClassFilter::ClassFilter(QListWidget& list, std::function<void()> reselect, QWidget* parent)
    : QLineEdit(parent), list_(list), reselect_(std::move(reselect)) {
  setPlaceholderText(QStringLiteral("クラスを検索"));
  setToolTip(QStringLiteral("名前の一部でクラスを絞り込みます。Enter または ↓ で最初のクラスを選びます"));
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { Apply(text); });
}

void ClassFilter::Apply(const QString& text) {
  const QString needle = text.trimmed();
  shown_ = 0;
  for (int i = 0; i < list_.count(); ++i) {
    const bool show = needle.isEmpty() || list_.item(i)->text().contains(needle, Qt::CaseInsensitive);
    list_.setRowHidden(i, !show);
    shown_ += show ? 1 : 0;
  }
  QPalette p = palette();
  p.setColor(QPalette::Base, shown_ == 0 ? QColor(255, 200, 200) : QApplication::palette().color(QPalette::Base));
  setPalette(p);
  if (QListWidgetItem* current = list_.currentItem(); current && !current->isHidden()) list_.scrollToItem(current);
}

bool ClassFilter::event(QEvent* event) {
  // Esc empties the field before it reaches the window (which stops a batch).
  if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
      !text().isEmpty()) {
    event->accept();
    return true;
  }
  return QLineEdit::event(event);
}

void ClassFilter::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
      for (int i = 0; i < list_.count(); ++i)
        if (!list_.isRowHidden(i)) {
          list_.setFocus();
          if (list_.currentRow() == i && reselect_)
            reselect_();
          else
            list_.setCurrentRow(i);
          break;
        }
      event->accept();
      return;
    case Qt::Key_Escape:
      if (!text().isEmpty()) {
        clear();
        event->accept();
        return;
      }
      break;
    default:
      break;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace app
