// The console on hostile input: every bad snapshot path or content ends in one
// line on stderr and status 2, never a crash, a hang or unbounded memory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/cli_runner.h"
#include "wmi/recorded/snapshot.h"

namespace {

using testing_support::RunCli;

class BadSnapshot : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pcinfo-bad-input-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    auto p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  std::filesystem::path dir_;
};

TEST_F(BadSnapshot, EachGivesOneLineNamingTheFileAndStatusTwo) {
  auto number = [&](const std::string& name, const std::string& n) {
    return Write(name, "{\"namespaces\": {\"root\\\\cimv2\": {\"Win32_Processor\": [{\"Name\": " + n + "}]}}}");
  };
  std::string fifo = (dir_ / "pipe.json").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string big = Write("big.json", "{}");
  std::filesystem::resize_file(big, wmi::kMaxSnapshotBytes + 1);
  struct Case {
    std::string path, expected;  // expected: part of the line
  } cases[] = {
      {number("e400.json", "1e400"), "not a readable snapshot"},
      {number("e308.json", "2e308"), "not a readable snapshot"},
      {number("neg.json", "-1e400"), "not a readable snapshot"},
      {Write("utf8.json", "{\"namespaces\": {\"\xff\": {}}}"), "not valid JSON"},
      {Write("nul.json", std::string("{\"namespaces\"\0: {}}", 19)), "not valid JSON"},
      {Write("deep.json", std::string(100000, '[')), "not valid JSON"},
      {"/dev/zero", "not a regular file (a device)"},
      {fifo, "not a regular file (a pipe)"},
      {dir_.string(), "not a regular file (a directory)"},
      {big, "larger than 256 MB"},
  };
  for (const Case& c : cases) {
    for (const char* command : {"all", "snapshot"}) {
      auto r = RunCli({"--from", c.path, command});
      EXPECT_EQ(r.status, 2) << c.path;
      EXPECT_EQ(r.out, "") << c.path;
      EXPECT_EQ(r.err.rfind("pcinfo-cli: " + c.path + ": ", 0), 0u) << r.err;
      EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
  }
}

std::string Machine() { return std::string(PCINFO_TEST_DATA) + "/browser/machine.json"; }

// `dump` whose file cannot be written: the pane text still comes, then one line
// on stderr naming the file, and status 1.
TEST_F(BadSnapshot, DumpThatCannotWriteItsFileSaysSoAndExitsOne) {
  auto good = RunCli({"--from", Machine(), "dump", "--info", dir_.string(), "Win32_Processor"});
  ASSERT_EQ(good.status, 0) << good.err;
  std::ofstream(dir_ / "plain") << "x";
  std::filesystem::create_directories(dir_ / "Win32_Fan.txt");
  struct Case {
    std::string info, class_name;
  } cases[] = {
      {(dir_ / "plain" / "sub").string(), "Win32_Processor"},  // a folder that cannot be made
      {(dir_ / "plain").string(), "Win32_Processor"},
      {dir_.string(), "Win32_Fan"},  // a folder in place of the file
  };
  for (const Case& c : cases) {
    auto r = RunCli({"--from", Machine(), "dump", "--info", c.info, c.class_name});
    EXPECT_EQ(r.status, 1) << c.info;
    if (c.class_name == "Win32_Processor") {
      EXPECT_EQ(r.out, good.out);
    }
    std::string file = (std::filesystem::path(c.info) / (c.class_name + ".txt")).string();
    EXPECT_EQ(r.err.rfind("pcinfo-cli: dump: cannot write " + file + ": ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
}

// A missing --info folder is made, as the window makes its own.
TEST_F(BadSnapshot, DumpMakesAMissingInfoFolder) {
  const std::filesystem::path info = dir_ / "new" / "info";
  auto r = RunCli({"--from", Machine(), "dump", "--info", info.string(), "Win32_Processor"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(info / "Win32_Processor.txt"));
}

// A mistyped namespace or a class the machine lacks is bad input, no write
// failure: the pane shows the failed query, one line on stderr says which,
// status 2, and the file a good dump left stays.
TEST_F(BadSnapshot, DumpWhoseQueryFailsKeepsTheOldFile) {
  std::string old = "\"DeviceID:CPU9\"\r\n";
  std::ofstream(dir_ / "Win32_Processor.txt", std::ios::binary) << old;
  std::ofstream(dir_ / "Win32_TapeDrive.txt", std::ios::binary) << old;
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--namespace", "cimv3", "Win32_Processor"}, "pcinfo-cli: dump: no namespace root\\cimv3\n"},
      {{"Win32_TapeDrive"}, "pcinfo-cli: dump: no class Win32_TapeDrive in root\\cimv2\n"}};
  for (auto [args, message] : cases) {
    args.insert(args.begin(), {"--from", Machine(), "dump", "--info", dir_.string()});
    auto r = RunCli(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, std::string(90, '-') + "\r\n" + std::string(31, '-') + "\r\n");
    EXPECT_EQ(r.err, message);
  }
  for (const char* name : {"Win32_Processor.txt", "Win32_TapeDrive.txt"}) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, old) << name;
  }
}

}  // namespace
