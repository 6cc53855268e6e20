#include "wmi/recorded/snapshot.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "wmi/error.h"
#include "wmi/utf8_path.h"
#include "wmi/wql.h"

namespace wmi {

using Json = nlohmann::ordered_json;

const RecordedNamespace* Snapshot::FindNamespace(std::string_view name) const {
  for (const auto& ns : namespaces)
    if (EqualsIgnoreCase(ns.name, name)) return &ns;
  return nullptr;
}

const RecordedClass* Snapshot::FindClass(std::string_view ns, std::string_view cls) const {
  const RecordedNamespace* n = FindNamespace(ns);
  if (!n) return nullptr;
  for (const auto& c : n->classes)
    if (EqualsIgnoreCase(c.name, cls)) return &c;
  return nullptr;
}

const std::string& RecordedClass::TypeOf(std::string_view property) const {
  static const std::string kNone;
  for (const auto& [name, type] : types)
    if (EqualsIgnoreCase(name, property)) return type;
  return kNone;
}

namespace {

// Where a value stands, for messages: a path, or a member or an element of
// another place, spelt out only when something there is wrong.
struct Place {
  Place(const std::string& source, std::string path) : source(source), path(std::move(path)) {}
  Place Member(std::string_view k) const { return Place(*this, true, k, 0); }
  Place Element(std::size_t i) const { return Place(*this, false, {}, i); }

  const std::string& source;
  std::string path;
  const Place* parent = nullptr;
  bool member = false;
  std::string_view key;
  std::size_t index = 0;

  std::string Path() const {
    if (!parent) return path;
    return member ? parent->Path() + "/" + std::string(key) : parent->Path() + "[" + std::to_string(index) + "]";
  }
  [[noreturn]] void Fail(const std::string& why) const { throw SnapshotError(source + ": at " + Path() + ": " + why); }

 private:
  Place(const Place& parent, bool member, std::string_view key, std::size_t index)
      : source(parent.source), parent(&parent), member(member), key(key), index(index) {}
};

Value ToValue(const Json& j, const Place& at, bool element) {
  switch (j.type()) {
    case Json::value_t::null:
      return Value();
    case Json::value_t::boolean:
      return Value(j.get<bool>());
    case Json::value_t::number_integer:
      return Value(j.get<std::int64_t>());
    case Json::value_t::number_unsigned: {
      auto u = j.get<std::uint64_t>();
      if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        at.Fail("integer too large (write uint64 values as strings, as WMI delivers them)");
      return Value(static_cast<std::int64_t>(u));
    }
    case Json::value_t::number_float:
      return Value(j.get<double>());
    case Json::value_t::string:
      return Value(j.get<std::string>());
    case Json::value_t::array: {
      if (element) at.Fail("arrays of arrays are not WMI values");
      std::vector<Value> elements;
      elements.reserve(j.size());
      std::size_t i = 0;
      for (const Json& e : j) {
        elements.push_back(ToValue(e, at.Element(i++), true));
      }
      return Value(std::move(elements));
    }
    case Json::value_t::object: {
      auto it = j.find("object");
      if (j.size() != 1 || it == j.end()) at.Fail("an object value is written {\"object\": ...}");
      return Value(Object{it->is_string() ? it->get<std::string>() : std::string()});
    }
    default:
      at.Fail("not a WMI value");
  }
}

std::string LineAndColumn(std::string_view text, std::size_t byte) {
  std::size_t line = 1, col = 1;
  for (std::size_t i = 0; i < byte && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      col = 1;
    } else {
      ++col;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(col);
}

Snapshot FromDocument(const Json& doc, const std::string& source);

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A capture saved by a shell's redirection may start with a byte-order mark:
// UTF-8's (EF BB BF), or UTF-16's (Windows PowerShell 5.1's "> file" writes
// UTF-16LE). Returns the text as UTF-8 without the mark; other text as it is.
// A lone surrogate becomes U+FFFD.
std::string_view WithoutByteOrderMark(std::string_view text, std::string& storage) {
  if (text.starts_with("\xEF\xBB\xBF")) return text.substr(3);
  const bool le = text.starts_with("\xFF\xFE"), be = text.starts_with("\xFE\xFF");
  if (!le && !be) return text;
  storage.clear();
  storage.reserve(text.size());
  auto unit = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
    return le ? (b << 8 | a) : (a << 8 | b);
  };
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    unsigned cp = static_cast<unsigned>(unit(i));
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < text.size()) {
      const unsigned low = static_cast<unsigned>(unit(i + 2));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
    AppendUtf8(storage, cp);
  }
  if (text.size() % 2 != 0) AppendUtf8(storage, 0xFFFD);  // a cut last unit
  return storage;
}

// Reads a document as the library's own reader does (the same values, the
// same errors, a repeated key keeping its first place and its last value), but
// gathers each object's members and moves them in when the object ends. The
// ordered object type keeps its keys const, so each time it grew while read it
// copied every member it held, whole subtrees included.
class DocumentBuilder {
 public:
  explicit DocumentBuilder(Json& root) : root_(root) {}

