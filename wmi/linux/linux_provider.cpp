#include "wmi/linux/linux_provider.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "wmi/error.h"
#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"
#include "wmi/live.h"
#include "wmi/wql.h"

namespace wmi::lx {

// What the connections of one short span of time share.
struct Session {
  Session(const std::string& root, std::shared_ptr<System> sys)
      : system(std::move(sys)), ctx(SessionTree(root), *system), born(std::chrono::steady_clock::now()) {}
  // Within a session, classes that read the same attribute read the file once.
  static Tree SessionTree(const std::string& root) {
    Tree t(root);
    t.RememberReads();
    return t;
  }
  std::shared_ptr<System> system;
  Context ctx;
  std::map<std::string, InstanceList> built;
  std::chrono::steady_clock::time_point born;
};

namespace {

class LinuxConnection : public Connection {
 public:
  explicit LinuxConnection(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  std::unique_ptr<ResultSet> ExecQuery(std::string_view query, int /*flags*/) override {
    WqlQuery q = ParseWql(query);
    if (!q.where) return std::make_unique<VectorResultSet>(Instances(q.class_name));
    // Only the matches are copied: a query per device over thousands of
    // devices must not copy the whole list each time.
    InstanceList matching;
    for (const ClassDef* def : ClassesOf(q.class_name))
      for (const Instance& i : Built(*def))
        if (q.Matches(i)) matching.push_back(i);
    return std::make_unique<VectorResultSet>(std::move(matching));
  }

  std::unique_ptr<ResultSet> InstancesOf(std::string_view class_name, int /*flags*/) override {
    return std::make_unique<VectorResultSet>(Instances(class_name));
  }

 private:
  // The instances of a known class, or of every known class deriving from a CIM class.
  InstanceList Instances(std::string_view class_name) {
    InstanceList out;
    for (const ClassDef* def : ClassesOf(class_name)) {
      const InstanceList& some = Built(*def);
      out.insert(out.end(), some.begin(), some.end());
    }
    return out;
  }

  // A known class, or every known class deriving from a CIM class.
  static std::vector<const ClassDef*> ClassesOf(std::string_view class_name) {
    std::vector<const ClassDef*> classes;
    if (const ClassDef* def = FindClassDef(class_name)) {
      classes.push_back(def);
    } else {
      for (const ClassDef& def : KnownClasses())
        if (def.DerivesFrom(class_name)) classes.push_back(&def);
    }
    if (classes.empty()) throw Error(ErrorCode::InvalidClass, "invalid class: " + std::string(class_name));
    return classes;
  }

  const InstanceList& Built(const ClassDef& def) {
    auto& cache = session_->built;
    auto it = cache.find(def.name);
    if (it != cache.end()) return it->second;
    InstanceList built;
    try {
      if (def.build) built = def.build(def, session_->ctx);
    } catch (const Error&) {
      throw;
    } catch (const std::exception& e) {
      throw Error(ErrorCode::ProviderFailure, def.name + ": " + e.what());
    }
    return cache.emplace(def.name, std::move(built)).first->second;
  }

  std::shared_ptr<Session> session_;
};

}  // namespace

std::unique_ptr<LinuxProvider> LinuxProvider::ForTree(const std::string& root) {
  return std::make_unique<LinuxProvider>(root, std::shared_ptr<System>(MakeTreeSystem(root)));
}

LinuxProvider::LinuxProvider(std::string root, std::shared_ptr<System> system, std::chrono::milliseconds reuse)
    : root_(std::move(root)), system_(std::move(system)), reuse_(reuse) {}

LinuxProvider::~LinuxProvider() = default;

std::unique_ptr<Connection> LinuxProvider::ConnectNamespace(const std::string& ns) {
  if (!EqualsIgnoreCase(ns, "root\\cimv2"))
    throw Error(ErrorCode::ConnectFailed, "namespace not provided on Linux: " + ns);
  if (!session_ || std::chrono::steady_clock::now() - session_->born > reuse_)
    session_ = std::make_shared<Session>(root_, system_);
  return std::make_unique<LinuxConnection>(session_);
}

std::vector<std::string> KnownClassNames() {
  std::vector<std::string> names;
  for (const ClassDef& def : KnownClasses()) names.push_back(def.name);
  return names;
}

// ---- Context ----

const std::string& Context::HostName() {
  if (!host_name_) {
    auto h = tree_.Line("/proc/sys/kernel/hostname");
    if (!h) h = tree_.Line("/etc/hostname");
    if (!h) {
      auto u = system_.Uname();
      if (u && !u->nodename.empty()) h = u->nodename;
    }
    host_name_ = h.value_or("localhost");
  }
  return *host_name_;
}

std::optional<std::int64_t> Context::BootTime() {
  if (!boot_time_) {
    std::optional<std::int64_t> t;
    tree_.EachLine("/proc/stat", [&](std::string_view line) {
      auto w = Words(line);
      if (w.size() == 2 && w[0] == "btime") t = ParseIntIn(w[1], 0, INT64_MAX);
    });
    if (!t) {
      if (auto up = tree_.Line("/proc/uptime")) {
        auto w = Words(*up);
        auto dot = w.empty() ? std::string::npos : w[0].find('.');
        auto secs = w.empty() ? std::nullopt : ParseIntIn(w[0].substr(0, dot), 0, INT64_MAX);
        t = Sub(system_.Now(), secs);
      }
    }
    if (!t) {
      if (auto s = system_.Sysinfo(); s && s->uptime >= 0) t = Sub(system_.Now(), s->uptime);
    }
    boot_time_ = InRange(t, 0, INT64_MAX);
  }
  return *boot_time_;
}

std::optional<std::string> Context::DateTime(std::int64_t t, int micros) {
  int offset = system_.UtcOffsetMinutes(t);
  if (offset < -24 * 60 || offset > 24 * 60 || micros < 0 || micros > 999999) return std::nullopt;
  // Years 1601 to 9999: what the four digits of a WMI datetime can hold, from Windows' own epoch on.
  auto local = Add(t, static_cast<std::int64_t>(offset) * 60);
  if (!local || *local < -11644473600 || *local > 253402300799) return std::nullopt;
  std::time_t tt = static_cast<std::time_t>(*local);
  std::tm tm;
  if (!gmtime_r(&tt, &tm)) return std::nullopt;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d.%06d%c%03d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, micros, offset < 0 ? '-' : '+', offset < 0 ? -offset : offset);
  return std::string(buf);
}

const std::vector<PciDevice>& Context::Pci() {
  if (!pci_) pci_ = ReadPciDevices(*this);
  return *pci_;
}

const std::vector<UsbDevice>& Context::Usb() {
  if (!usb_) usb_ = ReadUsbDevices(*this);
  return *usb_;
}

std::optional<std::string> Context::DeviceIdAbove(const std::string& sysfs_path) {
  // The deepest USB or PCI device whose sysfs path is a prefix of this one.
  const std::string* best = nullptr;
  std::size_t best_len = 0;
  auto consider = [&](const std::string& dev_path, const std::string& id) {
    if (dev_path.size() > best_len && StartsWith(sysfs_path, dev_path) &&
        (sysfs_path.size() == dev_path.size() || sysfs_path[dev_path.size()] == '/')) {
      best = &id;
      best_len = dev_path.size();
    }
  };
  for (const PciDevice& d : Pci()) consider(d.sysfs, d.device_id);
  for (const UsbDevice& d : Usb()) consider(d.sysfs, d.device_id);
  if (!best) return std::nullopt;
  return *best;
}

// ---- Builder ----

Builder::Builder(const ClassDef& def, Context& ctx) : def_(def), values_(def.properties.size()) {
  for (std::size_t i = 0; i < def.properties.size(); ++i) {
    const std::string& n = def.properties[i].name;
    if (n == "CreationClassName")
      values_[i] = Value(def.name);
    else if (n == "SystemCreationClassName" || n == "CSCreationClassName")
      values_[i] = Value("Win32_ComputerSystem");
    else if (n == "SystemName" || n == "CSName")
      values_[i] = Value(ctx.HostName());
  }
}

std::size_t Builder::Index(std::string_view name) const {
  for (std::size_t i = 0; i < def_.properties.size(); ++i)
    if (EqualsIgnoreCase(def_.properties[i].name, name)) return i;
  throw std::logic_error(def_.name + " has no property " + std::string(name));
}

namespace {
// A value typed by its property: integers of 64-bit and text properties
// become text; an integer outside the 8 to 32-bit range of its CIM type, or
// a real that is not finite, is Null; text has its control characters replaced.
Value Typed(const PropertyDef& p, Value v) {
  switch (v.kind()) {
    case Value::Kind::Integer:
      if (p.type == CimType::Big || p.type == CimType::Text) return Value(std::to_string(v.integer()));
      if (p.type == CimType::Integer && (v.integer() < INT32_MIN || v.integer() > UINT32_MAX)) return Value();
      return v;
    case Value::Kind::Real:
      return std::isfinite(v.real()) ? v : Value();
    case Value::Kind::Text:
      return HasControl(v.text()) ? Value(CleanText(v.text())) : v;
    case Value::Kind::Array: {
      std::vector<Value> elements;
      for (const Value& e : v.elements()) {
        elements.push_back(Typed(p, e));
        if (elements.back().is_null()) return Value();  // an array has no Null elements: the whole is unknown
      }
      return Value(std::move(elements));
    }
    default:
      return v;
  }
}
}  // namespace

Builder& Builder::Set(std::string_view name, Value v) {
  std::size_t i = Index(name);
  values_[i] = Typed(def_.properties[i], std::move(v));
  return *this;
}

Builder& Builder::Text(std::string_view name, std::optional<std::string> v) {
  return Set(name, v ? Value(std::move(*v)) : Value());
}

Builder& Builder::Int(std::string_view name, std::optional<std::int64_t> v) {
  return Set(name, v ? Value(*v) : Value());
}

Builder& Builder::Big(std::string_view name, std::optional<std::uint64_t> v) {
  return Set(name, v ? Value(std::to_string(*v)) : Value());
}

Builder& Builder::Bool(std::string_view name, std::optional<bool> v) { return Set(name, v ? Value(*v) : Value()); }

Builder& Builder::Texts(std::string_view name, std::optional<std::vector<std::string>> v) {
  if (!v) return Set(name, Value());
  std::vector<Value> e;
  for (std::string& s : *v) e.emplace_back(std::move(s));
  return Set(name, Value(std::move(e)));
}

Builder& Builder::Ints(std::string_view name, std::optional<std::vector<std::int64_t>> v) {
  if (!v) return Set(name, Value());
  std::vector<Value> e;
  for (std::int64_t x : *v) e.emplace_back(x);
  return Set(name, Value(std::move(e)));
}

Builder& Builder::Device(const std::string& device_id, const std::string& name,
                         std::optional<std::string> description) {
  Text("DeviceID", device_id);
  Text("Name", name);
  Text("Caption", name);
  Text("Description", description.value_or(name));
  Text("Status", "OK");
  Int("ConfigManagerErrorCode", 0);
  Bool("ConfigManagerUserConfig", false);
  return *this;
}

Instance Builder::Build() {
  std::vector<Property> props;
  props.reserve(values_.size());
  for (std::size_t i = 0; i < values_.size(); ++i) props.push_back({def_.properties[i].name, std::move(values_[i])});
  return Instance(std::move(props));
}

std::string ObjectPath(Context& ctx, std::string_view class_name, std::string_view key, std::string_view value) {
  std::string escaped;
  for (char c : value) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return "\\\\" + ctx.HostName() + "\\root\\cimv2:" + std::string(class_name) + "." + std::string(key) + "=\"" +
         escaped + "\"";
}

}  // namespace wmi::lx

namespace wmi {

std::unique_ptr<Provider> MakeLiveProvider() {
  return std::make_unique<lx::LinuxProvider>("/", std::shared_ptr<lx::System>(lx::MakeRealSystem()));
}

}  // namespace wmi
