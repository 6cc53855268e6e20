#include "app/result_pane.h"

#include <QContextMenuEvent>
#include <QMetaObject>
#include <QScrollBar>
#include <QTextCursor>
#include <memory>
#include <utility>

namespace app {

ResultPane::ResultPane(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
}

void ResultPane::AppendMessage(const std::string& line) {
  text_ += line;
  text_ += queries::kLineEnd;
  pending_ += QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  pending_ += QChar('\n');
  QueueFlush();
}

void ResultPane::QueueFlush() {
  if (!flush_queued_) {
    flush_queued_ = true;
    QMetaObject::invokeMethod(this, &ResultPane::Flush, Qt::QueuedConnection);
  }
}

void ResultPane::InsertAtEnd(const QString& text) {
  if (text.isEmpty()) return;
  // Every line ends with a line break, so the document's last block is the
  // empty one after it: the new lines go there.
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  end.insertText(text);
}

void ResultPane::Flush() {
  flush_queued_ = false;
  const qsizetype scroll_at = std::exchange(scroll_at_, -1);
  if (scroll_at < 0) {
    InsertAtEnd(pending_);
  } else {
    // The lines up to the last scroll, the scroll, then the lines after it:
    // the caret and the view end as if each scroll had happened at once.
    InsertAtEnd(pending_.first(scroll_at));
    ScrollNow();
    InsertAtEnd(pending_.sliced(scroll_at));
  }
  pending_.clear();
}

void ResultPane::ScrollNow() {
  QTextCursor c = textCursor();
  if (c.hasSelection() || !c.atEnd()) {
    // Moving the caret brings it into view.
    c.movePosition(QTextCursor::End);
    setTextCursor(c);
  } else if (isVisible()) {
    // A caret at the end stays there as lines are added after it; only the
    // view moves.
    ensureCursorVisible();
  } else {
    // Bringing the caret into view lays out a screenful of lines: a pane not
    // on screen does that once it is shown.
    scroll_on_show_ = true;
  }
}

void ResultPane::showEvent(QShowEvent* event) {
  QPlainTextEdit::showEvent(event);
  Flush();
  if (std::exchange(scroll_on_show_, false)) ensureCursorVisible();
}

void ResultPane::Clear() {
  text_.clear();
  pending_.clear();
  scroll_at_ = -1;
  scroll_on_show_ = false;
  clear();
}

void ResultPane::ScrollToEnd() {
  scroll_at_ = pending_.size();
  QueueFlush();
}

QMenu* ResultPane::CreateContextMenu() {
  QMenu* menu = createStandardContextMenu();
  if (!menu_actions_.isEmpty()) {
    menu->addSeparator();
    menu->addActions(menu_actions_);
  }
  return menu;
}

void ResultPane::contextMenuEvent(QContextMenuEvent* event) {
  std::unique_ptr<QMenu> menu(CreateContextMenu());
  menu->exec(event->globalPos());
}

void ResultPane::SetVisible(bool visible) {
  if (visible) Flush();
  setVisible(visible);
}

}  // namespace app
