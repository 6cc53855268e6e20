#include "wmi/recorded/capture.h"

#include "wmi/error.h"

namespace wmi {

RecordedNamespace CaptureNamespace(Provider& provider, const std::string& ns, const std::vector<std::string>& classes) {
  std::unique_ptr<Connection> connection = provider.Connect("winmgmts:\\\\.\\" + ns);
  RecordedNamespace out{ns, {}};
  for (const std::string& name : classes) {
    bool seen = false;
    for (const RecordedClass& c : out.classes) seen = seen || EqualsIgnoreCase(c.name, name);
    if (seen) continue;
    RecordedClass cls{name, {}};
    try {
      std::unique_ptr<ResultSet> results = connection->ExecQuery("Select * from " + name, kCategoryFlags);
      std::optional<Instance> instance = results->Next();
      while (instance) {
        cls.instances.push_back(std::move(*instance));
        try {
          instance = results->Next();
        } catch (const Error&) {
          break;
        }
      }
    } catch (const Error&) {
      continue;
    }
    // The types the provider reports, each property's first.
    for (const Instance& i : cls.instances)
      for (const Property& p : i.Properties()) {
        if (p.type.empty()) continue;
        bool known = false;
        for (const auto& [name, type] : cls.types) known = known || EqualsIgnoreCase(name, p.name);
        if (!known) cls.types.emplace_back(p.name, p.type);
      }
    out.classes.push_back(std::move(cls));
  }
  return out;
}

Snapshot CaptureSnapshot(Provider& provider, const std::string& ns, const std::vector<std::string>& classes) {
  Snapshot s;
  s.namespaces.push_back(CaptureNamespace(provider, ns, classes));
  return s;
}

}  // namespace wmi