  bool null() { return Add(Json(nullptr)); }
  bool boolean(bool v) { return Add(Json(v)); }
  bool number_integer(Json::number_integer_t v) { return Add(Json(v)); }
  bool number_unsigned(Json::number_unsigned_t v) { return Add(Json(v)); }
  bool number_float(Json::number_float_t v, const std::string&) { return Add(Json(v)); }
  bool string(std::string& v) { return Add(Json(std::move(v))); }
  bool binary(Json::binary_t& v) { return Add(Json::binary(std::move(v))); }
  bool start_object(std::size_t) {
    open_.emplace_back().object = true;
    return true;
  }
  bool key(std::string& k) {
    open_.back().members.emplace_back(std::move(k), Json());
    return true;
  }
  bool end_object() {
    Open done = std::move(open_.back());
    open_.pop_back();
    Json object(Json::value_t::object);
    Json::object_t& map = *object.get_ptr<Json::object_t*>();
    map.reserve(done.members.size());
    for (auto& [k, v] : done.members) {
      auto [at, added] = map.emplace(std::move(k), Json());
      at->second = std::move(v);
    }
    return Add(std::move(object));
  }
  bool start_array(std::size_t) {
    open_.emplace_back();
    return true;
  }
  bool end_array() {
    Json array(Json::value_t::array);
    *array.get_ptr<Json::array_t*>() = std::move(open_.back().elements);
    open_.pop_back();
    return Add(std::move(array));
  }
  template <class Exception>
  bool parse_error(std::size_t, const std::string&, const Exception& e) {
    throw e;
  }

 private:
  struct Open {
    bool object = false;
    std::vector<std::pair<std::string, Json>> members;  // an object's, in order
    std::vector<Json> elements;                         // an array's
  };

  bool Add(Json v) {
    if (open_.empty())
      root_ = std::move(v);
    else if (open_.back().object)
      open_.back().members.back().second = std::move(v);
    else
      open_.back().elements.push_back(std::move(v));
    return true;
  }

  Json& root_;
  std::vector<Open> open_;
};

}  // namespace

Snapshot ParseSnapshot(std::string_view original, const std::string& source) {
  std::string converted;
  const std::string_view text = WithoutByteOrderMark(original, converted);
  Json doc;
  try {
    DocumentBuilder builder(doc);
    Json::sax_parse(text.begin(), text.end(), &builder);
  } catch (const Json::parse_error& e) {
    std::string where = e.byte > 0 ? LineAndColumn(text, e.byte - 1) : "the start";
    throw SnapshotError(source + ": at " + where + ": not valid JSON (" + e.what() + ")");
  } catch (const Json::exception& e) {
    // A number out of range (1e400) and whatever else the reader refuses.
    throw SnapshotError(source + ": not a readable snapshot (" + e.what() + ")");
  }
  try {
    return FromDocument(doc, source);
  } catch (const Json::exception& e) {
    throw SnapshotError(source + ": not a readable snapshot (" + e.what() + ")");
  }
}

namespace {

std::string SizeText(std::uintmax_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

[[noreturn]] void TooLarge(const std::string& path) {
  throw SnapshotError(path + ": larger than " + SizeText(kMaxSnapshotBytes) + ", the most a snapshot file may hold");
}

#ifndef _WIN32
std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}
#endif

}  // namespace

std::string ReadSnapshotText(const std::string& path) {
  std::string text;
#ifndef _WIN32
  // Opened without blocking (a FIFO with no writer) and checked on the open
  // descriptor, so that what is read is what was checked.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      throw SnapshotError(path + ": not a regular file (" + KindOf(st.st_mode) + ")");
    throw SnapshotError(path + ": cannot be opened");
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw SnapshotError(path + ": cannot be read");
  if (!S_ISREG(st.st_mode)) throw SnapshotError(path + ": not a regular file (" + KindOf(st.st_mode) + ")");
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxSnapshotBytes) TooLarge(path);
  text.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw SnapshotError(path + ": cannot be read");
    }
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    if (text.size() > kMaxSnapshotBytes) TooLarge(path);  // a file that grows while read
  }
