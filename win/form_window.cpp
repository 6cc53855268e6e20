#include "win/form_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <functional>
#include <utility>

#include "browser/browser.h"
#include "browser/catalogue.h"
#include "front/layout.h"
#include "win/later_dll.h"
#include "win/utf16.h"

namespace win {

namespace {

constexpr wchar_t kFrameClass[] = L"pcinfo.Frame";

// Functions of newer Windows are looked up, so that the program still starts
// on older ones (and on Wine versions without them).

// The DPI of `hwnd`'s device context (the screen's for nullptr).
UINT DeviceDpi(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND hwnd) {
  static const auto fn = LaterFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
  if (const UINT dpi = fn ? fn(hwnd) : 0) return dpi;
  return DeviceDpi(hwnd);
}

// The system's DPI, which a window on the main monitor takes.
UINT SystemDpi() {
  static const auto fn = LaterFunction<UINT(WINAPI*)()>(L"user32.dll", "GetDpiForSystem");
  return fn ? fn() : DeviceDpi(nullptr);
}

RECT OuterForClient(int width, int height, DWORD style, DWORD ex_style, UINT dpi) {
  RECT r{0, 0, width, height};
  static const auto fn =
      LaterFunction<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (fn)
    fn(&r, style, FALSE, ex_style, dpi);
  else
    AdjustWindowRectEx(&r, style, FALSE, ex_style);
  return r;
}

// The system's UI face at `dpi`.
LOGFONTW MessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  static const auto fn =
      LaterFunction<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>(L"user32.dll", "SystemParametersInfoForDpi");
  if (fn && fn(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return metrics.lfMessageFont;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HDC dc = GetDC(nullptr);
  const int screen = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), screen);
  return metrics.lfMessageFont;
}

std::wstring WithCrLf(const std::string& text) {
  std::wstring out;
  for (wchar_t c : Wide(text)) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

class ListAdapter : public browser::ClassListBox {
 public:
  explicit ListAdapter(std::function<void(std::string_view)> add) : add_(std::move(add)) {}
  void AddItem(std::string_view name) override { add_(name); }

 private:
  std::function<void(std::string_view)> add_;
};

}  // namespace

FormWindow::FormWindow(wmi::Provider& provider, std::filesystem::path info) : front::Form(provider, std::move(info)) {
  machine_provider().SetWaitHook([this] { return KeepWaiting(); });
}

FormWindow::~FormWindow() {
  machine_provider().SetWaitHook(nullptr);
  if (hwnd_) DestroyWindow(hwnd_);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(gothic_), static_cast<HGDIOBJ>(ui_font_), static_cast<HGDIOBJ>(green_)})
    if (o) DeleteObject(o);
}

