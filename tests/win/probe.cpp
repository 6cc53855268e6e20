// Looks at a running pcinfo.exe from outside, as the checks under Wine need:
// its child windows, their places and texts, and what a click or a selection
// puts in the pane. One action per run:
//
//   probe layout GOLDEN [DPI] every control of the form (the Qt window's golden
//                             layout, in twips) at its place within one pixel
//                             at the window's DPI (or DPI), with its parent
//                             and caption, and in the form's tab order
//   probe dpi DPI             tells the window its DPI changed to DPI
//   probe click CONTROL OUT   clicks a button; the pane's text into OUT (UTF-8)
//   probe select CLASS        selects a class in List1 as the user does
//   probe title               prints the window's title
//   probe selected [at]       prints the text selected in the pane (after
//                             the position where it starts, with "at")
//   probe autosave-esc CLASS  selects CLASS, starts AutoSave and presses Esc:
//                             prints the entry the walk stopped at and the
//                             status line, which tells where
//   probe close-during CONTROL [CLASS]  selects CLASS, starts a batch and
//                             closes the window once it runs: waits for the
//                             program to end
//   probe captions [CONTROL]  gives the focus to every captioned control in
//                             turn: the status line's first line must be the
//                             control's whole caption where the window has a
//                             tooltip for it (at least one; CONTROL among
//                             them when named), and no other caption
//   probe close               closes the window: waits for the program to end
//   probe time CONTROL [INDEX]  with auto-clear off and the class at INDEX
//                             (0) selected, clicks a batch button: prints the
//                             seconds its handler took and the pane's length,
//                             then what putting that text into a RichEdit in
//                             one piece costs here
//   probe startup EXE [ARG...]  starts EXE: prints the seconds from its start
//                             to its window shown and answering, then closes it
//
// Exit status 0 when the action did what was asked, 1 otherwise, 2 when the
// window was not found.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "front/captions.h"
#include "front/layout.h"
#include "win/form_window.h"
#include "win/utf16.h"
#include "win/win32.h"
// After windows.h.
#include <commctrl.h>
#include <richedit.h>

namespace {

HWND g_window = nullptr;

HWND FindForm() {
  for (int i = 0; i < 600; ++i) {  // up to 60 s: Wine's first start is slow
    HWND w = FindWindowW(win::kWindowClass, nullptr);
    if (w && IsWindowVisible(w)) {
      // Answered once start-up is over.
      DWORD_PTR ignored;
      if (SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored)) return w;
    }
    Sleep(100);
  }
  return nullptr;
}

std::string Text(HWND h) {
  const LRESULT n = SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(h, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()))));
  return win::Narrow(text);
}