#else
  const std::filesystem::path file = PathFromUtf8(path);
  std::error_code ec;
  auto status = std::filesystem::status(file, ec);
  if (ec || !std::filesystem::exists(status)) throw SnapshotError(path + ": cannot be opened");
  if (!std::filesystem::is_regular_file(status)) {
    std::string kind = std::filesystem::is_directory(status) ? "a directory" : "not a plain file";
    throw SnapshotError(path + ": not a regular file (" + kind + ")");
  }
  auto size = std::filesystem::file_size(file, ec);
  if (!ec && size > kMaxSnapshotBytes) TooLarge(path);
  std::ifstream in(file, std::ios::binary);
  if (!in) throw SnapshotError(path + ": cannot be opened");
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    text.append(buf, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxSnapshotBytes) TooLarge(path);
  }
  if (in.bad()) throw SnapshotError(path + ": cannot be read");
#endif
  return text;
}

namespace {

Snapshot FromDocument(const Json& doc, const std::string& source) {
  Place top{source, "the top level"};
  if (!doc.is_object()) top.Fail("expected an object with \"namespaces\"");
  auto nss = doc.find("namespaces");
  if (nss == doc.end() || !nss->is_object()) top.Fail("expected an object \"namespaces\"");

  Snapshot snap;
  auto header = doc.find("capture");
  const Json* types = nullptr;
  if (header != doc.end()) {
    Place at{source, "capture"};
    if (!header->is_object()) at.Fail("the capture's header is an object");
    auto text = [&](const char* key) {
      auto it = header->find(key);
      if (it == header->end() || it->is_null()) return std::string();
      if (!it->is_string()) at.Member(key).Fail("expected text");
      return it->get<std::string>();
    };
    if (text("format") != CaptureHeader::kFormat)
      at.Fail("not a capture (format is not \"" + std::string(CaptureHeader::kFormat) + "\")");
    auto version = header->find("version");
    if (version == header->end() || !version->is_number_integer()) at.Fail("the header has no version");
    if (version->get<std::int64_t>() != CaptureHeader::kVersion)
      at.Fail("format version " + version->dump() + ", this program reads version " +
              std::to_string(CaptureHeader::kVersion));
    snap.header = CaptureHeader{text("captured"), text("program"), text("source"), text("machine_id")};
    auto t = header->find("types");
    if (t != header->end()) {
      if (!t->is_object()) Place{source, "capture/types"}.Fail("expected an object of namespaces");
      types = &*t;
    }
  }
  for (auto ns = nss->begin(); ns != nss->end(); ++ns) {
    Place at_ns{source, "namespaces/" + ns.key()};
    if (!ns->is_object()) at_ns.Fail("a namespace holds an object of classes");
    RecordedNamespace rns{ns.key(), {}};
    for (auto cls = ns->begin(); cls != ns->end(); ++cls) {
      const Place at_cls = at_ns.Member(cls.key());
      if (!cls->is_array()) at_cls.Fail("a class holds an array of instances");
      RecordedClass rc{cls.key(), {}};
      std::size_t index = 0;
      for (const Json& inst : *cls) {
        const Place at_inst = at_cls.Element(index++);
        if (!inst.is_object()) at_inst.Fail("an instance is an object of properties");
        std::vector<Property> props;
        props.reserve(inst.size());
        for (auto p = inst.begin(); p != inst.end(); ++p) {
          props.push_back(Property{p.key(), ToValue(p.value(), at_inst.Member(p.key()), false)});
        }
        rc.instances.emplace_back(std::move(props));
      }
      rns.classes.push_back(std::move(rc));
    }
    snap.namespaces.push_back(std::move(rns));
  }
  // The types, each class's beside its instances; types of classes the
  // capture does not hold are not kept.
  if (types)
    for (auto ns = types->begin(); ns != types->end(); ++ns) {
      Place at_ns{source, "capture/types/" + ns.key()};
      if (!ns->is_object()) at_ns.Fail("expected an object of classes");
      for (auto cls = ns->begin(); cls != ns->end(); ++cls) {
        const Place at_cls = at_ns.Member(cls.key());
        if (!cls->is_object()) at_cls.Fail("expected an object of property types");
        RecordedClass* target = nullptr;
        for (RecordedNamespace& rns : snap.namespaces)
          if (EqualsIgnoreCase(rns.name, ns.key()))
            for (RecordedClass& rc : rns.classes)
              if (EqualsIgnoreCase(rc.name, cls.key())) target = &rc;
        for (auto p = cls->begin(); p != cls->end(); ++p) {
          if (!p->is_string()) at_cls.Member(p.key()).Fail("a type is text");
          if (target) target->types.emplace_back(p.key(), p->get<std::string>());
        }
      }
    }
  return snap;
}

}  // namespace

