// The Linux backend of the WMI layer: answers root\cimv2 queries from Linux's
// own management sources (procfs, sysfs, a few libc calls), read below a root
// directory. wmi::MakeLiveProvider() gives one over "/" and the real system.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wmi/linux/system.h"
#include "wmi/provider.h"

namespace wmi::lx {

class LinuxProvider : public Provider {
 public:
  LinuxProvider(std::string root, std::shared_ptr<System> system) : root_(std::move(root)), system_(std::move(system)) {}

  // A provider over a captured or synthetic tree, its live calls answered from <root>/live.json.
  static std::unique_ptr<LinuxProvider> ForTree(const std::string& root);

 protected:
  std::unique_ptr<Connection> ConnectNamespace(const std::string& ns) override;

 private:
  std::string root_;
  std::shared_ptr<System> system_;
};

// The class names the backend answers, concrete classes only.
std::vector<std::string> KnownClassNames();

}  // namespace wmi::lx
