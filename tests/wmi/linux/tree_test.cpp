// Trees from someone else's machine: every read stays inside the tree, and no
// file of it (a FIFO, a link to a device, a huge sparse file) can hang the
// reader or fill its memory.
#include "wmi/linux/tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/wmi/linux/temp_tree.h"

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
using lxtest::TempTree;
using wmi::lx::Tree;

// A tree whose links leave it every way a link can, beside the reader's own secret.
struct LeavingLinks : ::testing::Test {
  void SetUp() override {
    home.File("/.pgpass", "db:5432:*:me:hunter2\n").File("/docs/notes", "private\n");
    tree.File("/sys/class/dmi/id/bios_vendor", "Vendor\n").File("/sys/devices/inside", "ok\n");
    const fs::path id = fs::path(tree.root()) / "sys/class/dmi/id";
    // Relative, up and out of the tree.
    fs::create_symlink(fs::relative(fs::path(home.root()) / ".pgpass", id), id / "product_serial");
    // Absolute: the reader's own machine instead of the customer's.
    fs::create_directories(fs::path(tree.root()) / "proc");
    fs::create_symlink("/proc/cpuinfo", fs::path(tree.root()) / "proc/cpuinfo");
    // A folder that leaves, and a link inside it.
    fs::create_directory_symlink(fs::path(home.root()) / "docs", fs::path(tree.root()) / "sys/class/net");
    fs::create_symlink("notes", fs::path(home.root()) / "docs/link");
    tree.Link("/sys/class/inside", "/sys/devices/inside");
  }
  TempTree home, tree;
};

TEST_F(LeavingLinks, ReadAsMissing) {
  Tree t(tree.root());
  for (const char* path : {"/sys/class/dmi/id/product_serial", "/proc/cpuinfo", "/sys/class/net/notes"}) {
    EXPECT_EQ(t.Read(path), std::nullopt) << path;
    EXPECT_EQ(t.Line(path), std::nullopt) << path;
    EXPECT_FALSE(t.Exists(path)) << path;
    EXPECT_FALSE(t.EachLine(path, [](std::string_view) {})) << path;
    EXPECT_EQ(t.Resolve(path), std::nullopt) << path;
  }
  EXPECT_TRUE(t.List("/sys/class/net").empty());
  EXPECT_FALSE(t.IsDir("/sys/class/net"));
  EXPECT_EQ(t.Link("/sys/class/net/link"), std::nullopt);
  // The links themselves are part of the tree; what they lead to inside it reads.
  EXPECT_EQ(t.Link("/proc/cpuinfo"), "/proc/cpuinfo");
  EXPECT_EQ(t.Read("/sys/class/inside"), "ok\n");
  EXPECT_EQ(t.Resolve("/sys/class/inside"), "/sys/devices/inside");
  EXPECT_EQ(t.List("/sys/class"), (std::vector<std::string>{"dmi", "inside", "net"}));
  // The live machine has no outside: /proc/self leads to /proc/<pid>.
  EXPECT_TRUE(Tree("/").Line("/proc/self/status").has_value());
}

TEST_F(LeavingLinks, NeverShowTheReadersSecretAsAValue) {
  auto bios = tree.All("Win32_BIOS");
  ASSERT_EQ(bios.size(), 1u);
  EXPECT_PROP(bios[0], "Manufacturer", "Vendor");
  EXPECT_TRUE(bios[0].Get("SerialNumber").is_null()) << wmi::Describe(bios[0].Get("SerialNumber"));
}

// A FIFO in place of live.json hung the program: it is read as every file is, a regular one or nothing.
TEST(LiveJson, AFifoReadsAsMissing) {
  TempTree tree(Files{{"/proc/stat", "btime 1700000000\n"}});
  ASSERT_EQ(::mkfifo((tree.root() + "/live.json").c_str(), 0600), 0);
  auto os = tree.All("Win32_OperatingSystem");
  ASSERT_EQ(os.size(), 1u);
  EXPECT_PROP(os[0], "LastBootUpTime", "20231114221320.000000+000");
}

// A sparse file of `size` bytes with `text` written at each offset: a hole elsewhere.
void Sparse(const std::string& path, std::size_t size, const std::vector<std::pair<std::size_t, std::string>>& parts) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
  for (const auto& [offset, text] : parts)
    ASSERT_EQ(::pwrite(fd, text.data(), text.size(), static_cast<off_t>(offset)), static_cast<ssize_t>(text.size()));
  ::close(fd);
}

std::vector<std::string> LinesOf(const Tree& t, const std::string& path) {
  std::vector<std::string> out;
  t.EachLine(path, [&](std::string_view l) { out.emplace_back(l); });
  return out;
}

// A sparse 1 GB mountinfo was read to its end, for each button that asks: a line file stops at its cap.
TEST(HugeFiles, ALineFileStopsAtItsCap) {
  TempTree tree(Files{{"/proc/self/mountinfo", ""}});
  Sparse(tree.root() + "/proc/self/mountinfo", 1u << 30, {{0, "first\n"}, {Tree::kMaxLines + 4096, "\nlate\n"}});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LinesOf(Tree(tree.root()), "/proc/self/mountinfo"), std::vector<std::string>{"first"});
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("longer than 16 MB, read up to there"), std::string::npos);
}

// A tree whose files all link to one huge file: a whole-file read knows the
// length before reading and leaves it out; a session reads the cut line file
// once, through whichever link.
TEST(HugeFiles, ASessionReadsACutFileOnce) {
  TempTree tree;
  const std::string huge = tree.root() + "/huge";
  Sparse(huge, Tree::kMaxRead + 1, {{0, "old\n"}});
  tree.Link("/a", "/huge").Link("/b", "/huge");
  Tree session(tree.root()), plain(tree.root());
  session.RememberReads();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(session.Read("/a"), std::nullopt);
  EXPECT_EQ(LinesOf(session, "/a"), std::vector<std::string>{"old"});
  Sparse(huge, Tree::kMaxRead + 1, {{0, "new\n"}});  // the same file, rewritten in place
  EXPECT_EQ(LinesOf(session, "/b"), std::vector<std::string>{"old"});
  EXPECT_EQ(LinesOf(plain, "/b"), std::vector<std::string>{"new"});
  const std::string notes = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(notes.find("longer than 64 MB, left out"), std::string::npos) << notes;
  // One cut line read in the session, and the plain tree's own.
  std::size_t cut = 0;
  for (auto p = notes.find("longer than 16 MB"); p != std::string::npos; p = notes.find("longer than 16 MB", p + 1))
    ++cut;
  EXPECT_EQ(cut, 2u) << notes;
}

}  // namespace