bool FormWindow::Create() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // The form and its group frames: the window background, the arrow.
  using Entry = std::pair<const wchar_t*, WNDPROC>;
  for (const auto& [name, proc] : {Entry{kWindowClass, WindowProc}, Entry{kFrameClass, FrameProc}}) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = proc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.hIcon = proc == WindowProc ? LoadIconW(nullptr, IDI_APPLICATION) : nullptr;
    cls.lpszClassName = name;
    RegisterClassExW(&cls);
  }

  // Made hidden at its start size for the DPI it will most likely have (the
  // system's), its controls made in it at their places: nothing is moved
  // or drawn before it shows.
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  constexpr DWORD ex_style = WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT;
  dpi_ = SystemDpi();
  SIZE size = StartSize(style, ex_style);
  hwnd_ = CreateWindowExW(ex_style, kWindowClass, Wide(Title()).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, size.cx,
                          size.cy, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  if (const UINT dpi = WindowDpi(hwnd_); dpi != dpi_) {
    // On a monitor of another scale.
    dpi_ = dpi;
    size = StartSize(style, ex_style);
    SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  green_ = CreateSolidBrush(RGB(front::kLightGreen.red, front::kLightGreen.green, front::kLightGreen.blue));
  MakeFonts();
  BuildControls();
  find_message_ = RegisterWindowMessageW(FINDMSGSTRINGW);
  return true;
}

SIZE FormWindow::StartSize(DWORD style, DWORD ex_style) const {
  // The form's design height of client area, its start width outside.
  const RECT outer = OuterForClient(Px(front::kDesignWidth), Px(front::kDesignHeight), style, ex_style, dpi_);
  return {Px(front::kStartWidth), outer.bottom - outer.top};
}

HWND FormWindow::Make(const wchar_t* cls, const std::string& text, DWORD style, HWND parent, int id,
                      const front::Rect& twips, HFONT font, DWORD ex_style) {
  HWND h = CreateWindowExW(ex_style, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, Px(twips.left),
                           Px(twips.top), Px(twips.width), Px(twips.height), parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (font) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  controls_[id] = h;
  return h;
}

namespace {

// A group's label and button in their frame.
front::Rect LabelRect(const front::Group& g) {
  return {front::kLabelOffset, front::kLabelOffset, g.rect.width, front::kLabelHeight};
}
front::Rect ButtonRect(const front::GroupButton& b) { return {b.left, b.top, b.width, front::kButtonHeight}; }
const front::Rect& FormRect(std::string_view name) { return *front::ControlRect(name); }

}  // namespace

void FormWindow::BuildControls() {
  // Made in the form's tab order: the order of creation is the order Tab
  // walks. Each at its place in its font, so none is moved or laid out again;
  // Text2 takes its text once it has its font and width (an edit control
  // wraps its text again at every change of either).
  text2_ = Make(L"EDIT", "", ES_MULTILINE | ES_READONLY, hwnd_, front::ControlId("Text2"), FormRect("Text2"), gothic_);
  SetWindowTextW(text2_, Wide(front::kHint).c_str());
  for (const front::Group& g : front::Groups()) {
    HWND frame =
        Make(kFrameClass, "", WS_CLIPSIBLINGS, hwnd_, front::ControlId(g.frame), g.rect, nullptr, WS_EX_CONTROLPARENT);
    frames_.emplace_back(frame, &g);
    // SS_NOTIFY: the label takes the mouse, for its tooltip.
    Make(L"STATIC", std::string(g.caption), SS_LEFT | SS_NOPREFIX | SS_NOTIFY, frame, front::ControlId(g.label),
         LabelRect(g), ui_font_);
    for (const front::GroupButton& b : g.buttons) {
      const queries::Button* row = queries::FindButton(b.control);
      const int id = front::ControlId(b.control);
      Make(L"BUTTON", std::string(row->caption), BS_PUSHBUTTON | WS_TABSTOP, frame, id, ButtonRect(b), ui_font_);
      buttons_[id] = row;
    }
  }
  pane_.Create(hwnd_, front::ControlId("rtxtMsg"), PixelRect(FormRect("rtxtMsg")), gothic_);
  controls_[front::ControlId("rtxtMsg")] = pane_.hwnd();
  const auto button = [this](const char* caption, DWORD style, std::string_view name) {
    return Make(L"BUTTON", caption, style | WS_TABSTOP, hwnd_, front::ControlId(name), FormRect(name), ui_font_);
  };
  button(front::kAllGetCaption, BS_PUSHBUTTON, "cmdAllGet");
  chk_clear_ = button(front::kClearCaption, BS_3STATE, "chkClear");
  SetAutoClearValue(1);
  button(front::kTestCaption, BS_PUSHBUTTON, "Command61");
  const DWORD list = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP | WS_BORDER;
  list2_ = Make(L"LISTBOX", "", list, hwnd_, front::ControlId("List2"), FormRect("List2"), ui_font_);
  list1_ = Make(L"LISTBOX", "", list, hwnd_, front::ControlId("List1"), FormRect("List1"), ui_font_);
  button(front::kAutoSaveCaption, BS_PUSHBUTTON, "Command62");

  // The progress bar shows during a batch only.
  prg_batch_ = Make(PROGRESS_CLASSW, "", 0, hwnd_, kProgressId, front::kProgressRect, nullptr);
  ShowWindow(prg_batch_, SW_HIDE);
  lbl_status_ = Make(L"STATIC", "", SS_LEFT | SS_NOPREFIX, hwnd_, kStatusId, Status().text_rect, ui_font_);

  StatusChanged();
  // Subclassed once made: under Wine every message to a subclassed control
  // costs a round trip to its server (List1 too, once filled: Load).
  SetWindowSubclass(chk_clear_, ClearProc, 2, reinterpret_cast<DWORD_PTR>(this));
}

RECT FormWindow::PixelRect(const front::Rect& twips) const {
  return {Px(twips.left), Px(twips.top), Px(twips.left) + Px(twips.width), Px(twips.top) + Px(twips.height)};
}

void FormWindow::MakeFonts() {
  if (gothic_) DeleteObject(gothic_);
  if (ui_font_) DeleteObject(ui_font_);
  LOGFONTW gothic{};
  gothic.lfHeight = -MulDiv(front::kGothicPoints, static_cast<int>(dpi_), 72);
  gothic.lfCharSet = SHIFTJIS_CHARSET;
  gothic.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  gothic.lfQuality = DEFAULT_QUALITY;
  wcsncpy(gothic.lfFaceName, Wide(front::kGothicFace).c_str(), LF_FACESIZE - 1);
  gothic_ = CreateFontIndirectW(&gothic);
  LOGFONTW ui = MessageFont(dpi_);
  ui_font_ = CreateFontIndirectW(&ui);
}

void FormWindow::Place(HWND control, const front::Rect& r) {
  SetWindowPos(control, nullptr, Px(r.left), Px(r.top), Px(r.width), Px(r.height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::Layout() {
  // At a change of DPI: every control at its new place and in its new font,
  // drawn again once all are.
  for (const front::Control& c : front::kControls) Place(Control(c.name), c.rect);
  for (const auto& [frame, g] : frames_) {
    Place(frame, g->rect);
    Place(Control(g->label), LabelRect(*g));
    for (const front::GroupButton& b : g->buttons) Place(Control(b.control), ButtonRect(b));
  }
  Place(prg_batch_, front::kProgressRect);
  Place(lbl_status_, Status().text_rect);
  for (const auto& [id, h] : controls_)
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(h == text2_ || h == pane_.hwnd() ? gothic_ : ui_font_), FALSE);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  MarkCutCaptions();
  StatusChanged();
}

int FormWindow::MeasureCaption(const front::CaptionPlace& place, HDC dc) const {
  HWND control = Control(place.control);
  const std::wstring text = Wide(place.caption);
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  return size.cx;
}

int FormWindow::CaptionRoom(const front::CaptionPlace& place) const {
  RECT r{};
  GetClientRect(Control(place.control), &r);
  // What the BUTTON class keeps for itself: a push button's edge and focus
  // rectangle on each side, a check box's box and the gap after it.
  const int dpi = static_cast<int>(dpi_);
  switch (place.kind) {
    case front::CaptionPlace::Kind::Button:
      return r.right - 2 * MulDiv(3, dpi, 96);
    case front::CaptionPlace::Kind::CheckBox:
      return r.right - MulDiv(16, dpi, 96);
    case front::CaptionPlace::Kind::Label:
      break;
  }
  return r.right;
}

void FormWindow::MarkCutCaptions() {
  if (!tips_)
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  const front::CaptionRoom room = [this](const front::CaptionPlace& p) { return CaptionRoom(p); };
  // One memory DC for every caption, in the control's font: the same widths
  // as the control's own DC, without a DC of each control.
  HDC dc = CreateCompatibleDC(nullptr);
  const front::MeasureCaption measure = [this, dc](const front::CaptionPlace& p) { return MeasureCaption(p, dc); };
  for (const auto& [control, caption] : cut_captions_) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    RemoveWindowSubclass(control, CaptionProc, 1);
  }
  cut_captions_.clear();
  const std::vector<front::CaptionPlace> cut = front::CutCaptions(room, measure);
  DeleteDC(dc);
  for (const front::CaptionPlace& p : cut) {
    HWND control = Control(p.control);
    std::wstring text = Wide(p.caption);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();  // the tooltip keeps its own copy
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    cut_captions_[control] = p.caption;
    // The focus on it shows its caption. Only the cut ones are subclassed:
    // under Wine a subclassed control's every message, its painting's too,
    // asks the server for its subclass.
    if (p.kind != front::CaptionPlace::Kind::Label)
      SetWindowSubclass(control, CaptionProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  // A change of DPI can cut or mend the focused control's caption.
  const auto focused = cut_captions_.find(GetFocus());
  ShowFocusedCaption(focused == cut_captions_.end() ? std::string_view() : focused->second);
}

HWND FormWindow::Control(std::string_view name) const {
  const auto it = controls_.find(front::ControlId(name));
  return it == controls_.end() ? nullptr : it->second;
}

void FormWindow::Load() {
  ListAdapter adapter([this](std::string_view name) { AddEntry(list1_, name); });
  SendMessageW(list1_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list1_, LB_INITSTORAGE, browser::ClassCatalogue().size(), 40 * sizeof(wchar_t));
  browser::LoadClassList(adapter);
  SendMessageW(list1_, WM_SETREDRAW, TRUE, 0);
  SetWindowSubclass(list1_, List1Proc, 1, reinterpret_cast<DWORD_PTR>(this));
  ++handler_depth_;
  SelectClass(0);  // dumps the first entry; List2 is still empty
  --handler_depth_;
  pane_.Flush();
  AddEntry(list2_, front::kNamespace);
  SendMessageW(list2_, LB_SETCURSEL, 0, 0);
  // The cut captions, their tooltips and their focus are marked once the
  // window has shown, from its message loop: nothing of them shows before
  // the user points at or tabs to a control.
  PostMessageW(hwnd_, kCaptionsMessage, 0, 0);
}

int FormWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

bool FormWindow::PreTranslate(MSG& msg) {
  if (find_dialog_ && IsDialogMessageW(find_dialog_, &msg)) return true;
  const bool ours = msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd);
  if (ours && msg.message == WM_KEYDOWN) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (ctrl && msg.wParam == 'S') {
      SavePane();
      return true;
    }
    if (ctrl && msg.wParam == 'F') {
      ShowFind();
      return true;
    }
    if (ctrl && msg.wParam == 'I') {
      ShowSummary();
      return true;
    }
    if (msg.wParam == VK_F3) {
      FindAgain(shift);
      return true;
    }
    if (msg.wParam == VK_ESCAPE) {
      EscapePressed();
      return true;
    }
  }
  return ours && IsDialogMessageW(hwnd_, &msg);
}

void FormWindow::Refresh(bool force) {
  const ULONGLONG now = GetTickCount64();
  if (!force && now - refreshed_at_ < kRefreshMs) return;
  refreshed_at_ = now;
  ApplyEnabled();
  pane_.Flush();
  if (status_due_) ShowStatus();
  if (list1_pending_) {
    list1_pending_ = false;
    SendMessageW(list1_, LB_SETCURSEL, static_cast<WPARAM>(list1_selection_), 0);
  }
}

void FormWindow::PumpMessages() {
  ApplyEnabled();
  Refresh(false);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool FormWindow::KeepWaiting() {
  // Esc counts only when pressed during this wait; a wait begun by an event
  // of this pump (a nested one) has its own.
  const bool outer_waiting = waiting_;
  const bool outer_escape = wait_escape_;
  waiting_ = true;
  wait_escape_ = false;
  PumpMessages();
  const bool stop = wait_escape_;
  waiting_ = outer_waiting;
  wait_escape_ = outer_escape;
  return !stop && !Closing();
}

void FormWindow::EscapePressed() {
  if (waiting_) wait_escape_ = true;
  if (Escape())
    ShowStatus();  // the batch's "stopping" at once
  else if (find_dialog_)
    DestroyWindow(find_dialog_);
}

LRESULT CALLBACK FormWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->Handle(message, wparam, lparam) : DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK FormWindow::FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // The buttons and the label of a group are the form's.
      return SendMessageW(GetParent(hwnd), message, wparam, lparam);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

LRESULT CALLBACK FormWindow::List1Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR data) {
  auto* self = reinterpret_cast<FormWindow*>(data);
  if (message == WM_LBUTTONDOWN) self->list1_press_ = self->SelectedClassIndex();
  // The selection the window knows is the list's until a message that could
  // change it, or read it otherwise, reaches the list; a batch's selection
  // the list has not taken yet, it takes first.
  switch (message) {
    case LB_GETCURSEL:
      if (self->list1_selection_ != kSelectionUnknown) return self->list1_selection_;
      break;
    case LB_GETTEXT:
    case LB_GETTEXTLEN:
    case LB_GETCOUNT:
    case WM_SETREDRAW:
    case WM_PAINT:
    case WM_NCPAINT:
    case WM_ERASEBKGND:
      break;
    default:
      if (self->list1_pending_) {
        self->list1_pending_ = false;
        DefSubclassProc(hwnd, LB_SETCURSEL, static_cast<WPARAM>(self->list1_selection_), 0);
      }
      self->list1_selection_ = kSelectionUnknown;
  }
  const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
  if (message == LB_GETCURSEL || (message == LB_SETCURSEL && result != LB_ERR))
    self->list1_selection_ = static_cast<int>(message == LB_GETCURSEL ? result : static_cast<LRESULT>(wparam));
  if (message == WM_LBUTTONUP) {
    // A click on the entry already selected dumps it again (a change of
    // selection is the list's own notification).
    const LRESULT hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lparam);
    const int index = static_cast<int>(LOWORD(hit));
    const int selected = static_cast<int>(SendMessageW(hwnd, LB_GETCURSEL, 0, 0));
    if (!HIWORD(hit) && index == selected && index == self->list1_press_) {
      self->list1_press_ = -1;
      self->Command(front::ControlId("List1"), LBN_SELCHANGE, hwnd);
    }
  }
  return result;
}

LRESULT CALLBACK FormWindow::ClearProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR data) {
  // Its check changes only by BM_SETCHECK (a click on a three-state box does
  // not tick it): known from the last answer until then.
  auto* self = reinterpret_cast<FormWindow*>(data);
  if (message == BM_GETCHECK && self->clear_check_ >= 0) return self->clear_check_;
  const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
  if (message == BM_GETCHECK) self->clear_check_ = result;
  if (message == BM_SETCHECK) self->clear_check_ = -1;
  return result;
}

LRESULT CALLBACK FormWindow::CaptionProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                         DWORD_PTR data) {
  auto* self = reinterpret_cast<FormWindow*>(data);
  if (message == WM_SETFOCUS) {
    const auto it = self->cut_captions_.find(hwnd);
    self->ShowFocusedCaption(it == self->cut_captions_.end() ? std::string_view() : it->second);
  } else if (message == WM_KILLFOCUS) {
    self->ShowFocusedCaption({});
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

LRESULT FormWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == find_message_ && find_message_) {
    const auto* find = reinterpret_cast<const FINDREPLACEW*>(lparam);
    if (find->Flags & FR_DIALOGTERM) {
      find_dialog_ = nullptr;
    } else if (find->Flags & FR_FINDNEXT) {
      if (!pane_.Find(find->lpstrFindWhat, !(find->Flags & FR_DOWN), find->Flags & FR_MATCHCASE)) MessageBeep(MB_OK);
    }
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case kFlushMessage:
      // Inside a handler, with the rest of what it shows.
      if (handler_depth_ > 0)
        Refresh(false);
      else
        pane_.Flush();
      return 0;
    case kCaptionsMessage:
      MarkCutCaptions();
      return 0;
    case WM_CTLCOLORSTATIC: {
      const HWND control = reinterpret_cast<HWND>(lparam);
      const int id = GetDlgCtrlID(control);
      bool green = control == text2_;
      for (const auto& [frame, g] : frames_) green = green || id == front::ControlId(g->label);
      if (green) {
        SetBkColor(reinterpret_cast<HDC>(wparam),
                   RGB(front::kLightGreen.red, front::kLightGreen.green, front::kLightGreen.blue));
        return reinterpret_cast<LRESULT>(green_);
      }
      break;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wparam) == pane_.hwnd()) {
        PaneMenu(lparam);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (busy_ && LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      break;
    case WM_DROPFILES: {
      const auto drop = reinterpret_cast<HDROP>(wparam);
      std::wstring file;
      const auto query = LaterFunction<decltype(&DragQueryFileW)>(L"shell32.dll", "DragQueryFileW");
      const auto finish = LaterFunction<decltype(&DragFinish)>(L"shell32.dll", "DragFinish");
      if (query && query(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        file.resize(query(drop, 0, nullptr, 0) + 1);
        file.resize(query(drop, 0, file.data(), static_cast<UINT>(file.size())));
      }
      if (finish) finish(drop);
      if (!file.empty()) OpenCapture(std::filesystem::path(file));
      return 0;
    }
    case WM_DPICHANGED: {
      const UINT old = dpi_;
      dpi_ = HIWORD(wparam);
      MakeFonts();
      // Windows suggests the window's new rectangle; without one it keeps its
      // place and scales its size.
      RECT r{};
      if (lparam) {
        r = *reinterpret_cast<const RECT*>(lparam);
      } else {
        GetWindowRect(hwnd_, &r);
        r.right = r.left + MulDiv(r.right - r.left, static_cast<int>(dpi_), static_cast<int>(old));
        r.bottom = r.top + MulDiv(r.bottom - r.top, static_cast<int>(dpi_), static_cast<int>(old));
      }
      SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_CLOSE:
      // Closing ends the program: a running batch stops after the class or
      // button at hand, and the window goes once it has.
      Close();
      if (handler_depth_ > 0) {
        destroy_pending_ = true;
        ShowWindow(hwnd_, SW_HIDE);
      } else {
        DestroyWindow(hwnd_);
      }
      return 0;
    case WM_DESTROY:
      if (find_dialog_) DestroyWindow(find_dialog_);
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void FormWindow::Command(int id, int code, HWND control) {
  if (id == IDOK) {
    // Enter presses the focused button.
    HWND focus = GetFocus();
    wchar_t cls[16] = {};
    if (focus && GetClassNameW(focus, cls, 16) && lstrcmpiW(cls, L"BUTTON") == 0 && focus != chk_clear_)
      SendMessageW(focus, BM_CLICK, 0, 0);
    return;
  }
  if (id == IDCANCEL) {
    EscapePressed();
    return;
  }
  if (Closing()) return;  // nothing starts once the window is closing
  ++handler_depth_;
  if (const auto b = buttons_.find(id); b != buttons_.end() && code == BN_CLICKED) {
    browser::RunCategoryButton(*this, *b->second);
  } else if (id == front::ControlId("cmdAllGet") && code == BN_CLICKED) {
    browser::AllGetClick(*this);
  } else if (id == front::ControlId("Command61") && code == BN_CLICKED) {
    browser::Command61Click(*this);
  } else if (id == front::ControlId("Command62") && code == BN_CLICKED) {
    browser::AutoSaveClick(*this);
  } else if (id == front::ControlId("chkClear") && code == BN_CLICKED) {
    // A click ticks or unticks; grayed is set only from code.
    SetAutoClearValue(AutoClearValue() == 1 ? 0 : 1);
  } else if (id == front::ControlId("List1") && code == LBN_SELCHANGE && control == list1_) {
    browser::List1Click(*this);
  }
  --handler_depth_;
  Refresh(true);
  if (handler_depth_ == 0 && destroy_pending_ && hwnd_) DestroyWindow(hwnd_);
}

void FormWindow::AddEntry(HWND list, std::string_view text) {
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  entries_[list].emplace_back(text);
}

std::string FormWindow::ListText(HWND list, int index) const {
  // From the entries as added (the lists are not sorted): a batch reads its
  // class at every step.
  const auto it = entries_.find(list);
  if (index < 0 || it == entries_.end() || static_cast<std::size_t>(index) >= it->second.size()) return {};
  return it->second[static_cast<std::size_t>(index)];
}

int FormWindow::ClassCount() {
  const auto it = entries_.find(list1_);
  return it == entries_.end() ? 0 : static_cast<int>(it->second.size());
}
int FormWindow::SelectedClassIndex() {
  // A batch reads it several times a class: asked only when not known.
  if (list1_selection_ != kSelectionUnknown) return list1_selection_;
  return static_cast<int>(SendMessageW(list1_, LB_GETCURSEL, 0, 0));
}
void FormWindow::SelectClass(int index) {
  // Setting the selection from code raises List1's click, as the user's does.
  if (index == SelectedClassIndex()) return;
  if (busy_) {
    // A batch's walk: the list takes the selection at the next refresh, not
    // at each step (List1Proc gives it first to anything that asks).
    list1_selection_ = index;
    list1_pending_ = true;
  } else {
    SendMessageW(list1_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  if (index >= 0) browser::List1Click(*this);
}
std::string FormWindow::SelectedClass() { return ListText(list1_, SelectedClassIndex()); }
std::string FormWindow::SelectedNamespace() {
  return ListText(list2_, static_cast<int>(SendMessageW(list2_, LB_GETCURSEL, 0, 0)));
}
std::string FormWindow::ClassEntry(int index) { return ListText(list1_, index); }
void FormWindow::SetNamespaceListEnabled(bool enabled) { namespace_enabled_ = enabled; }
void FormWindow::SetTestButtonEnabled(bool enabled) { test_enabled_ = enabled; }
void FormWindow::ApplyEnabled() {
  // EnableWindow only on a change: each one redraws the control.
  HWND test = Control("Command61");
  if (static_cast<bool>(IsWindowEnabled(list2_)) != namespace_enabled_) EnableWindow(list2_, namespace_enabled_);
  if (static_cast<bool>(IsWindowEnabled(test)) != test_enabled_) EnableWindow(test, test_enabled_);
}
void FormWindow::SetAllGetEnabled(bool enabled) {
  for (std::string_view name : front::kAllGetControls) EnableWindow(Control(name), enabled);
}
int FormWindow::AutoClearValue() {
  // Read at each dump: asked only when not known.
  switch (clear_check_ >= 0 ? clear_check_ : SendMessageW(chk_clear_, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
      return 1;
    case BST_INDETERMINATE:
      return 2;
    default:
      return 0;
  }
}
void FormWindow::SetAutoClearValue(int value) {
  SendMessageW(chk_clear_, BM_SETCHECK, value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
}

void FormWindow::StatusChanged() {
  status_due_ = true;
  // A batch's steps show at the next refresh; its start, its end and
  // anything outside a batch at once.
  if (busy_ && status_batch_ && GetTickCount64() - refreshed_at_ < kRefreshMs) return;
  ShowStatus();
}

void FormWindow::ShowStatus() {
  status_due_ = false;
  if (!lbl_status_) return;
  const front::StatusLine line = Status();
  status_batch_ = line.batch;
  if (line.batch) {
    SendMessageW(prg_batch_, PBM_SETRANGE32, 0, line.progress_max);
    SendMessageW(prg_batch_, PBM_SETPOS, static_cast<WPARAM>(line.progress_value), 0);
  }
  // Each change only: a batch reports before every step.
  if (static_cast<bool>(IsWindowVisible(prg_batch_)) != line.batch) {
    ShowWindow(prg_batch_, line.batch ? SW_SHOWNA : SW_HIDE);
    Place(lbl_status_, line.text_rect);
  }
  const std::wstring text = WithCrLf(line.text);
  if (text != status_text_) {
    status_text_ = text;
    SetWindowTextW(lbl_status_, text.c_str());
  }
}

void FormWindow::TitleChanged() { SetWindowTextW(hwnd_, Wide(Title()).c_str()); }

void FormWindow::ShowError(const std::string& text) {
  ApplyEnabled();  // the message box takes input
  MessageBoxW(hwnd_, WithCrLf(text).c_str(), Wide(front::kWindowCaption).c_str(), MB_OK | MB_ICONWARNING);
}

void FormWindow::BusyChanged(bool busy) {
  busy_ = busy;
  if (!busy) Refresh(true);
  POINT p;
  GetCursorPos(&p);
  SetCursorPos(p.x, p.y);  // the cursor takes its new shape at once
}

void FormWindow::PaneMenu(LPARAM at) {
  // Copy and select all, then the window's save, find and summary with their keys.
  enum : UINT { kCopy = 1, kSelectAll, kSave, kFind, kSummary };
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kCopy, L"コピー(&C)\tCtrl+C");
  AppendMenuW(menu, MF_STRING, kSelectAll, L"すべて選択(&A)\tCtrl+A");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kSave, (Wide(front::kSaveMenu) + L"\tCtrl+S").c_str());
  AppendMenuW(menu, MF_STRING, kFind, (Wide(front::kFindMenu) + L"\tCtrl+F").c_str());
  AppendMenuW(menu, MF_STRING, kSummary, (Wide(front::kSummaryMenu) + L"\tCtrl+I").c_str());
  POINT p{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  if (p.x == -1 && p.y == -1) {  // from the keyboard: at the pane's corner
    p = {0, 0};
    ClientToScreen(pane_.hwnd(), &p);
  }
  const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, p.x, p.y, 0, hwnd_, nullptr);
  DestroyMenu(menu);
  switch (chosen) {
    case kCopy:
      SendMessageW(pane_.hwnd(), WM_COPY, 0, 0);
      break;
    case kSelectAll:
      pane_.SelectAll();
      break;
    case kSave:
      SavePane();
      break;
    case kFind:
      ShowFind();
      break;
    case kSummary:
      ShowSummary();
      break;
    default:
      break;
  }
}

void FormWindow::SavePane() {
  pane_.Flush();
  wchar_t file[MAX_PATH * 4] = {};
  wcsncpy(file, Wide(front::kSaveDefaultName).c_str(), MAX_PATH);
  const std::wstring title = Wide(front::kSaveTitle);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = L"テキスト (*.txt)\0*.txt\0すべてのファイル (*.*)\0*.*\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH * 4;
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = L"txt";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  const auto save = LaterFunction<decltype(&GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
  if (!save || !save(&ofn)) return;
  std::string error;
  if (!front::SaveTextFile(std::filesystem::path(file), pane_.Text(), &error))
    ShowError(front::kSaveFailed + Narrow(file) + "\n" + error);
}

void FormWindow::ShowFind() {
  if (find_dialog_) {
    SetFocus(find_dialog_);
    return;
  }
  find_ = FINDREPLACEW{};
  find_.lStructSize = sizeof find_;
  find_.hwndOwner = hwnd_;
  find_.lpstrFindWhat = find_text_;
  find_.wFindWhatLen = static_cast<WORD>(std::size(find_text_));
  find_.Flags = FR_DOWN;
  if (const auto find = LaterFunction<decltype(&FindTextW)>(L"comdlg32.dll", "FindTextW")) find_dialog_ = find(&find_);
}

void FormWindow::FindAgain(bool backward) {
  if (!find_text_[0]) {
    ShowFind();
    return;
  }
  if (!pane_.Find(find_text_, backward, find_.Flags & FR_MATCHCASE)) MessageBeep(MB_OK);
}

}  // namespace win
