// pcinfo.exe: the window on this machine's WMI service, or on a recorded
// capture:  pcinfo.exe [--from SNAPSHOT]
// The command line is read as UTF-16 and every file name is kept whole.
#include "win/win32.h"
// After windows.h.
#include <commctrl.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browser/code_page.h"
#include "front/command_line.h"
#include "front/info_folder.h"
#include "front/no_service.h"
#include "win/form_window.h"
#include "win/utf16.h"
#include "wmi/error.h"
#include "wmi/live.h"
#include "wmi/utf8_path.h"
#include "wmi/windows/com.h"

namespace {

std::filesystem::path ProgramFolder() {
  std::wstring module(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (n < module.size()) {
      module.resize(n);
      break;
    }
    module.resize(module.size() * 2);
  }
  return std::filesystem::path(module).parent_path();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  // First thing, before anything in the process uses COM: the window's thread
  // is a single-threaded apartment (the common dialogs and the shell need
  // one), and no process-wide COM security is set (the save dialog's shell
  // extensions run in this process): every WMI proxy gets its own blanket.
  const wmi::windows::ComStart com(wmi::windows::Apartment::SingleThreaded, wmi::windows::Security::ProxyBlankets);
  browser::AdoptUserLocale();
  // The C run time's arguments, split as pcinfo-cli's are (the shell's
  // splitter would load the shell at start).
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.push_back(win::Narrow(__wargv[i]));
  const front::CommandLine line = front::ParseCommandLine(args);
  // A window program has no terminal: --help and --version answer in a box.
  if (line.help || line.version) {
    const std::wstring text = win::Wide(line.help ? std::string(front::kWindowHelp) : "pcinfo " PCINFO_VERSION);
    MessageBoxW(nullptr, text.c_str(), win::Wide(front::kWindowCaption).c_str(), MB_OK | MB_ICONINFORMATION);
    return 0;
  }

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  win::RichPane::LoadControl();

  std::unique_ptr<wmi::Provider> provider;
  try {
    provider = wmi::MakeLiveProvider();
  } catch (const wmi::Error&) {
    provider = std::make_unique<front::NoServiceProvider>();
  }
  const front::InfoFolder info = front::ChooseInfoFolder(ProgramFolder() / "info", front::PerUserInfoFolder());

  win::FormWindow window(*provider, info.path);
  if (!window.Create()) return 1;
  window.TellInfoFolder(info);
  if (!line.error.empty()) {
    const std::wstring text = win::Wide(line.error + "\r\n使い方: " + front::kWindowUsage);
    MessageBoxW(nullptr, text.c_str(), win::Wide(front::kWindowCaption).c_str(), MB_OK | MB_ICONWARNING);
  } else if (line.from) {
    window.OpenCapture(wmi::PathFromUtf8(*line.from));  // a bad file is told once; the window then shows this machine
  }
  window.Load();
  ShowWindow(window.hwnd(), show);
  UpdateWindow(window.hwnd());
  return window.Run();
}
