#include "app/result_pane.h"

#include <QContextMenuEvent>
#include <QMetaObject>
#include <QScrollBar>
#include <QTextCursor>
#include <memory>

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
  if (!flush_queued_) {
    flush_queued_ = true;
    QMetaObject::invokeMethod(this, &ResultPane::Flush, Qt::QueuedConnection);
  }
}

void ResultPane::Flush() {
  flush_queued_ = false;
  if (pending_.isEmpty()) return;
  // Every line ends with a line break, so the document's last block is the
  // empty one after it: the new lines go there.
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  end.insertText(pending_);
  pending_.clear();
}

void ResultPane::Clear() {
  text_.clear();
  pending_.clear();
  clear();
}

void ResultPane::ScrollToEnd() {
  Flush();
  QTextCursor c = textCursor();
  c.movePosition(QTextCursor::End);
  setTextCursor(c);
  ensureCursorVisible();
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
