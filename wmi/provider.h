// The provider interface: connect by moniker, run queries, walk result sets.
// Backends (recorded snapshots, Linux, Windows COM) implement Provider and
// Connection; every failure is thrown as wmi::Error.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "wmi/instance.h"
#include "wmi/text.h"

namespace wmi {

// Query flags of the scripting interface.
inline constexpr int kReturnImmediately = 16;
inline constexpr int kForwardOnly = 32;
inline constexpr int kDefaultFlags = kReturnImmediately;                  // ExecQuery with the text alone
inline constexpr int kCategoryFlags = kReturnImmediately | kForwardOnly;  // 48

// A result set, enumerated forward only, once, in delivery order.
class ResultSet {
 public:
  virtual ~ResultSet() = default;
  // The next instance, or nullopt at the end. Throws Error when enumeration
  // fails (for instance on a class that does not exist).
  virtual std::optional<Instance> Next() = 0;
};

// A service object for one namespace of the local machine.
class Connection {
 public:
  virtual ~Connection() = default;
  // ExecQuery(query text, WQL, flags). Throws Error, either here or at the
  // first Next() of the result, as the backend's service would.
  virtual std::unique_ptr<ResultSet> ExecQuery(std::string_view query, int flags = kDefaultFlags) = 0;
  // InstancesOf(class, flags).
  virtual std::unique_ptr<ResultSet> InstancesOf(std::string_view class_name, int flags = kDefaultFlags) = 0;
};

// What a call does while it waits on a slow service. The provider's owner
// (the window) sets it; a backend whose calls can wait calls KeepWaiting
// between tries, on the provider's thread, so that the window repaints and
// takes input meanwhile. When it returns false the waiting call stops and
// throws Error(Cancelled). Without a function set, a wait goes on until the
// service answers, and nothing is called.
class WaitHook {
 public:
  void Set(std::function<bool()> keep_waiting) { keep_waiting_ = std::move(keep_waiting); }
  bool KeepWaiting() const { return !keep_waiting_ || keep_waiting_(); }

 private:
  std::function<bool()> keep_waiting_;
};

class Provider {
 public:
  virtual ~Provider() = default;

  // Sets the function waiting calls run between tries (see WaitHook); the
  // connections made before and after both use it.
  void SetWaitHook(std::function<bool()> keep_waiting) { wait_hook_->Set(std::move(keep_waiting)); }
  // Shared with the connections and result sets the provider makes.
  const std::shared_ptr<WaitHook>& wait_hook() const { return wait_hook_; }
  // Connect by moniker: `winmgmts:\\.\root\<ns>` or `Winmgmts:` for the default
  // namespace root\cimv2. Throws Error(ConnectFailed).
  std::unique_ptr<Connection> Connect(std::string_view moniker);

 protected:
  // `ns` is the full namespace path as read from the moniker, e.g. "root\cimv2"
  // (or "root\" when the moniker names nothing below root).
  virtual std::unique_ptr<Connection> ConnectNamespace(const std::string& ns) = 0;

 private:
  std::shared_ptr<WaitHook> wait_hook_ = std::make_shared<WaitHook>();
};

// The namespace a moniker names, or nullopt when it is not a local winmgmts moniker.
std::optional<std::string> NamespaceOfMoniker(std::string_view moniker);

// A result set over instances held in memory.
class VectorResultSet : public ResultSet {
 public:
  explicit VectorResultSet(std::vector<Instance> instances) : instances_(std::move(instances)) {}
  std::optional<Instance> Next() override;

 private:
  std::vector<Instance> instances_;
  std::size_t next_ = 0;
};

}  // namespace wmi