Snapshot LoadSnapshotFile(const std::string& path) { return ParseSnapshot(ReadSnapshotText(path), path); }

namespace {

Json ToJson(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Null:
      return nullptr;
    case Value::Kind::Integer:
      return v.integer();
    case Value::Kind::Real:
      return v.real();
    case Value::Kind::Boolean:
      return v.boolean();
    case Value::Kind::Text:
      return v.text();
    case Value::Kind::Array: {
      Json a = Json::array();
      for (const Value& e : v.elements()) a.push_back(ToJson(e));
      return a;
    }
    case Value::Kind::Object:
      return Json{{"object", v.object().class_name}};
  }
  return nullptr;
}

}  // namespace

std::string SerializeSnapshot(const Snapshot& snapshot) {
  Json nss = Json::object();
  for (const auto& ns : snapshot.namespaces) {
    Json classes = Json::object();
    for (const auto& cls : ns.classes) {
      Json instances = Json::array();
      for (const auto& inst : cls.instances) {
        Json o = Json::object();
        for (const auto& p : inst.Properties()) o[p.name] = ToJson(p.value);
        instances.push_back(std::move(o));
      }
      classes[cls.name] = std::move(instances);
    }
    nss[ns.name] = std::move(classes);
  }
  Json doc = Json::object();
  if (snapshot.header) {
    const CaptureHeader& h = *snapshot.header;
    Json header = Json::object();
    header["format"] = CaptureHeader::kFormat;
    header["version"] = CaptureHeader::kVersion;
    header["captured"] = h.captured;
    header["program"] = h.program;
    header["source"] = h.source;
    header["machine_id"] = h.machine_id;
    Json types = Json::object();
    for (const auto& ns : snapshot.namespaces) {
      Json classes = Json::object();
      for (const auto& cls : ns.classes) {
        if (cls.types.empty()) continue;
        Json props = Json::object();
        for (const auto& [name, type] : cls.types) props[name] = type;
        classes[cls.name] = std::move(props);
      }
      if (!classes.empty()) types[ns.name] = std::move(classes);
    }
    header["types"] = std::move(types);
    doc["capture"] = std::move(header);
  }
  doc["namespaces"] = std::move(nss);
  // Invalid UTF-8 from a live source is replaced rather than refused.
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

namespace {

class RecordedConnection : public Connection {
 public:
  RecordedConnection(std::shared_ptr<const Snapshot> snap, const RecordedNamespace& ns)
      : snap_(std::move(snap)), ns_(ns) {}

  std::unique_ptr<ResultSet> ExecQuery(std::string_view query, int /*flags*/) override {
    WqlQuery q = ParseWql(query);
    const RecordedClass& cls = Class(q.class_name);
    std::vector<Instance> out;
    for (const Instance& i : cls.instances)
      if (q.Matches(i)) out.push_back(i);
    return std::make_unique<VectorResultSet>(std::move(out));
  }

  std::unique_ptr<ResultSet> InstancesOf(std::string_view class_name, int /*flags*/) override {
    return std::make_unique<VectorResultSet>(Class(class_name).instances);
  }

 private:
  const RecordedClass& Class(std::string_view name) const {
    for (const auto& c : ns_.classes)
      if (EqualsIgnoreCase(c.name, name)) return c;
    throw Error(ErrorCode::InvalidClass, "no class " + std::string(name) + " in " + ns_.name);
  }

  std::shared_ptr<const Snapshot> snap_;  // keeps ns_ alive
  const RecordedNamespace& ns_;
};

}  // namespace

std::unique_ptr<RecordedProvider> RecordedProvider::FromFile(const std::string& path) {
  return std::make_unique<RecordedProvider>(std::make_shared<const Snapshot>(LoadSnapshotFile(path)));
}

std::unique_ptr<Connection> RecordedProvider::ConnectNamespace(const std::string& ns) {
  const RecordedNamespace* n = snapshot_->FindNamespace(ns);
  if (!n) throw Error(ErrorCode::ConnectFailed, "no namespace " + ns + " in the snapshot");
  return std::make_unique<RecordedConnection>(snapshot_, *n);
}

}  // namespace wmi
