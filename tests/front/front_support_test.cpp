// Where the window's dumps go, on real folders, and its command line.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "front/command_line.h"
#include "front/info_folder.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder for one test, open to every user so that a test may look at
// it as an unprivileged one.
class Scratch {
 public:
  Scratch() {
    const auto* t = testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("pcinfo_folder_" + std::to_string(::getpid()) + "_" + t->test_suite_name() + "_" + t->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::permissions(path_, fs::perms::all);
  }
  ~Scratch() {
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(path_, ec)) fs::permissions(e.path(), fs::perms::all, ec);
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// While it lives, file access is checked as an ordinary user (nobody) when
// the tests run as root, for whom permission bits would not count.
class AsOrdinaryUser {
 public:
  AsOrdinaryUser() {
    if (::geteuid() != 0) return;
    ::setfsgid(65534);
    ::setfsuid(65534);
    active_ = static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == 65534;
  }
  ~AsOrdinaryUser() {
    if (::geteuid() != 0) return;
    ::setfsuid(0);
    ::setfsgid(0);
  }
  // False when the permission bits cannot be made to count here.
  bool works() const { return ::geteuid() != 0 || active_; }

 private:
  bool active_ = false;
};

struct FolderCase {
  const char* name;
  // Lays out the program folder and the per-user folder's parent.
  std::function<void(const fs::path& program, const fs::path& home)> lay_out;
  bool per_user;         // the per-user folder is chosen
  bool chosen_writable;  // and a dump file can be made in the chosen one
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class ChooseInfoFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(ChooseInfoFolder, PicksAFolderTheUserCanWrite) {
  Scratch scratch;
  const fs::path program = scratch.path() / "program";
  const fs::path home = scratch.path() / "home";
  fs::create_directories(program);
  fs::create_directories(home);
  fs::permissions(program, fs::perms::all);
  fs::permissions(home, fs::perms::all);
  GetParam().lay_out(program, home);
  const fs::path per_user = home / "pcinfo" / "info";

  front::InfoFolder chosen;
  bool can_write = false;
  {
    AsOrdinaryUser user;
    if (!user.works()) GTEST_SKIP() << "permission bits cannot be tried here";
    chosen = front::ChooseInfoFolder(program / "info", per_user);
    can_write = std::ofstream(chosen.path / "Win32_Battery.txt").is_open();
  }
  EXPECT_EQ(chosen.per_user, GetParam().per_user);
  EXPECT_EQ(chosen.path, GetParam().per_user ? per_user : program / "info");
  EXPECT_EQ(fs::is_directory(chosen.path), GetParam().chosen_writable);
  EXPECT_EQ(can_write, GetParam().chosen_writable);
  // The probe leaves nothing behind.
  for (const auto& folder : {program / "info", per_user}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      EXPECT_EQ(e.path().filename().string().find(".pcinfo-probe"), std::string::npos) << e.path();
  }
}

void ReadOnly(const fs::path& p) {
  fs::permissions(p, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                         fs::perms::others_read | fs::perms::others_exec);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ChooseInfoFolder,
    testing::Values(FolderCase{"InfoPresent",
                               [](const fs::path& program, const fs::path&) {
                                 fs::create_directories(program / "info");
                                 fs::permissions(program / "info", fs::perms::all);
                               },
                               false, true},
                    FolderCase{"InfoMissingIsMade", [](const fs::path&, const fs::path&) {}, false, true},
                    FolderCase{"ProgramFolderReadOnly",
                               [](const fs::path& program, const fs::path&) { ReadOnly(program); }, true, true},
                    FolderCase{"InfoReadOnly",
                               [](const fs::path& program, const fs::path&) {
                                 fs::create_directories(program / "info");
                                 ReadOnly(program / "info");
                               },
                               true, true},
                    FolderCase{"InfoIsAFile",
                               [](const fs::path& program, const fs::path&) { std::ofstream(program / "info") << "x"; },
                               true, true},
                    FolderCase{"NowhereToWrite",
                               [](const fs::path& program, const fs::path& home) {
                                 ReadOnly(program);
                                 ReadOnly(home);
                               },
                               true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChooseInfoFolder, WithoutAPerUserFolderKeepsTheOneBesideTheProgram) {
  Scratch scratch;
  std::ofstream(scratch.path() / "info") << "x";
  const front::InfoFolder chosen = front::ChooseInfoFolder(scratch.path() / "info", {});
  EXPECT_EQ(chosen.path, scratch.path() / "info");
  EXPECT_FALSE(chosen.per_user);
}

struct EnvCase {
  const char* name;
  std::optional<std::string> xdg_data_home, home;
  std::string expected;
};

void PrintTo(const EnvCase& c, std::ostream* os) { *os << c.name; }

class PerUserInfoFolder : public testing::TestWithParam<EnvCase> {};

TEST_P(PerUserInfoFolder, FollowsTheDataHome) {
  auto set = [](const char* var, const std::optional<std::string>& v) {
    if (v)
      ::setenv(var, v->c_str(), 1);
    else
      ::unsetenv(var);
  };
  const char* old_xdg = std::getenv("XDG_DATA_HOME");
  const char* old_home = std::getenv("HOME");
  const std::optional<std::string> keep_xdg = old_xdg ? std::optional<std::string>(old_xdg) : std::nullopt;
  const std::optional<std::string> keep_home = old_home ? std::optional<std::string>(old_home) : std::nullopt;
  set("XDG_DATA_HOME", GetParam().xdg_data_home);
  set("HOME", GetParam().home);
  const fs::path got = front::PerUserInfoFolder();
  set("XDG_DATA_HOME", keep_xdg);
  set("HOME", keep_home);
  EXPECT_EQ(got, fs::path(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Environments, PerUserInfoFolder,
    testing::Values(EnvCase{"DataHome", "/data/u", "/home/u", "/data/u/pcinfo/info"},
                    EnvCase{"HomeOnly", std::nullopt, "/home/u", "/home/u/.local/share/pcinfo/info"},
                    EnvCase{"RelativeDataHomeIsIgnored", "rel", "/home/u", "/home/u/.local/share/pcinfo/info"},
                    EnvCase{"EmptyDataHome", "", "/home/u", "/home/u/.local/share/pcinfo/info"},
                    EnvCase{"Neither", std::nullopt, std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct LineCase {
  const char* name;
  std::vector<std::string> args;
  std::optional<std::string> from;
  bool error;
  bool help = false, version = false;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class CommandLine : public testing::TestWithParam<LineCase> {};

TEST_P(CommandLine, Parses) {
  const front::CommandLine line = front::ParseCommandLine(GetParam().args);
  EXPECT_EQ(line.from, GetParam().from);
  EXPECT_EQ(!line.error.empty(), GetParam().error) << line.error;
  EXPECT_EQ(line.help, GetParam().help);
  EXPECT_EQ(line.version, GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLine,
    testing::Values(LineCase{"None", {}, std::nullopt, false},
                    LineCase{"From", {"--from", "desktop.json"}, "desktop.json", false},
                    LineCase{"FromWithEquals", {"--from=/tmp/a b.json"}, "/tmp/a b.json", false},
                    LineCase{"FromWithoutFile", {"--from"}, std::nullopt, true},
                    LineCase{"FromEmpty", {"--from="}, std::nullopt, true},
                    LineCase{"FromTwice", {"--from", "a.json", "--from", "b.json"}, std::nullopt, true},
                    LineCase{"UnknownOption", {"--wide"}, std::nullopt, true},
                    LineCase{"BareFile", {"desktop.json"}, "desktop.json", false},
                    LineCase{"FileAfterDoubleDash", {"--", "-x.json"}, "-x.json", false},
                    LineCase{"TwoFiles", {"a.json", "--from", "b.json"}, std::nullopt, true},
                    LineCase{"Help", {"a.json", "--help"}, std::nullopt, false, true},
                    LineCase{"ShortHelpBesideToolkitOption", {"-platform", "-h"}, std::nullopt, false, true},
                    LineCase{"Version", {"--version"}, std::nullopt, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
