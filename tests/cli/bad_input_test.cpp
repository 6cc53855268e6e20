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

}  // namespace
