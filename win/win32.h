// The Windows API for the window's sources. winbase.h defines Yield as a
// macro, which would rename the window's own Yield method.
#pragma once

#include <windows.h>
#undef Yield