// Every child window, by control ID.
std::map<int, HWND> Children() {
  std::map<int, HWND> out;
  EnumChildWindows(
      g_window,
      [](HWND h, LPARAM p) -> BOOL {
        (*reinterpret_cast<std::map<int, HWND>*>(p))[GetDlgCtrlID(h)] = h;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

int IdOf(const std::string& name) {
  if (name == "prgBatch") return win::kProgressId;
  if (name == "lblStatus") return win::kStatusId;
  return front::ControlId(name);
}

HWND Named(const std::string& name) {
  const auto children = Children();
  const auto it = children.find(IdOf(name));
  return it == children.end() ? nullptr : it->second;
}

UINT Dpi(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  const auto fn =
      reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return fn && fn(hwnd) ? fn(hwnd) : 96;
}

int Layout(const char* golden, int asked_dpi) {
  std::ifstream in(golden, std::ios::binary);
  if (!in) {
    std::printf("cannot read %s\n", golden);
    return 1;
  }
  const int dpi = asked_dpi ? asked_dpi : static_cast<int>(Dpi(g_window));
  const auto children = Children();
  int checked = 0, bad = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
    if (f.size() < 4) continue;
    const int id = IdOf(f[0]);
    if (id == 0) continue;  // the Qt window's own (its find bar)
    const auto it = children.find(id);
    if (it == children.end()) {
      std::printf("MISSING %s\n", f[0].c_str());
      ++bad;
      continue;
    }
    HWND h = it->second;
    int l, t, w, hh;
    std::sscanf(f[3].c_str(), "%d %d %d %d", &l, &t, &w, &hh);
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    const int want[4] = {front::TwipsToPixels(l, dpi), front::TwipsToPixels(t, dpi), front::TwipsToPixels(w, dpi),
                         front::TwipsToPixels(hh, dpi)};
    const int got[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    bool ok = true;
    for (int i = 0; i < 4; ++i) ok = ok && std::abs(want[i] - got[i]) <= 1;
    const HWND parent = GetParent(h);
    const std::string parent_want = f[1];
    const bool parent_ok = parent_want == "frmWMIInfo" ? parent == g_window : GetDlgCtrlID(parent) == IdOf(parent_want);
    const bool caption_ok = f.size() < 5 || Text(h) == f[4];
    if (!ok || !parent_ok || !caption_ok) {
      ++bad;
      std::printf("DIFFERS %s: want %d %d %d %d in %s \"%s\", got %d %d %d %d \"%s\"\n", f[0].c_str(), want[0], want[1],
                  want[2], want[3], parent_want.c_str(), f.size() < 5 ? "" : f[4].c_str(), got[0], got[1], got[2],
                  got[3], Text(h).c_str());
    }
    ++checked;
  }
  // The controls in the form's tab order: the order of the child windows,
  // each frame followed by its own.
  std::vector<std::string> order;
  std::function<void(HWND)> walk = [&](HWND parent) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      for (std::string_view name : front::TabOrder())
        if (front::ControlId(name) == GetDlgCtrlID(c)) order.emplace_back(name);
      walk(c);
    }
  };
  walk(g_window);
  const auto tab = front::TabOrder();
  if (!std::equal(order.begin(), order.end(), tab.begin(), tab.end())) {
    std::printf("DIFFERS tab order: %zu controls, want %zu in the form's order\n", order.size(), tab.size());
    ++bad;
  }
  // The window opens 16665 twips wide.
  RECT outer;
  GetWindowRect(g_window, &outer);
  if (std::abs(outer.right - outer.left - front::TwipsToPixels(front::kStartWidth, dpi)) > 1) {
    std::printf("DIFFERS window width %ld, want %d\n", outer.right - outer.left,
                front::TwipsToPixels(front::kStartWidth, dpi));
    ++bad;
  }
  std::printf("%d controls checked at %d dpi, %d differ\n", checked, dpi, bad);
  return bad == 0 && checked > 100 ? 0 : 1;
}

// The pane's text with every line ended by CR LF (the control keeps CR alone).
std::string PaneText() {
  const std::string raw = Text(Named("rtxtMsg"));
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r') {
      out += "\r\n";
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    } else if (raw[i] == '\n') {
      out += "\r\n";
    } else {
      out += raw[i];
    }
  }
  return out;
}

// The pane's selection, as the control counts (one CR a line end).
std::string Selected() {
  HWND pane = Named("rtxtMsg");
  const LRESULT n = SendMessageW(pane, WM_GETTEXTLENGTH, 0, 0);
  std::wstring raw(static_cast<std::size_t>(n) + 1, L'\0');
  raw.resize(static_cast<std::size_t>(
      SendMessageW(pane, WM_GETTEXT, static_cast<WPARAM>(raw.size()), reinterpret_cast<LPARAM>(raw.data()))));
  std::wstring text;
  for (std::size_t i = 0; i < raw.size(); ++i)
    if (!(raw[i] == L'\r' && i + 1 < raw.size() && raw[i + 1] == L'\n')) text += raw[i] == L'\n' ? L'\r' : raw[i];
  // Positions by the return value (below 65536 in a short pane): pointers do
  // not cross to the window's process.
  const DWORD both = static_cast<DWORD>(SendMessageW(pane, EM_GETSEL, 0, 0));
  const std::size_t from = LOWORD(both);
  std::size_t to = HIWORD(both);
  // A selection of everything takes the control's final paragraph mark too.
  to = std::min(to, text.size());
  if (from > to) return {};
  return win::Narrow(text.substr(from, to - from));
}

