// The result pane as the query procedures see it: whole lines of plain text,
// each ended by CR LF. The window's widget and the console companion's buffer
// both implement it.
#pragma once

#include <string>
#include <string_view>

#include "wmi/text.h"

namespace queries {

inline constexpr std::string_view kLineEnd = "\r\n";

class Pane {
 public:
  virtual ~Pane() = default;
  // The text becomes old text, the line, CR LF. The line stays one line: its
  // line breaks and the other characters of wmi::LineControlAt show escaped
  // (wmi::EscapeLine), whatever a value from a capture or a device holds.
  virtual void AppendMessage(const std::string& line) = 0;
  // The text becomes "".
  virtual void Clear() = 0;
  // The caret goes to the end of the text, bringing the last line into view.
  virtual void ScrollToEnd() = 0;
  // Hide / show.
  virtual void SetVisible(bool visible) = 0;
  // The whole text (UTF-8, CR LF line ends).
  virtual std::string Text() const = 0;
};

// A pane held in memory: the console companion's, and the tests'.
class TextPane : public Pane {
 public:
  void AppendMessage(const std::string& line) override {
    wmi::AppendEscapedLine(text_, line);
    text_ += kLineEnd;
  }
  void Clear() override { text_.clear(); }
  void ScrollToEnd() override {
    caret_ = text_.size();
    ++scrolls_;
  }
  void SetVisible(bool visible) override { visible_ = visible; }
  std::string Text() const override { return text_; }

  const std::string& text() const { return text_; }
  bool visible() const { return visible_; }
  std::size_t caret() const { return caret_; }
  int scrolls() const { return scrolls_; }

 private:
  std::string text_;
  std::size_t caret_ = 0;
  int scrolls_ = 0;
  bool visible_ = true;
};

// Line formats.
std::string HeaderLine(std::string_view caption);  // caption + 90 "-"
const std::string& SeparatorLine();                // 31 "-"
const std::string& OpeningLine();                  // 25 "-", Command9 only

}  // namespace queries
