// The Windows backend: the WMI service of the local machine through its COM
// interface (IWbemLocator, IWbemServices, IEnumWbemClassObject,
// IWbemClassObject).
#pragma once

#include <memory>
#include <string>

#include "wmi/instance.h"
#include "wmi/provider.h"
#include "wmi/windows/com.h"

namespace wmi::windows {

// An instance read from a class object: every non-system property, in the
// order the service enumerates them (Properties_).
Instance InstanceFromObject(IWbemClassObject& object);

class WbemProvider : public Provider {
 public:
  WbemProvider();

 protected:
  std::unique_ptr<Connection> ConnectNamespace(const std::string& ns) override;

 private:
  ComPtr<IWbemServices> ConnectServices(const std::string& ns);

  ComPtr<IWbemLocator> locator_;
};

}  // namespace wmi::windows