int Click(const std::string& name, const char* out) {
  HWND b = Named(name);
  if (!b) return 1;
  SendMessageW(b, BM_CLICK, 0, 0);  // returns once the click's handler has
  std::ofstream(out, std::ios::binary) << PaneText();
  return 0;
}

// Selects `cls` in List1 and tells the window as the list does for a user's
// selection; returns its index, -1 when the list has no such entry.
int Select(const std::string& cls, bool wait) {
  HWND list = Named("List1");
  const LRESULT index =
      SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(win::Wide(cls).c_str()));
  if (index == LB_ERR) return -1;
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const WPARAM command = MAKEWPARAM(front::ControlId("List1"), LBN_SELCHANGE);
  if (wait)
    SendMessageW(g_window, WM_COMMAND, command, reinterpret_cast<LPARAM>(list));
  else
    PostMessageW(g_window, WM_COMMAND, command, reinterpret_cast<LPARAM>(list));
  return static_cast<int>(index);
}

bool WaitForStatus(const std::string& start, int tenths) {
  // Asked again at once: a batch answers between two of its steps, and a
  // short one (全自動収集 takes a tenth of a second) is over between two
  // looks a tenth apart.
  HWND status = Named("lblStatus");
  const ULONGLONG until = GetTickCount64() + 100ULL * static_cast<ULONGLONG>(tenths);
  while (GetTickCount64() < until) {
    if (Text(status).rfind(start, 0) == 0) return true;
    Sleep(1);
  }
  return false;
}

// The tooltip control the window owns.
HWND Tooltips() {
  struct Search {
    HWND owner, found;
  } search{g_window, nullptr};
  EnumWindows(
      [](HWND h, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t cls[32] = {};
        GetClassNameW(h, cls, 32);
        if (GetWindow(h, GW_OWNER) == s->owner && lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0) s->found = h;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Captions(const std::string& must) {
  // Focus moves only within one input queue: share the window's.
  AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(g_window, nullptr), TRUE);
  SetForegroundWindow(g_window);
  std::vector<std::string> captions;
  for (const front::CaptionPlace& p : front::CaptionPlaces()) captions.emplace_back(p.caption);
  int focused = 0, shown = 0, wrong = 0;
  bool must_shown = must.empty();
  for (const front::CaptionPlace& p : front::CaptionPlaces()) {
    if (p.kind == front::CaptionPlace::Kind::Label) continue;
    HWND control = Named(std::string(p.control));
    SetFocus(control);
    if (GetFocus() != control) continue;
    ++focused;
    const std::string status = Text(Named("lblStatus"));
    const std::string first = status.substr(0, status.find('\r'));
    if (first == Text(control)) {
      ++shown;
      must_shown = must_shown || p.control == must;
      std::printf("shown whole: %s \"%s\"\n", std::string(p.control).c_str(), first.c_str());
    } else if (std::find(captions.begin(), captions.end(), first) != captions.end()) {
      ++wrong;
      std::printf("WRONG on %s: \"%s\"\n", std::string(p.control).c_str(), first.c_str());
    }
  }
  AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(g_window, nullptr), FALSE);
  HWND tips = Tooltips();
  const int tools = tips ? static_cast<int>(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0)) : 0;
  std::printf("%d controls focused, %d cut captions shown whole in the status line, %d tooltips, %d wrong\n", focused,
              shown, tools, wrong);
  return focused > 60 && shown > 0 && shown < focused && must_shown && wrong == 0 && tools >= shown ? 0 : 1;
}

