// rtxtMsg on Win32: the RichEdit control (MSFTEDIT_CLASS) used for plain text.
// Its text limit is lifted (AutoSave's whole output is several MB). Appended
// lines are kept and put at the end of the control in one piece when the
// window flushes the pane (at most every tenth of a second while a handler
// runs, and at its end), never while the pane is hidden: the selection is set
// at the end and the lines replace it, with redrawing off meanwhile, so that
// the control never takes back, or lays out again, what it already holds; it
// is drawn again only where the new lines show. The pane's whole text is also
// kept as the query procedures read it, UTF-8 with CR LF.
#pragma once

#include <string>

#include "queries/pane.h"
#include "win/win32.h"

namespace win {

class RichPane : public queries::Pane {
 public:
  // Loads the RichEdit library; false when the system has none.
  static bool LoadControl();
  // The control, made as a child of `parent` with control ID `id` at `rect`
  // in `font`.
  void Create(HWND parent, int id, const RECT& rect, HFONT font);
  HWND hwnd() const { return hwnd_; }

  void AppendMessage(const std::string& line) override;
  void Clear() override;
  void ScrollToEnd() override;
  void SetVisible(bool visible) override;
  std::string Text() const override { return text_; }

  // Puts the lines appended since the last flush into the control, unless
  // the pane is hidden.
  void Flush();
  void SelectAll();
  // The next match of `needle` after the selection (before it when
  // `backward`), wrapping round; selects it. False when there is none.
  bool Find(const std::wstring& needle, bool backward, bool match_case);

 private:
  // True when the character at `cp` is in view (or just after the last one).
  bool InView(LONG cp) const;

  HWND hwnd_ = nullptr;
  bool hidden_ = false;  // lines wait while hidden (SetVisible(false))
  std::string text_;
  // Lines not yet in the control, each ended by CR, the control's own line
  // end (a CR LF would become one CR there).
  std::wstring pending_;
  LONG length_ = 0;  // characters in the control: positions without asking it
  bool scroll_pending_ = false;
  bool queued_ = false;
};

// The message the pane posts to its parent when lines wait to be flushed.
inline constexpr UINT kFlushMessage = WM_APP + 1;

}  // namespace win
