// The platform's live backend: Linux's own management sources on Linux, the
// WMI service through COM on Windows.
#pragma once

#include <memory>

#include "wmi/provider.h"

namespace wmi {

// Throws Error(ConnectFailed) with a readable message when this build has no
// live backend.
std::unique_ptr<Provider> MakeLiveProvider();

}  // namespace wmi
