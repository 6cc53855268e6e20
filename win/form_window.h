// frmWMIInfo drawn with Windows' own controls: BUTTON, STATIC, EDIT, LISTBOX,
// the RichEdit pane and a progress bar, each at the form's place scaled by
// the window's DPI; a caption its control cuts is a tooltip and, focused, the
// status line (front/captions.h decides). What the window does apart from
// drawing is front::Form.
#pragma once

#include "win/win32.h"
// After windows.h.
#include <commdlg.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "front/captions.h"
#include "front/form.h"
#include "queries/buttons.h"
#include "win/rich_pane.h"

namespace win {

// Control IDs beyond the form's (front::ControlId): the status line.
inline constexpr int kProgressId = 1001;
inline constexpr int kStatusId = 1002;
// The message the window posts itself to mark its cut captions once shown.
inline constexpr UINT kCaptionsMessage = WM_APP + 2;
// At most how often a running handler's output and progress are drawn, in ms.
inline constexpr ULONGLONG kRefreshMs = 100;
// The window's class name, which the checks under Wine look for.
inline constexpr wchar_t kWindowClass[] = L"pcinfo.frmWMIInfo";

class FormWindow : public front::Form {
 public:
  // `provider` is this machine's WMI; `info` the folder dump files go into.
  // Sets the provider's wait hook until the window is destroyed.
  FormWindow(wmi::Provider& provider, std::filesystem::path info);
  ~FormWindow() override;

  // Makes the window and its controls (not shown yet); false on failure.
  bool Create();
  // Start-up: fills the class list, selects its first entry (which dumps it),
  // adds "cimv2" to the namespace list and selects it; the cut captions are
  // marked once the message loop runs.
  void Load();
  HWND hwnd() const { return hwnd_; }

  // The message loop, until the window is closed; the program's exit code.
  int Run();

  // browser::Window
  queries::Pane& pane() override { return pane_; }
  int ClassCount() override;
  int SelectedClassIndex() override;
  void SelectClass(int index) override;
  std::string SelectedClass() override;
  std::string SelectedNamespace() override;
  void SetNamespaceListEnabled(bool enabled) override;
  void SetTestButtonEnabled(bool enabled) override;
  void SetAllGetEnabled(bool enabled) override;
  int AutoClearValue() override;
  void SetAutoClearValue(int value) override;

 protected:
  // front::Form
  void PumpMessages() override;
  std::string ClassEntry(int index) override;
  void StatusChanged() override;
  void TitleChanged() override;
  void ShowError(const std::string& text) override;
  void BusyChanged(bool busy) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK List1Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK ClearProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK CaptionProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  // Keys the window takes before the controls: Ctrl+S, Ctrl+F, F3, Esc, and
  // the dialog keys (Tab, Enter). True when the message was used.
  bool PreTranslate(MSG& msg);
  void Command(int id, int code, HWND control);
  bool KeepWaiting();
  void EscapePressed();
  // What a running handler shows, brought up to date: the pane's new lines,
  // the status line and List1's selection. Not `force`d, at most every
  // kRefreshMs: a batch steps through a class far faster than the controls
  // draw it.
  void Refresh(bool force);
  // The status line and progress bar as the form's state has them now.
  void ShowStatus();
  // List2 and Command61 enabled or not as asked, before any input is taken:
  // a class dump disables and enables them again, mostly without a message
  // taken in between.
  void ApplyEnabled();

  void BuildControls();
  // A control at `twips` in its parent, in `font` (none: the class's own).
  HWND Make(const wchar_t* cls, const std::string& text, DWORD style, HWND parent, int id, const front::Rect& twips,
            HFONT font, DWORD ex_style = 0);
  // The window's outer size at start: the form's design height of client
  // area, its start width.
  SIZE StartSize(DWORD style, DWORD ex_style) const;
  RECT PixelRect(const front::Rect& twips) const;
  void MakeFonts();
  void Layout();
  // Measures every caption in its control's font at the window's DPI: a cut
  // one gets its whole text as the control's tooltip, and the status line
  // while the control has the focus.
  void MarkCutCaptions();
  int CaptionRoom(const front::CaptionPlace& place) const;
  int MeasureCaption(const front::CaptionPlace& place, HDC dc) const;
  void Place(HWND control, const front::Rect& twips);
  int Px(int twips) const { return front::TwipsToPixels(twips, dpi_); }
  HWND Control(std::string_view name) const;
  // An entry added to List1 or List2, and the text of one.
  void AddEntry(HWND list, std::string_view text);
  std::string ListText(HWND list, int index) const;
  // The pane's context menu at screen point `at` (-1, -1: from the keyboard).
  void PaneMenu(LPARAM at);
  void SavePane();
  void ShowFind();
  void FindAgain(bool backward);

  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  RichPane pane_;
  std::map<int, HWND> controls_;                      // by control ID
  std::map<HWND, std::vector<std::string>> entries_;  // List1's and List2's
  std::map<int, const queries::Button*> buttons_;     // category buttons by ID
  std::vector<std::pair<HWND, const front::Group*>> frames_;
  HWND text2_ = nullptr, list1_ = nullptr, list2_ = nullptr, chk_clear_ = nullptr;
  HWND prg_batch_ = nullptr, lbl_status_ = nullptr;
  std::wstring status_text_;                             // what lbl_status_ shows
  bool status_batch_ = false;                            // lbl_status_ shows a batch's progress
  bool status_due_ = false;                              // the status changed since it was shown
  bool list1_pending_ = false;                           // List1 has not taken list1_selection_ yet
  ULONGLONG refreshed_at_ = 0;                           // GetTickCount64 of the last refresh
  bool namespace_enabled_ = true, test_enabled_ = true;  // as asked
  HWND tips_ = nullptr;                                  // the tooltips of the cut captions
  std::map<HWND, std::string> cut_captions_;             // by control
  HFONT gothic_ = nullptr, ui_font_ = nullptr;
  HBRUSH green_ = nullptr;
  bool busy_ = false;
  int handler_depth_ = 0;  // command handlers running, nested through yields
  bool destroy_pending_ = false;
  bool waiting_ = false;      // inside a wait on the provider
  bool wait_escape_ = false;  // Esc pressed during that wait
  int list1_press_ = -1;      // List1's selection when the mouse went down
  // List1's selection as the window knows it (List1Proc keeps it true).
  static constexpr int kSelectionUnknown = -2;
  int list1_selection_ = kSelectionUnknown;
  LRESULT clear_check_ = -1;  // chkClear's BM_GETCHECK, -1 when not known (ClearProc)

  // Ctrl+F: the system's find dialog.
  HWND find_dialog_ = nullptr;
  FINDREPLACEW find_{};
  wchar_t find_text_[256] = {};
  UINT find_message_ = 0;
};

}  // namespace win
