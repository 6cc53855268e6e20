#include "app/result_pane.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <memory>
#include <utility>

#include "wmi/text.h"

namespace app {

ResultPane::ResultPane(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
}

void ResultPane::AddText(std::string_view text) {
  if (text_.empty() || text_.back().size() + text.size() > text_.back().capacity()) {
    text_.emplace_back();
    text_.back().reserve(std::max(kPiece, text.size()));
  }
  text_.back() += text;
}

std::string ResultPane::Text() const {
  std::size_t size = 0;
  for (const std::string& piece : text_) size += piece.size();
  std::string text;
  text.reserve(size);
  for (const std::string& piece : text_) text += piece;
  return text;
}

void ResultPane::AppendMessage(const std::string& raw) {
  const std::string line = wmi::EscapeLine(raw);
  AddText(line);
  AddText(queries::kLineEnd);
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
  // A document block costs about 150 bytes whatever its length, several
  // times a line of the pane: the lines go in blocks of up to kLinesPerBlock,
  // ended by line separators (U+2028) inside a block. The document's plain
  // text and copies read them as line breaks.
  QString grouped = text;
  int in_block = 0;
  for (qsizetype i = 0; i < grouped.size(); ++i) {
    const QChar c = grouped[i];
    if (c == QChar('\r') || c == QChar(QChar::ParagraphSeparator)) {
      // A break of the document's own inside a line (CR LF counts as one):
      // the lines after it start a block.
      if (c == QChar('\r') && i + 1 < grouped.size() && grouped[i + 1] == QChar('\n')) ++i;
      in_block = 0;
    } else if (c == QChar('\n')) {
      if (++in_block < kLinesPerBlock) {
        grouped[i] = QChar(QChar::LineSeparator);
      } else {
        in_block = 0;
      }
    }
  }
  if (!grouped.endsWith(QChar('\n'))) grouped.back() = QChar('\n');
  // Every insertion ends with a block break, so the document's last block is
  // the empty one after it: the new lines go there.
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  const int first = end.blockNumber();
  end.insertText(grouped);
  CountLines(first);
}

void ResultPane::CountLines(int first_block) {
  // A block is laid out only once it is shown; until then the view counts it
  // as one line (and counts every block so again whenever the pane's width or
  // font changes). Each block is told its own number of lines, so that the
  // scroll bar and the scroll position are right from the start.
  bool counted = false;
  for (QTextBlock b = document()->findBlockByNumber(first_block); b.isValid(); b = b.next()) {
    const int lines = static_cast<int>(b.text().count(QChar(QChar::LineSeparator))) + 1;
    if (b.lineCount() != lines) {
      b.setLineCount(lines);
      counted = true;
    }
  }
  if (counted) {
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
  }
}

void ResultPane::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  if (event->oldSize().width() != event->size().width()) CountLines(0);
}

void ResultPane::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) CountLines(0);
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

void ResultPane::mouseDoubleClickEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) {
    double_click_.start();
    double_click_at_ = event->position().toPoint();
  }
}

void ResultPane::mousePressEvent(QMouseEvent* event) {
  // A triple click selects the line under the pointer with its line break, as
  // it would with one block per line (the widget's own selects a block).
  if (event->button() == Qt::LeftButton && double_click_.isValid() &&
      double_click_.elapsed() < QApplication::doubleClickInterval() &&
      (event->position().toPoint() - double_click_at_).manhattanLength() < QApplication::startDragDistance()) {
    double_click_.invalidate();
    SelectLineAt(event->position().toPoint());
    event->accept();
    return;
  }
  QPlainTextEdit::mousePressEvent(event);
}

void ResultPane::SelectLineAt(const QPoint& pos) {
  QTextCursor at = cursorForPosition(pos);
  const QTextBlock block = at.block();
  const QString text = block.text();
  const qsizetype in_block = at.positionInBlock();
  const qsizetype start = in_block == 0 ? 0 : text.lastIndexOf(QChar(QChar::LineSeparator), in_block - 1) + 1;
  qsizetype end = text.indexOf(QChar(QChar::LineSeparator), in_block);
  end = end < 0 ? text.size() + 1 : end + 1;  // with the separator after the line
  const int last = document()->characterCount() - 1;
  QTextCursor line(document());
  line.setPosition(std::min(block.position() + static_cast<int>(start), last));
  line.setPosition(std::min(block.position() + static_cast<int>(end), last), QTextCursor::KeepAnchor);
  setTextCursor(line);
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
