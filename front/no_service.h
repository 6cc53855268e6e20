// The provider of a build without a live WMI backend: every connection fails,
// so each button shows its header and one separator.
#pragma once

#include "wmi/error.h"
#include "wmi/provider.h"

namespace front {

class NoServiceProvider : public wmi::Provider {
 protected:
  std::unique_ptr<wmi::Connection> ConnectNamespace(const std::string& ns) override {
    throw wmi::Error(wmi::ErrorCode::ConnectFailed, "no WMI service: " + ns);
  }
};

}  // namespace front
