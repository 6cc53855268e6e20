// rtxtMsg: the result pane, plain text only. Appending adds at the end of the
// document (the widget never rebuilds what it already shows); the pane's whole
// text is also kept as the query procedures read it, UTF-8 with CR LF.
#pragma once

#include <QPlainTextEdit>
#include <string>

#include "queries/pane.h"

namespace app {

class ResultPane : public QPlainTextEdit, public queries::Pane {
 public:
  explicit ResultPane(QWidget* parent = nullptr);

  void AppendMessage(const std::string& line) override;
  void Clear() override;
  void ScrollToEnd() override;
  void SetVisible(bool visible) override;
  std::string Text() const override { return text_; }

 private:
  std::string text_;
};

}  // namespace app
