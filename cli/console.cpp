#include "cli/console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#endif

namespace cli {

void PrepareConsole() {
#ifdef _WIN32
  // Binary mode: no CR CR LF; the bytes are UTF-8 as on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace cli
