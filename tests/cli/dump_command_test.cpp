#include "cli/dump_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "tests/browser/fake_window.h"
#include "tests/support/cli_runner.h"

namespace {

using browser_test::Lines;
using browser_test::ReadBytes;
using browser_test::TempFolder;

using testing_support::RunCli;
using Result = testing_support::CliResult;

const std::string kHeader(90, '-');
const std::string kSeparator(31, '-');

TEST(CliClasses, PrintsTheCatalogueOneNameALine) {
  Result r = RunCli({"classes"});
  EXPECT_EQ(r.status, 0);
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1211u);
  EXPECT_EQ(lines[0], "__AbsoluteTimerInstruction");
  EXPECT_EQ(lines[53], "CIM_Action");
  EXPECT_EQ(lines[1210], "Win32_WMISetting");
}

TEST(CliDump, PrintsThePaneAndWritesTheFile) {
  TempFolder info;
  Result r =
      RunCli({"--from", browser_test::DataFile("machine.json"), "dump", "--info", info.path().string(), "CIM_Action"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kHeader + "\r\n" + kSeparator + "\r\nActionID:a1\r\nCaption:Null\r\n");
  EXPECT_EQ(ReadBytes(info.path() / "CIM_Action.txt"), "\"ActionID:a1\"\r\n\"Caption:Null\"\r\n");
}

// Without --info, where the folder beside the program cannot be written, the
// file goes to the window's per-user folder, and stderr says where.
TEST(CliDump, WithoutInfoTakesThePerUserFolderWhenTheOneBesideCannotBeWritten) {
  TempFolder root;
  const auto program = root.path() / "program";
  std::filesystem::create_directories(program);
  std::ofstream(program / "info") << "a file where the folder should be";
  const std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  ::setenv("XDG_DATA_HOME", (root.path() / "data").c_str(), 1);
  cli::DumpArguments args;
  args.class_name = "CIM_Action";
  cli::Options options;
  options.from = browser_test::DataFile("machine.json");
  std::ostringstream out, err;
  const int status = cli::DumpCommand(args, options, program, out, err);
  if (saved.empty())
    ::unsetenv("XDG_DATA_HOME");
  else
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  EXPECT_EQ(status, 0) << err.str();
  EXPECT_EQ(ReadBytes(root.path() / "data" / "pcinfo" / "info" / "CIM_Action.txt"),
            "\"ActionID:a1\"\r\n\"Caption:Null\"\r\n");
  EXPECT_NE(err.str().find((root.path() / "data" / "pcinfo" / "info").string()), std::string::npos) << err.str();
}

TEST(CliDump, NamespaceOptionNamesTheNamespaceBelowRoot) {
  TempFolder info;
  Result r = RunCli({"--from", browser_test::DataFile("machine.json"), "dump", "--namespace", "wmi", "--info",
                     info.path().string(), "CIM_Action"});
  EXPECT_EQ(r.status, 2) << r.err;  // root\wmi is not recorded: bad input
  EXPECT_EQ(r.err, "pcinfo-cli: dump: no namespace root\\wmi\n");
  EXPECT_EQ(r.out, kHeader + "\r\n" + kSeparator + "\r\n");
  EXPECT_EQ(ReadBytes(info.path() / "CIM_Action.txt"), "");
}

class CliDumpRefuses : public testing::TestWithParam<std::string> {};

TEST_P(CliDumpRefuses, ANameThatIsNotAPlainClassName) {
  TempFolder info;
  Result r = RunCli(
      {"--from", browser_test::DataFile("machine.json"), "dump", "--info", (info.path() / "sub").string(), GetParam()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // one line
  EXPECT_EQ(info.FileCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, CliDumpRefuses,
                         testing::Values("../Win32_Battery", "sub/CIM_Action", "Win32 Battery", "", "Win32_Battery.txt",
                                         "Win32_Battery\\x"));

TEST(CliDump, NeedsExactlyOneClass) {
  EXPECT_EQ(RunCli({"dump"}).status, 2);
  EXPECT_EQ(RunCli({"dump", "CIM_Action", "Win32_Battery"}).status, 2);
  EXPECT_EQ(RunCli({"dump", "--info"}).status, 2);
}

TEST(CliRun, BatteryButtonPrintsTheDumpWithoutAFile) {
  Result r = RunCli({"--from", browser_test::DataFile("machine.json"), "run", "Command63"});
  EXPECT_EQ(r.status, 0) << r.err;
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], kHeader);
  EXPECT_EQ(lines[2], "Caption:内部バッテリー");
  EXPECT_EQ(lines[9], "Chemistry:6");
}

}  // namespace
