// The Linux backend of the WMI layer: answers root\cimv2 queries from Linux's
// own management sources (procfs, sysfs, a few libc calls), read below a root
// directory. wmi::MakeLiveProvider() gives one over "/" and the real system.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "wmi/linux/system.h"
#include "wmi/provider.h"

namespace wmi::lx {

struct Session;

// Connections made within a short time of each other (one batch of buttons,
// the queries of one composite button) share what was read: the sources are
// read again once the session is older than `reuse` (one second by default).
class LinuxProvider : public Provider {
 public:
  LinuxProvider(std::string root, std::shared_ptr<System> system,
                std::chrono::milliseconds reuse = std::chrono::seconds(1));
  ~LinuxProvider() override;

  // A provider over a captured or synthetic tree, its live calls answered from <root>/live.json.
  static std::unique_ptr<LinuxProvider> ForTree(const std::string& root);

 protected:
  std::unique_ptr<Connection> ConnectNamespace(const std::string& ns) override;

 private:
  std::string root_;
  std::shared_ptr<System> system_;
  std::chrono::milliseconds reuse_;
  std::shared_ptr<Session> session_;
};

// The class names the backend answers, concrete classes only.
std::vector<std::string> KnownClassNames();

}  // namespace wmi::lx
