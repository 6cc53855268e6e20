// rtxtMsg: the result pane, plain text only. Appending adds at the end of the
// document (the widget never rebuilds what it already shows); the pane's whole
// text is also kept as the query procedures read it, UTF-8 with CR LF.
// Appended lines reach the document in one piece when control next returns to
// the event loop (a yield, the end of the handler) or when the pane is shown:
// a dump of thousands of lines is one insertion, not thousands. Scrolling to
// the end waits for the same moment: the caret and the view end up where the
// last scroll put them, but the lines around the caret are laid out once per
// pass of the event loop, not once for every instance a procedure prints.
// The document holds the lines 32 to a block (line separators inside a
// block), each block told its number of lines: a block per line would cost
// several times the text; the user still scrolls, selects, copies and finds
// line by line.
#pragma once

#include <QAction>
#include <QElapsedTimer>
#include <QList>
#include <QMenu>
#include <QPlainTextEdit>
#include <string>
#include <string_view>
#include <vector>

#include "queries/pane.h"

namespace app {

class ResultPane : public QPlainTextEdit, public queries::Pane {
 public:
  explicit ResultPane(QWidget* parent = nullptr);

  void AppendMessage(const std::string& line) override;
  void Clear() override;
  void ScrollToEnd() override;
  void SetVisible(bool visible) override;
  std::string Text() const override;
  // Puts the lines appended since the last flush into the document.
  void Flush();

  // Actions added below the standard entries of the context menu.
  void SetMenuActions(QList<QAction*> actions) { menu_actions_ = std::move(actions); }
  // The context menu as a right click shows it (the caller owns it).
  QMenu* CreateContextMenu();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  static constexpr int kLinesPerBlock = 32;
  void AddText(std::string_view text);
  void QueueFlush();
  void InsertAtEnd(const QString& text);
  void ScrollNow();
  void SelectLineAt(const QPoint& pos);
  void CountLines(int first_block);

  QList<QAction*> menu_actions_;
  // The pane's text, in pieces of at least kPiece bytes: it grows without
  // copying what it holds (one string would, at each doubling, hold the old
  // and the new copy at once).
  static constexpr std::size_t kPiece = std::size_t{1} << 20;
  std::vector<std::string> text_;
  QString pending_;  // appended lines not yet in the document, each ended by '\n'
  // The length of pending_ when the pane was last told to scroll to its end
  // (-1: not since the last flush); the scroll happens at the flush, with the
  // document holding the lines appended up to then.
  qsizetype scroll_at_ = -1;
  bool scroll_on_show_ = false;  // a scroll that waits for the pane to be shown
  // The last double click, for the triple click that selects a line.
  QElapsedTimer double_click_;
  QPoint double_click_at_;
  bool flush_queued_ = false;
};

}  // namespace app
