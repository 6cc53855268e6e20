#include "app/result_pane.h"

#include <QContextMenuEvent>
#include <QScrollBar>
#include <memory>
#include <QTextCursor>

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
  // Every line ends with a line break, so the document's last block is the
  // empty one after it: the new line goes there.
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  end.insertText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())) + QChar('\n'));
}

void ResultPane::Clear() {
  text_.clear();
  clear();
}

void ResultPane::ScrollToEnd() {
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

void ResultPane::SetVisible(bool visible) { setVisible(visible); }

}  // namespace app
