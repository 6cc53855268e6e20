// The class browser's list, List1: entries drawn whole, and the field that
// finds classes in it by any part of their name.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <functional>

#include "front/layout.h"

namespace app {

// Where the find field stands: above List1, between List2 and Command62
// (twips, as the form's controls).
inline constexpr front::Rect kClassFilterRect{20025, 180, 1590, 390};

// Sizes an entry so that its text shows whole: some faces put the underscore
// on the last pixel of their descent, and an entry as high as the font lets
// the clip to the entry cut it off. One pixel to spare above and below.
class WholeTextDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The find field of List1: typing shows only the entries whose name contains
// the text, in any case; Enter or Down selects the first of them (and moves
// to the list), which dumps it as a click does; Esc or an empty field shows
// every entry again. Typing selects nothing, so it dumps nothing.
class ClassFilter : public QLineEdit {
 public:
  // `reselect` runs when Enter chooses the entry already selected (a click
  // on it dumps it again).
  ClassFilter(QListWidget& list, std::function<void()> reselect, QWidget* parent);
  // The entries shown now.
  int ShownCount() const { return shown_; }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Apply(const QString& text);
  QListWidget& list_;
  std::function<void()> reselect_;
  int shown_ = 0;
};

}  // namespace app
