// Win32_Product from rpm's database: rpmdb.sqlite (rpm 4.16 and later),
// Packages.db (ndb, rpm_ndb.cpp) or Packages (Berkeley DB, rpm_bdb.cpp). Each
// is opened read-only on the path the tree resolves inside itself, so a link
// that leaves the tree reads as missing. SQLite opens its file immutable, so
// nothing is ever written beside it (no lock, journal or shared-memory file);
// a transaction rpm has not yet checkpointed from its write-ahead log is not
// seen (rpm checkpoints when it closes the database). The other two are read
// with pread, page by page. librpm is not used: it opens the database files
// itself, by its own paths.
#include "wmi/linux/rpm.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#if defined(PCINFO_HAVE_SQLITE)
#include <sqlite3.h>
#endif

namespace wmi::lx {

namespace {

// Tags (rpmtag.h) and types of the header format.
constexpr std::uint32_t kTagName = 1000, kTagVersion = 1001, kTagRelease = 1002, kTagEpoch = 1003, kTagSummary = 1004,
                        kTagInstallTime = 1008, kTagVendor = 1011, kTagUrl = 1020, kTagArch = 1022;
using Text = std::optional<std::string> RpmPackage::*;
using Number = std::optional<std::uint32_t> RpmPackage::*;
constexpr std::pair<std::uint32_t, Text> kTexts[] = {
    {kTagName, &RpmPackage::name},       {kTagVersion, &RpmPackage::version}, {kTagRelease, &RpmPackage::release},
    {kTagSummary, &RpmPackage::summary}, {kTagVendor, &RpmPackage::vendor},   {kTagUrl, &RpmPackage::url},
    {kTagArch, &RpmPackage::arch}};
constexpr std::pair<std::uint32_t, Number> kNumbers[] = {{kTagEpoch, &RpmPackage::epoch},
                                                         {kTagInstallTime, &RpmPackage::install_time}};
constexpr std::uint32_t kTypeInt32 = 4, kTypeString = 6, kTypeStringArray = 8, kTypeI18nString = 9;
constexpr std::size_t kIntroSize = 8, kEntrySize = 16;
// rpm itself refuses a header of more tags or data than this.
constexpr std::uint64_t kMaxEntries = 0xffff, kMaxData = 256u << 20;

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// The first string at `offset` of the store, up to its terminator inside the store.
std::optional<std::string> StringAt(std::span<const std::uint8_t> store, std::uint32_t offset) {
  if (offset >= store.size()) return std::nullopt;
  auto rest = store.subspan(offset);
  for (std::size_t i = 0; i < rest.size(); ++i)
    if (rest[i] == 0) return std::string(reinterpret_cast<const char*>(rest.data()), i);
  return std::nullopt;
}

std::optional<std::uint32_t> Int32At(std::span<const std::uint8_t> store, std::uint32_t offset) {
  if (store.size() < 4 || offset > store.size() - 4) return std::nullopt;
  return Be32(store, offset);
}

#if defined(PCINFO_HAVE_SQLITE)
// Percent-escapes a host path for a file: URI (unreserved characters and '/' kept).
std::string UriPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

#endif

// Each header blob of the rpmdb.sqlite at `host` (a regular file).
void EachSqliteBlob(const std::string& host, const RpmEachBlob& fn) {
#if defined(PCINFO_HAVE_SQLITE)
  sqlite3* db = nullptr;
  std::string uri = "file:" + UriPath(host) + "?immutable=1";
  if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
    sqlite3_stmt* rows = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT hnum, blob FROM Packages", -1, &rows, nullptr) == SQLITE_OK) {
      while (sqlite3_step(rows) == SQLITE_ROW) {
        sqlite3_int64 hnum = sqlite3_column_int64(rows, 0);
        const void* data = sqlite3_column_blob(rows, 1);
        int size = sqlite3_column_bytes(rows, 1);
        if (hnum > 0 && hnum <= 0xffffffff && data && size > 0)
          fn(static_cast<std::uint32_t>(hnum),
             {static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)});
      }
    }
    sqlite3_finalize(rows);
  }
  sqlite3_close(db);  // also after a failed open, which still gives a handle
#else
  (void)host;
  (void)fn;
#endif
}

// The file's bytes at `offset`, all of them or false.
RpmReadAt ReadFd(int fd) {
  return [fd](std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
      if (offset + done > static_cast<std::uint64_t>(INT64_MAX)) return false;
      ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  };
}

