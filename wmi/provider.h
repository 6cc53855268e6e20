// The provider interface: connect by moniker, run queries, walk result sets.
// Backends (recorded snapshots, Linux, Windows COM) implement Provider and
// Connection; every failure is thrown as wmi::Error.
#pragma once

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
inline constexpr int kDefaultFlags = kReturnImmediately;            // ExecQuery with the text alone
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

class Provider {
 public:
  virtual ~Provider() = default;
  // Connect by moniker: `winmgmts:\\.\root\<ns>` or `Winmgmts:` for the default
  // namespace root\cimv2. Throws Error(ConnectFailed).
  std::unique_ptr<Connection> Connect(std::string_view moniker);

 protected:
  // `ns` is the full namespace path as read from the moniker, e.g. "root\cimv2"
  // (or "root\" when the moniker names nothing below root).
  virtual std::unique_ptr<Connection> ConnectNamespace(const std::string& ns) = 0;
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
