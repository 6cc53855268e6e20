#include "win/rich_pane.h"

#include <richedit.h>

#include <algorithm>

#include "win/utf16.h"
#include "wmi/text.h"

namespace win {

namespace {

void Select(HWND hwnd, LONG from, LONG to) {
  CHARRANGE range{from, to};
  SendMessageW(hwnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

}  // namespace

bool RichPane::LoadControl() { return ::LoadLibraryW(L"Msftedit.dll") != nullptr; }

void RichPane::Create(HWND parent, int id, const RECT& rect, HFONT font) {
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, MSFTEDIT_CLASS, L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY |
                              ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                          rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // Plain text, no undo history, and room for any output (the default limit
  // is 32767 characters).
  SendMessageW(hwnd_, EM_SETTEXTMODE, TM_PLAINTEXT | TM_SINGLELEVELUNDO | TM_SINGLECODEPAGE, 0);
  SendMessageW(hwnd_, EM_SETUNDOLIMIT, 0, 0);
  SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
}

void RichPane::AppendMessage(const std::string& raw) {
  // One line stays one line: breaks and controls in a value show escaped.
  const std::string line = wmi::EscapeLine(raw);
  text_ += line;
  text_ += "\r\n";
  pending_ += Wide(line);
  pending_ += L"\r";
  if (!queued_ && hwnd_) {
    queued_ = true;
    PostMessageW(GetParent(hwnd_), kFlushMessage, 0, 0);
  }
}

void RichPane::Clear() {
  text_.clear();
  pending_.clear();
  length_ = 0;
  scroll_pending_ = false;
  if (hwnd_) SetWindowTextW(hwnd_, L"");
}

void RichPane::ScrollToEnd() {
  // When the lines appended so far reach the control.
  scroll_pending_ = true;
  if (!queued_ && hwnd_) {
    queued_ = true;
    PostMessageW(GetParent(hwnd_), kFlushMessage, 0, 0);
  }
}

void RichPane::SetVisible(bool visible) {
  // Hidden, the pane keeps its picture: the lines wait, the control is not
  // touched (no redraw switched off and on again for every class of a batch),
  // and they go in when the pane is next flushed after it is shown again.
  hidden_ = !visible;
}

bool RichPane::InView(LONG cp) const {
  // By lines: the line of `cp` against the first shown and as many after it
  // as the pane's height holds.
  RECT r;
  GetClientRect(hwnd_, &r);
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  const LONG shown = (r.bottom - r.top) / std::max<LONG>(1, metrics.tmHeight) + 1;
  const LONG first = static_cast<LONG>(SendMessageW(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0));
  const LONG line = static_cast<LONG>(SendMessageW(hwnd_, EM_EXLINEFROMCHAR, 0, cp));
  return line >= first && line <= first + shown;
}

void RichPane::Flush() {
  if (hidden_) return;
  queued_ = false;
  if (!hwnd_ || (pending_.empty() && !scroll_pending_)) return;
  if (!pending_.empty()) {
    CHARRANGE selection{};
    POINT scroll{};
    SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    SendMessageW(hwnd_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    const LONG end = length_;
    // The view changes only where the new lines start inside it, or when it
    // moves to the end.
    const bool seen = InView(end) || scroll_pending_;
    Select(hwnd_, end, end);
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pending_.c_str()));
    length_ += static_cast<LONG>(pending_.size());
    pending_.clear();
    if (!scroll_pending_) {
      // The user's selection and view stay where they were.
      Select(hwnd_, selection.cpMin, selection.cpMax);
      SendMessageW(hwnd_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    }
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    if (seen) InvalidateRect(hwnd_, nullptr, TRUE);
  }
  if (scroll_pending_) {
    scroll_pending_ = false;
    Select(hwnd_, length_, length_);
    SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
  }
}

void RichPane::SelectAll() {
  Flush();
  Select(hwnd_, 0, -1);
}

bool RichPane::Find(const std::wstring& needle, bool backward, bool match_case) {
  Flush();
  if (needle.empty()) return false;
  CHARRANGE selection{};
  SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const WPARAM flags = (backward ? 0 : FR_DOWN) | (match_case ? FR_MATCHCASE : 0);
  FINDTEXTEXW find{};
  find.lpstrText = needle.c_str();
  // From the selection on, then round from the other end.
  const CHARRANGE tries[2] = {backward ? CHARRANGE{selection.cpMin, 0} : CHARRANGE{selection.cpMax, -1},
                              backward ? CHARRANGE{-1, 0} : CHARRANGE{0, -1}};
  for (const CHARRANGE& range : tries) {
    find.chrg = range;
    if (backward && range.cpMin < 0) find.chrg.cpMin = length_;
    if (SendMessageW(hwnd_, EM_FINDTEXTEXW, flags, reinterpret_cast<LPARAM>(&find)) >= 0) {
      Select(hwnd_, find.chrgText.cpMin, find.chrgText.cpMax);
      SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
      return true;
    }
  }
  return false;
}

}  // namespace win
