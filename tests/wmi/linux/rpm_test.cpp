// Installed software from rpm's database: a small rpmdb.sqlite written with
// SQLite, holding headers built here byte by byte, read through a tree; the
// same packages from each format of the database (tests/data/rpm, made by
// rpm and Berkeley DB's own tools); the header decoder on blobs cut short or
// lying about their sizes, and the file readers on files cut or corrupted.
#include "wmi/linux/rpm.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/wmi/linux/temp_tree.h"

namespace {

using lxtest::TempTree;

constexpr std::uint32_t kInt32 = 4, kString = 6, kI18n = 9;

struct Entry {
  std::uint32_t tag, type;
  std::string value;  // a string (its terminator added) or a number
};

void Be32(std::string& out, std::uint32_t v) {
  for (int shift : {24, 16, 8, 0}) out += static_cast<char>(v >> shift & 0xff);
}

// A header as rpm stores it in the database: counts, index, data store (integers aligned to 4).
std::string Header(const std::vector<Entry>& entries) {
  std::string index, store;
  for (const Entry& e : entries) {
    if (e.type == kInt32) store.resize((store.size() + 3) / 4 * 4, '\0');
    Be32(index, e.tag);
    Be32(index, e.type);
    Be32(index, static_cast<std::uint32_t>(store.size()));
    Be32(index, 1);
    if (e.type == kInt32)
      Be32(store, static_cast<std::uint32_t>(std::stoul(e.value)));
    else
      store += e.value + '\0';
  }
  std::string blob;
  Be32(blob, static_cast<std::uint32_t>(entries.size()));
  Be32(blob, static_cast<std::uint32_t>(store.size()));
  return blob + index + store;
}

std::vector<Entry> Package(const std::string& name, const std::string& version, const std::string& release) {
  return {{1000, kString, name}, {1001, kString, version}, {1002, kString, release}, {1022, kString, "x86_64"}};
}

// Writes rpm's table of headers to `file`, its folders made.
void WriteDatabase(const std::filesystem::path& file, const std::vector<std::string>& headers) {
  std::filesystem::create_directories(file.parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE Packages (hnum INTEGER PRIMARY KEY AUTOINCREMENT, blob BLOB NOT NULL)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  for (const std::string& h : headers) {
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO Packages (blob) VALUES (?)", -1, &insert, nullptr), SQLITE_OK);
    sqlite3_bind_blob(insert, 1, h.data(), static_cast<int>(h.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_finalize(insert);
  }
  sqlite3_close(db);
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(RpmProducts, InstalledPackagesOfRpmsDatabase) {
  auto bash = Package("bash", "5.2.26", "3.fc40");
  bash.push_back({1004, kI18n, "The GNU Bourne Again shell"});
  bash.push_back({1011, kString, "Fedora Project"});
  bash.push_back({1020, kString, "https://www.gnu.org/software/bash"});
  bash.push_back({1008, kInt32, "1700000000"});  // 2023-11-14 22:13:20 UTC, added when installed
  auto openssl = Package("openssl", "3.2.2", "3.fc40");
  openssl.insert(openssl.begin() + 3, {1003, kInt32, "1"});
  auto key = std::vector<Entry>{{1000, kString, "gpg-pubkey"}, {1001, kString, "a15b79cc"}};

  TempTree tree(std::map<std::string, std::string>{{"/live.json", R"({"utc_offset_minutes": 540})"}});
  // Where Fedora keeps it, with /var/lib/rpm a link there: read once.
  WriteDatabase(tree.root() + "/usr/lib/sysimage/rpm/rpmdb.sqlite", {Header(bash), Header(key), Header(openssl)});
  tree.Link("/var/lib/rpm", "/usr/lib/sysimage/rpm");
  auto files = std::distance(std::filesystem::directory_iterator(tree.root() + "/usr/lib/sysimage/rpm"), {});

  auto products = tree.All("Win32_Product");
  ASSERT_EQ(products.size(), 2u);  // the signing key is no software
  EXPECT_PROP(products[0], "Name", "bash");
  EXPECT_PROP(products[0], "Caption", "bash");
  EXPECT_PROP(products[0], "Version", "5.2.26-3.fc40");
  EXPECT_PROP(products[0], "Description", "The GNU Bourne Again shell");
  EXPECT_PROP(products[0], "Vendor", "Fedora Project");
  EXPECT_PROP(products[0], "URLInfoAbout", "https://www.gnu.org/software/bash");
  EXPECT_PROP(products[0], "IdentifyingNumber", "bash.x86_64");
  EXPECT_PROP(products[0], "InstallState", 5);
  EXPECT_PROP(products[0], "InstallDate", "20231115");  // in the local zone (+9 h)
  EXPECT_PROP(products[0], "InstallDate2", "20231115071320.000000+540");
  EXPECT_PROP(products[1], "Version", "1:3.2.2-3.fc40");  // the epoch before the version
  EXPECT_NULL(products[1], "Vendor");
  EXPECT_NULL(products[1], "InstallDate");
  // Read-only and immutable: no journal, lock or shared-memory file beside the database.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.root() + "/usr/lib/sysimage/rpm"), {}), files);
}

TEST(RpmProducts, DatabaseBehindALinkThatLeavesTheTreeIsMissing) {
  TempTree outside;
  WriteDatabase(outside.root() + "/rpm/rpmdb.sqlite", {Header(Package("bash", "5.2.26", "3.fc40"))});
  TempTree tree;
  std::filesystem::create_directories(tree.root() + "/var/lib");
  std::filesystem::create_directory_symlink(outside.root() + "/rpm", tree.root() + "/var/lib/rpm");
  EXPECT_TRUE(tree.All("Win32_Product").empty());
}

TEST(RpmHeader, CutOrLyingBlobsGiveFewerFields) {
  std::string good = Header(Package("bash", "5.2.26", "3.fc40"));
  // Every cut: no header once the index or the store it announces is cut, never a read past the bytes.
  for (std::size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(wmi::lx::DecodeRpmHeader(Bytes(good.substr(0, n)))) << n;
  auto whole = wmi::lx::DecodeRpmHeader(Bytes(good));
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->name, "bash");

  std::string huge_count = good;
  huge_count.replace(0, 4, "\xff\xff\xff\xff");  // index count past any blob
  EXPECT_FALSE(wmi::lx::DecodeRpmHeader(Bytes(huge_count)));
  std::string huge_store = good;
  huge_store.replace(4, 4, std::string("\x00\x01\x00\x00", 4));  // data length past the blob
  EXPECT_FALSE(wmi::lx::DecodeRpmHeader(Bytes(huge_store)));

  // An entry whose value leaves the store is left out; the others stay.
  std::string bad_offset = good;
  bad_offset.replace(8 + 8, 4, std::string("\x00\x01\x00\x00", 4));  // the name's offset, far past the store
  auto partial = wmi::lx::DecodeRpmHeader(Bytes(bad_offset));
  ASSERT_TRUE(partial);
  EXPECT_FALSE(partial->name);
  EXPECT_EQ(partial->version, "5.2.26");
  // The store's last string without its terminator, and a number whose four bytes pass the end.
  std::string unterminated = good;
  unterminated.back() = 'x';
  EXPECT_FALSE(wmi::lx::DecodeRpmHeader(Bytes(unterminated))->arch);
  std::string short_int = Header({{1000, kString, "bash"}, {1008, kInt32, "1"}});
  short_int.replace(8 + 16 + 8, 4, std::string("\x00\x00\x00\x0a", 4));  // 2 bytes before the store ends
  auto no_time = wmi::lx::DecodeRpmHeader(Bytes(short_int));
  ASSERT_TRUE(no_time);
  EXPECT_EQ(no_time->name, "bash");
  EXPECT_FALSE(no_time->install_time);
}

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(PCINFO_TEST_DATA) + "/rpm/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// rpm's two packages of tests/data/rpm: installed by rpm into rpmdb.sqlite, and
// the same header blobs in Berkeley DB (both byte orders) and ndb files.
TEST(RpmProducts, EveryFormatOfTheDatabaseGivesTheSamePackages) {
  TempTree sqlite;
  sqlite.File("/var/lib/rpm/rpmdb.sqlite", Fixture("rpmdb.sqlite"));
  sqlite.File("/var/lib/rpm/Packages", Fixture("Packages"));  // left from before a conversion: not listed again
  auto expected = sqlite.All("Win32_Product");
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_PROP(expected[0], "Name", "manyfiles");  // rpm's first instance
  EXPECT_PROP(expected[1], "Name", "hello");
  EXPECT_PROP(expected[1], "Version", "2:2.12.1-4.fc40");
  EXPECT_PROP(expected[1], "Description", "Prints a familiar, friendly greeting");
  EXPECT_PROP(expected[1], "Vendor", "Fedora Project");
  EXPECT_PROP(expected[1], "URLInfoAbout", "https://www.gnu.org/software/hello/");
  EXPECT_PROP(expected[1], "IdentifyingNumber", "hello.noarch");
  EXPECT_NE(expected[1].Get("InstallDate2"), wmi::Value());

  for (auto [file, as] :
       {std::pair{"Packages", "Packages"}, {"Packages.be", "Packages"}, {"Packages.db", "Packages.db"}}) {
    TempTree tree;
    tree.File(std::string("/usr/lib/sysimage/rpm/") + as, Fixture(file));
    auto got = tree.All("Win32_Product");
    ASSERT_EQ(got.size(), expected.size()) << file;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].Properties(), expected[i].Properties()) << file;
  }
}

using Each = void (*)(const wmi::lx::RpmReadAt&, const wmi::lx::RpmEachBlob&);

std::map<std::uint32_t, std::string> Blobs(Each each, const std::string& file) {
  std::map<std::uint32_t, std::string> out;
  each(wmi::lx::RpmReadBytes(Bytes(file)), [&](std::uint32_t instance, std::span<const std::uint8_t> blob) {
    out[instance] = std::string(blob.begin(), blob.end());
  });
  return out;
}

TEST(RpmFiles, CutOrCorruptFilesGiveFewerPackagesNeverAWrongOne) {
  for (auto [name, each] : {std::pair<const char*, Each>{"Packages", wmi::lx::EachBdbValue},
                            {"Packages.be", wmi::lx::EachBdbValue},
                            {"Packages.db", wmi::lx::EachNdbBlob}}) {
    std::string file = Fixture(name);
    auto whole = Blobs(each, file);
    ASSERT_EQ(whole.size(), 2u) << name;
    // Cut anywhere, each page or block the walk needs is missing: fewer blobs, each one whole.
    std::vector<std::size_t> cuts{file.size() - 1};
    for (std::size_t n = 0; n < file.size(); n += 97) cuts.push_back(n);
    for (std::size_t n : cuts) {
      auto cut = Blobs(each, file.substr(0, n));
      EXPECT_LT(cut.size(), 2u) << name << " cut at " << n;
      for (const auto& [instance, blob] : cut) EXPECT_EQ(blob, whole[instance]) << name << " cut at " << n;
    }
  }
  // Every page of a Berkeley DB file chained to itself: the walk ends, no value is made up.
  std::string looped = Fixture("Packages");
  for (std::size_t page = 512; page + 512 <= looped.size(); page += 512)
    looped.replace(page + 16, 4, looped.substr(page + 8, 4));  // next page := this page
  EXPECT_LT(Blobs(wmi::lx::EachBdbValue, looped).size(), 2u);
  // A byte of ndb's second blob changed: its checksum fails, the first stays.
  std::string changed = Fixture("Packages.db");
  changed[changed.size() - 100] ^= 1;
  auto left = Blobs(wmi::lx::EachNdbBlob, changed);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.begin()->second, Blobs(wmi::lx::EachNdbBlob, Fixture("Packages.db")).begin()->second);
}

}  // namespace
