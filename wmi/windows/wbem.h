// The Windows backend: the WMI service of the local machine through its COM
// interface (IWbemLocator, IWbemServices, IEnumWbemClassObject,
// IWbemClassObject).
//
// Threads: a WbemProvider, and every connection and result set it makes,
// belong to the thread that made the provider, and are used on that thread
// only (their interface pointers are those of its apartment). Builds with
// checks throw std::logic_error on a use from another thread (OwningThread).
//
// No call waits without bound on the caller's thread: the connection asks the
// service for its bounded wait, and a result set waits for each instance a
// short while at a time, running the provider's wait hook in between (the
// window repaints and takes input there, and Esc or closing the window stops
// the wait: Error(Cancelled)).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "wmi/instance.h"
#include "wmi/provider.h"
#include "wmi/windows/com.h"

namespace wmi::windows {

// An instance read from a class object: every non-system property, in the
// order the service enumerates them (Properties_).
Instance InstanceFromObject(IWbemClassObject& object);

// How a connection calls the service.
struct CallSettings {
  // How long one IEnumWbemClassObject::Next waits before the wait hook runs.
  LONG next_timeout_ms = 100;
  // Sets the proxy blanket on every enumerator as well as on the services
  // proxy: needed when the process's COM security could not be set.
  bool blanket_on_enumerators = false;
};

// The settings for a process whose CoInitializeSecurity gave `security`
// (ProcessSecurity()).
CallSettings SettingsForSecurity(HRESULT security);

// A connection over a services proxy of namespace `ns` (the blanket already
// set on it), used on the calling thread. `hook` runs between tries of a
// waiting Next.
std::unique_ptr<Connection> MakeConnection(ComPtr<IWbemServices> services, std::string ns,
                                           std::shared_ptr<const WaitHook> hook, CallSettings settings);

class WbemProvider : public Provider {
 public:
  // Joins the calling thread to COM (EnsureComForThisThread) and belongs to
  // it; the WMI locator is made at the first connection.
  WbemProvider();
  // Over a given locator (a test's), with given call settings.
  WbemProvider(ComPtr<IWbemLocator> locator, CallSettings settings);

 protected:
  std::unique_ptr<Connection> ConnectNamespace(const std::string& ns) override;

 private:
  ComPtr<IWbemServices> ConnectServices(const std::string& ns);

  OwningThread thread_;
  ComPtr<IWbemLocator> locator_;
  std::optional<CallSettings> settings_;
};

}  // namespace wmi::windows
