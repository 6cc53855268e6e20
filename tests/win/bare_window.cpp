// pcinfo_bare_window.exe: the floor of any Win32 window with Japanese text,
// for the start-up figure of bench/wine_window.sh: a window of the form's
// start size with one label, the form's caption in its Gothic face, shown,
// then the message loop.
#include "front/layout.h"
#include "win/utf16.h"
#include "win/win32.h"

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = Proc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = L"pcinfo.bare";
  RegisterClassExW(&cls);
  const std::wstring caption = win::Wide(front::kWindowCaption);
  HWND window = CreateWindowExW(0, cls.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, front::TwipsToPixels(front::kStartWidth, 96),
                                front::TwipsToPixels(front::kDesignHeight, 96), nullptr, nullptr, instance, nullptr);
  HWND label = CreateWindowExW(0, L"STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, 400, 20, window,
                               nullptr, instance, nullptr);
  LOGFONTW face{};
  face.lfHeight = -MulDiv(front::kGothicPoints, 96, 72);
  face.lfCharSet = SHIFTJIS_CHARSET;
  wcsncpy(face.lfFaceName, win::Wide(front::kGothicFace).c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&face);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeleteObject(font);
  return 0;
}
