// Live backend of a platform that has none.
#include "wmi/error.h"
#include "wmi/live.h"

namespace wmi {

std::unique_ptr<Provider> MakeLiveProvider() {
  throw Error(ErrorCode::ConnectFailed, "this build has no live WMI backend for this platform; use --from SNAPSHOT");
}

}  // namespace wmi
