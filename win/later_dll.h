// Functions of DLLs the window needs only once the user asks for them (the
// save and find dialogs, a dropped file), loaded then rather than at start:
// comdlg32 brings the shell and the printing DLLs with it, which a start
// under Wine pays for in full. Also functions that only newer Windows have.
#pragma once

#include "win/win32.h"

namespace win {

// `name` of `dll`, loaded on the first call; nullptr when either is missing.
template <typename Fn>
Fn LaterFunction(const wchar_t* dll, const char* name) {
  HMODULE module = GetModuleHandleW(dll);
  if (!module) module = LoadLibraryW(dll);
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace win
