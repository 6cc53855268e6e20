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

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
  // proxy: needed when the process's COM security was not set.
  bool blanket_on_enumerators = false;
  // How many objects one Next asks for (one round trip each).
  ULONG batch = 32;
  // How long a result set may wait for its next object before the query is
  // given up (Error(ProviderFailure), and the wait limit's report runs); zero:
  // no bound. A timed-out Next counts as next_timeout_ms at least.
  std::chrono::milliseconds wait_limit{0};
  // Runs ConnectServer on a thread of its own (in the multithreaded
  // apartment) while the calling thread runs the wait hook every
  // next_timeout_ms, so that a connection that hangs (at most two minutes,
  // the service's own bound) does not hold the window and Esc stops it. The
  // services object comes back marshalled; where it cannot be, the
  // connection is made again on the calling thread. For a single-threaded
  // apartment (the window's thread), and wherever there is a wait_limit: a
  // connection without an answer for that long is given up
  // (Error(ConnectFailed), and the wait limit's report runs with
  // "ConnectServer(root\cimv2)"), its worker left to release what comes; a
  // later connection to that namespace while the worker still waits is
  // given up at once.
  bool connect_on_worker = false;
};

// The settings for a process whose CoInitializeSecurity gave `security`
// (ProcessSecurity()), with the process's wait limit; a calling thread in a
// single-threaded apartment, or any under a wait limit, connects on a worker.
CallSettings SettingsForSecurity(HRESULT security);

// The process's bound on a query that gets no answer (`pcinfo-cli --timeout`):
// every connection made afterwards gives up a connect or a result set that
// waits `limit` for its answer or next object, and calls `on_give_up` with what
// it was running ("ExecQuery(Select * from Win32_Printer) in root\cimv2",
// "ConnectServer(root\cimv2)") first. Zero, the
// default: no bound (the window, where Esc stops a wait). Set it before the
// first connection, on the thread that uses the provider.
void SetWaitLimit(std::chrono::milliseconds limit, std::function<void(const std::string& what)> on_give_up);

// A query of the schema ("Select * from meta_class ...") gives classes, not
// instances: each as an instance of two properties, __CLASS and __SUPERCLASS
// (Null at a root class), which is what AutoSave asks once per walk.
bool IsSchemaQuery(std::string_view query);

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
  ComPtr<IWbemServices> ConnectServices(const std::string& ns, const CallSettings& settings);
  ComPtr<IWbemServices> ConnectOnWorker(const std::string& ns, const CallSettings& settings);

  OwningThread thread_;
  ComPtr<IWbemLocator> locator_;
  std::optional<CallSettings> settings_;
};

}  // namespace wmi::windows