int AutoSaveEsc(const std::string& cls) {
  const int from = Select(cls, true);
  if (from < 0) return 1;
  HWND button = Named("Command62");
  // Both wait in the queue: the click starts the walk, whose first yield
  // takes the key.
  PostMessageW(button, BM_CLICK, 0, 0);
  PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(button, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
  // Until the walk has ended (a message sent now may be answered inside its
  // first yield, on a slow machine): the status line no longer tells of a
  // batch, for up to a minute.
  const auto running = [](const std::string& status) {
    return status.find("Esc で中止") != std::string::npos || status.find("中止しています") != std::string::npos;
  };
  std::string status;
  for (int i = 0; i < 600; ++i) {
    Sleep(100);
    DWORD_PTR ignored;
    SendMessageTimeoutW(g_window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
    status = Text(Named("lblStatus"));
    if (!running(status)) break;
  }
  const int at = static_cast<int>(SendMessageW(Named("List1"), LB_GETCURSEL, 0, 0));
  const int count = static_cast<int>(SendMessageW(Named("List1"), LB_GETCOUNT, 0, 0));
  // No batch runs any more, and the status line tells where AutoSave stopped.
  const bool idle = !running(status) && status.find("AutoSave: ") != std::string::npos &&
                    status.find(" / " + std::to_string(count) + " で中止") != std::string::npos;
  std::printf("from %d stopped at %d of %d, status \"%s\"\n", from, at, count, status.c_str());
  return idle && at == from + 1 ? 0 : 1;
}

// Closes the window (once the batch named by `control` runs, when one is):
// true when the program ended within a minute with exit code 0.
bool CloseAndWait(const std::string& control, bool* running) {
  DWORD pid = 0;
  GetWindowThreadProcessId(g_window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process) return false;
  if (!control.empty()) {
    PostMessageW(Named(control), BM_CLICK, 0, 0);
    *running = WaitForStatus(control == "cmdAllGet" ? front::kAllGetCaption : front::kAutoSaveCaption, 300);
  }
  PostMessageW(g_window, WM_CLOSE, 0, 0);
  const DWORD waited = WaitForSingleObject(process, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  std::printf("ended: %s, exit code %lu\n", waited == WAIT_OBJECT_0 ? "yes" : "no", code);
  return waited == WAIT_OBJECT_0 && code == 0;
}

int CloseDuring(const std::string& control, const std::string& cls) {
  if (!cls.empty() && Select(cls, true) < 0) return 1;
  bool running = false;
  const bool ended = CloseAndWait(control, &running);
  std::printf("batch seen running: %s\n", running ? "yes" : "no");
  return running && ended ? 0 : 1;
}

// Wine's own cost of showing `pane`'s text: the whole of it put into a
// RichEdit of the pane's size, kind and font in this process, in one
// EM_REPLACESEL; in seconds.
double OneInsertion(HWND pane) {
  const LRESULT n = SendMessageW(pane, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(pane, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()))));
  LoadLibraryW(L"Msftedit.dll");
  RECT r{};
  GetClientRect(pane, &r);
  HWND host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, r.right, r.bottom, nullptr, nullptr, nullptr, nullptr);
  HWND edit = CreateWindowExW(0, MSFTEDIT_CLASS, L"",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                  ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                              0, 0, r.right, r.bottom, host, nullptr, nullptr, nullptr);
  SendMessageW(edit, EM_SETTEXTMODE, TM_PLAINTEXT | TM_SINGLELEVELUNDO | TM_SINGLECODEPAGE, 0);
  SendMessageW(edit, EM_SETUNDOLIMIT, 0, 0);
  SendMessageW(edit, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  LOGFONTW face{};
  face.lfHeight = -MulDiv(front::kGothicPoints, 96, 72);
  face.lfCharSet = SHIFTJIS_CHARSET;
  face.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  wcsncpy(face.lfFaceName, win::Wide(front::kGothicFace).c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&face);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  QueryPerformanceCounter(&end);
  DestroyWindow(host);
  DeleteObject(font);
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Time(const std::string& control, int first) {
  HWND button = Named(control);
  if (!button) return 1;
  SendMessageW(Named("chkClear"), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(Named("List1"), LB_SETCURSEL, static_cast<WPARAM>(first), 0);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  SendMessageW(button, BM_CLICK, 0, 0);  // returns once the batch has ended
  QueryPerformanceCounter(&end);
  const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  const LRESULT length = SendMessageW(Named("rtxtMsg"), WM_GETTEXTLENGTH, 0, 0);
  std::printf("%s %.2f s, pane %ld characters\n", control.c_str(), seconds, static_cast<long>(length));
  std::printf("insertion-%s %.2f s, the pane's text into a RichEdit at once\n", control.c_str(),
              OneInsertion(Named("rtxtMsg")));
  return 0;
}

// The visible top-level window of process `pid`, if any.
HWND ShownWindowOf(DWORD pid) {
  struct Search {
    DWORD pid;
    HWND found;
  } search{pid, nullptr};
  EnumWindows(
      [](HWND h, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner != s->pid || !IsWindowVisible(h) || GetWindow(h, GW_OWNER)) return TRUE;
        s->found = h;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Startup(int argc, char** argv) {
  std::wstring command;
  for (int i = 0; i < argc; ++i) command += (i ? L" \"" : L"\"") + win::Wide(argv[i]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 1;
  // Shown, then answering: its start-up is over and its message loop runs.
  HWND shown = nullptr;
  for (int i = 0; i < 60000 && !shown; ++i) {
    shown = ShownWindowOf(process.dwProcessId);
    if (!shown) Sleep(1);
  }
  DWORD_PTR ignored;
  const bool answered = shown && SendMessageTimeoutW(shown, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
  QueryPerformanceCounter(&end);
  if (shown) PostMessageW(shown, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!answered) {
    std::printf("not shown\n");
    return 1;
  }
  std::printf("shown %.3f s\n",
              static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  return ended ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (std::string(argv[1]) == "startup" && argc >= 3) return Startup(argc - 2, argv + 2);
  g_window = FindForm();
  if (!g_window) {
    std::printf("no window\n");
    return 2;
  }
  const std::string action = argv[1];
  if (action == "layout" && (argc == 3 || argc == 4)) return Layout(argv[2], argc == 4 ? std::atoi(argv[3]) : 0);
  if (action == "dpi" && argc == 3) {
    // As Windows tells a window moved to a monitor of another scale, without
    // the suggested rectangle (a pointer does not cross to its process).
    const int dpi = std::atoi(argv[2]);
    SendMessageW(g_window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0);
    return 0;
  }
  if (action == "click" && argc == 4) return Click(argv[2], argv[3]);
  if (action == "pane" && argc == 3) {
    std::ofstream(argv[2], std::ios::binary) << PaneText();
    return 0;
  }
  if (action == "select" && argc == 3) return Select(argv[2], true) >= 0 ? 0 : 1;
  if (action == "selected") {
    if (argc > 2 && std::string(argv[2]) == "at")  // where the selection starts, first
      std::printf("%u ", LOWORD(static_cast<DWORD>(SendMessageW(Named("rtxtMsg"), EM_GETSEL, 0, 0))));
    std::printf("%s\n", Selected().c_str());
    return 0;
  }
  if (action == "title") {
    std::printf("%s\n", Text(g_window).c_str());
    return 0;
  }
  if (action == "autosave-esc" && argc == 3) return AutoSaveEsc(argv[2]);
  if (action == "close-during" && argc >= 3) return CloseDuring(argv[2], argc > 3 ? argv[3] : "");
  if (action == "captions") return Captions(argc > 2 ? argv[2] : "");
  if (action == "close") return CloseAndWait("", nullptr) ? 0 : 1;
  if (action == "time" && argc >= 3) return Time(argv[2], argc > 3 ? std::atoi(argv[3]) : 0);
  return 2;
}
