#include "cli/cli.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "queries/buttons.h"
#include "tests/support/cli_runner.h"
#include "tests/support/golden.h"
#include "tests/support/test_host.h"

namespace {

using testing_support::CliResult;
using Result = CliResult;
const auto Cli = testing_support::RunCli;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pcinfo-cli-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    snapshot_ = (dir_ / "machine.json").string();
    std::ofstream(snapshot_) << R"({"namespaces": {"root\\cimv2": {
      "Win32_Processor": [{"AddressWidth": 64, "Name": "CPU One"}, {"AddressWidth": 32, "Name": null}],
      "Win32_Fan": []}}})";
    bad_ = (dir_ / "bad.json").string();
    std::ofstream(bad_) << "{\"namespaces\": [}";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
  std::string snapshot_, bad_;
};

TEST_F(CliTest, RunPrintsThePaneTextOfTheButtonsInOrder) {
  Result r = Cli({"--from", snapshot_, "run", "Command40", "Command14", "Command40"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string cpu = "CPU" + std::string(90, '-') + "\r\n" + std::string(31, '-') +
                    "\r\nAddressWidth: 64\r\nName: CPU One\r\n" + std::string(31, '-') +
                    "\r\nAddressWidth: 32\r\nName: \r\n";
  EXPECT_EQ(r.out, cpu + "冷却ファン" + std::string(90, '-') + "\r\n" + cpu);
  EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, AllRunsTheSixtyButtonsInOrder) {
  Result r = Cli({"--from=" + snapshot_, "all"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> headers;
  for (const auto& line : testing_support::Lines(r.out))
    if (line.size() >= 90 && line.ends_with(std::string(90, '-'))) headers.push_back(line.substr(0, line.size() - 90));
  ASSERT_EQ(headers.size(), 60u);
  for (int n = 1; n <= 60; ++n)
    EXPECT_EQ(headers[n - 1], queries::FindButton("Command" + std::to_string(n))->caption) << n;
}

// The shipped snapshots: the sample desktop, and what Wine's WMI service answered.
TEST(ShippedSnapshots, AllRunsToTheEndWithTheProcessorNamed) {
  for (const char* name : {"desktop.json", "wine-wmi.json"}) {
    std::string path = std::string(PCINFO_TEST_DATA) + "/" + name;
    CliResult r = Cli({"--from", path, "all"});
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    auto lines = testing_support::Lines(r.out);
    int headers = 0;
    bool named = false;
    for (const auto& line : lines) {
      EXPECT_EQ(line.find("<<unterminated>>"), std::string::npos) << name;
      headers += line.size() >= 90 && line.ends_with(std::string(90, '-'));
      named = named || (line.starts_with("Name: ") && line.size() > 6 && headers == 40);
    }
    EXPECT_EQ(headers, 60) << name;
    EXPECT_TRUE(named) << name << ": the CPU block names no processor";
  }
}

// The whole output of `pcinfo-cli --from tests/data/desktop.json all`, as
// reviewed: every fixed list, composite and all-properties button on one machine.
TEST(CliGolden, AllOnTheDesktopSnapshot) {
  CliResult r = Cli({"--from", std::string(PCINFO_TEST_DATA) + "/desktop.json", "all"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  testing_support::ExpectMatchesGolden("desktop.all.txt", r.out);
}

// The comparison names the first line that changed, so that a change is found.
TEST(GoldenComparison, NamesTheFirstDifferingLine) {
  if (testing_support::UpdatingGolden()) GTEST_SKIP() << "the golden files are being rewritten";
  CliResult r = Cli({"--from", std::string(PCINFO_TEST_DATA) + "/desktop.json", "all"});
  std::string changed = r.out;
  const std::size_t second = changed.find("\r\n") + 2;
  changed.insert(second, "X");
  EXPECT_NONFATAL_FAILURE(testing_support::ExpectMatchesGolden("desktop.all.txt", changed),
                          "differs from the output at line 2");
  EXPECT_NONFATAL_FAILURE(testing_support::ExpectMatchesGolden("desktop.all.txt", r.out + "\r\n"),
                          "golden: <end of text>");
}

TEST_F(CliTest, ButtonsListsTheSixtyOneRows) {
  Result r = Cli({"buttons"});
  EXPECT_EQ(r.status, 0);
  auto lines = testing_support::Lines(r.out);
  ASSERT_EQ(lines.size(), 61u);
  EXPECT_EQ(lines[9], "Command10\tドライブ\t物理ディスクドライブ\tSelect * from Win32_DiskDrive");
  EXPECT_EQ(lines[55], "Command56\tOS\tログオン セッション情報\tSelect * from Win32_LogonSession ");
}

TEST_F(CliTest, BadInvocationsGiveOneLineOnStderrAndStatusTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--from"},
      {"--from", snapshot_, "run"},
      {"--from", snapshot_, "run", "Command99"},
      {"--from", snapshot_, "run", "Command61"},
      {"--from", snapshot_, "all", "extra"},
      {"--from", snapshot_, "frobnicate"},
      {"--from", bad_, "run", "Command40"},
      {"--from", (dir_ / "missing.json").string(), "all"},
  };
  for (const auto& args : cases) {
    Result r = Cli(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(r.status, 2) << joined;
    EXPECT_EQ(r.out, "") << joined;
    ASSERT_FALSE(r.err.empty()) << joined;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << joined << ": " << r.err;
  }
  EXPECT_NE(Cli({"--from", bad_, "all"}).err.find("bad.json: at line 1"), std::string::npos);
}

}  // namespace