// rpm's folders, the current one first, and its database files, the newest format first.
constexpr const char* kFolders[] = {"/usr/lib/sysimage/rpm", "/var/lib/rpm"};
enum class Format { kSqlite, kNdb, kBdb };
constexpr std::pair<const char*, Format> kFiles[] = {
    {"rpmdb.sqlite", Format::kSqlite}, {"Packages.db", Format::kNdb}, {"Packages", Format::kBdb}};

}  // namespace

std::optional<RpmPackage> DecodeRpmHeader(std::span<const std::uint8_t> blob) {
  if (blob.size() < kIntroSize) return std::nullopt;
  std::uint64_t entries = Be32(blob, 0), data = Be32(blob, 4);
  if (entries == 0 || entries > kMaxEntries || data > kMaxData) return std::nullopt;
  std::uint64_t index_end = kIntroSize + entries * kEntrySize;
  if (index_end + data > blob.size()) return std::nullopt;
  auto store = blob.subspan(index_end, data);

  RpmPackage p;
  // Installing adds entries after the package's own (the install time among
  // them), and one of those replaces an earlier entry of its tag: the last wins.
  for (std::uint64_t i = 0; i < entries; ++i) {
    std::size_t at = kIntroSize + i * kEntrySize;
    std::uint32_t tag = Be32(blob, at), type = Be32(blob, at + 4), offset = Be32(blob, at + 8),
                  count = Be32(blob, at + 12);
    if (count == 0) continue;
    for (auto [text_tag, field] : kTexts)
      if (tag == text_tag && (type == kTypeString || type == kTypeI18nString || type == kTypeStringArray)) {
        auto s = StringAt(store, offset);  // the first (the C locale's) of several
        if (s && !s->empty()) p.*field = std::move(s);
      }
    for (auto [number_tag, field] : kNumbers)
      if (tag == number_tag && type == kTypeInt32)
        if (auto n = Int32At(store, offset)) p.*field = n;
  }
  return p;
}

InstanceList RpmProducts(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<std::pair<std::uint32_t, RpmPackage>> packages;
  auto add = [&](std::uint32_t instance, std::span<const std::uint8_t> blob) {
    auto p = DecodeRpmHeader(blob);
    // The keys imported to check signatures are kept as packages named gpg-pubkey: no software.
    if (p && p->name && !p->name->empty() && *p->name != "gpg-pubkey") packages.emplace_back(instance, std::move(*p));
  };
  // One database: the first file found. A folder is often a link to the other, and a
  // file left over from an older format is not rpm's database once a newer one is there.
  bool found = false;
  for (const char* folder : kFolders) {
    for (auto [name, format] : kFiles) {
      auto inside = tree.Resolve(std::string(folder) + "/" + name);
      if (!inside) continue;
      std::string host = tree.HostPath(*inside);
      auto file = OpenRegularFile(host);
      if (!file) continue;
      const int fd = file->fd;
      found = true;
      if (format == Format::kSqlite) EachSqliteBlob(host, add);
      if (format == Format::kNdb) EachNdbBlob(ReadFd(fd), add);
      if (format == Format::kBdb) EachBdbValue(ReadFd(fd), add);
      ::close(fd);
      break;
    }
    if (found) break;
  }
  // In the order rpm added them (its instance numbers), whatever order the file keeps.
  std::stable_sort(packages.begin(), packages.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  InstanceList out;
  for (const auto& [instance, p] : packages) {
    std::optional<std::string> version;
    if (p.version) {
      version = (p.epoch ? std::to_string(*p.epoch) + ":" : "") + *p.version;
      if (p.release) *version += "-" + *p.release;
    }
    Builder b(def, ctx);
    b.Text("Name", p.name).Text("Caption", p.name).Text("Description", p.summary).Text("Version", version);
    b.Text("IdentifyingNumber", p.arch ? *p.name + "." + *p.arch : *p.name);  // rpm's name.arch
    b.Text("Vendor", p.vendor).Text("URLInfoAbout", p.url);
    b.Int("InstallState", 5);  // installed
    if (p.install_time) {
      auto when = ctx.DateTime(*p.install_time);
      b.Text("InstallDate2", when);
      if (when) b.Text("InstallDate", when->substr(0, 8));  // yyyymmdd, as Windows Installer writes it
    }
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
