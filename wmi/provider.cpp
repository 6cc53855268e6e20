#include "wmi/provider.h"

#include "wmi/error.h"

namespace wmi {

namespace {
bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}
}  // namespace

std::optional<std::string> NamespaceOfMoniker(std::string_view moniker) {
  constexpr std::string_view kScheme = "winmgmts:";
  if (!StartsWithIgnoreCase(moniker, kScheme)) return std::nullopt;
  std::string_view rest = moniker.substr(kScheme.size());
  if (rest.empty()) return std::string("root\\cimv2");  // the default namespace
  constexpr std::string_view kLocal = "\\\\.\\";
  if (!StartsWithIgnoreCase(rest, kLocal)) return std::nullopt;
  rest.remove_prefix(kLocal.size());
  if (!StartsWithIgnoreCase(rest, "root")) return std::nullopt;
  if (rest.size() > 4 && rest[4] != '\\') return std::nullopt;
  return std::string(rest);
}

std::unique_ptr<Connection> Provider::Connect(std::string_view moniker) {
  auto ns = NamespaceOfMoniker(moniker);
  if (!ns) throw Error(ErrorCode::ConnectFailed, "not a local WMI moniker: " + std::string(moniker));
  return ConnectNamespace(*ns);
}

std::optional<Instance> VectorResultSet::Next() {
  if (next_ >= instances_.size()) return std::nullopt;
  return std::move(instances_[next_++]);
}

}  // namespace wmi
