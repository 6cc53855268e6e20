#include "cli/cli.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
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
      {"--bogus"},
      {"--from"},
      {"--from", snapshot_, "run"},
      {"--from", snapshot_, "run", "Command99"},
      {"--from", snapshot_, "run", "Command61"},
      {"--from", snapshot_, "all", "extra"},
      {"--from", snapshot_, "frobnicate"},
      {"--from", bad_, "run", "Command40"},
      {"--from", (dir_ / "missing.json").string(), "all"},
      {"--from", snapshot_, "--tree", dir_.string(), "all"},
      {"run", "Command40", "--tree", dir_.string(), "--from", snapshot_},
      {"--tree", (dir_ / "no-such-folder").string(), "all"},
      {"--from", snapshot_, "run", "Command40", "--bogus"},
      {"--from", snapshot_, "dump"},
      {"--from", snapshot_, "dump", "Win32_Fan", "Win32_Processor"},
      {"--from", snapshot_, "dump", "../etc/passwd"},
      {"diff", snapshot_},
      {"diff", snapshot_, bad_},
      {"export", snapshot_},
      {"export", "--db", (dir_ / "x.sqlite").string(), "--csv", "Win32_Fan", snapshot_},
      {"export", "--csv", "Win32_NoSuchClass", snapshot_},
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

// The conventions of a console tool.

TEST_F(CliTest, HelpListsEveryCommandAndOptionOnStdout) {
  for (const char* flag : {"--help", "-h"}) {
    Result r = Cli({flag});
    EXPECT_EQ(r.status, 0) << flag;
    EXPECT_EQ(r.err, "") << flag;
    for (const char* word :
         {"run", "all", "buttons", "classes", "dump", "snapshot", "diff", "export", "--from", "--tree", "-o,--output",
          "--version", "--sanitize", "--namespace", "--info", "--json", "--db", "--csv", "Exit status"})
      EXPECT_NE(r.out.find(word), std::string::npos) << flag << " lacks " << word;
    EXPECT_NE(r.out.find("summary"), std::string::npos) << flag;
  }
  // Help stands before the work: with a command, that command's help.
  Result dump = Cli({"dump", "--help"});
  EXPECT_EQ(dump.status, 0);
  EXPECT_NE(dump.out.find("pcinfo-cli dump"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("--namespace"), std::string::npos);
  EXPECT_EQ(dump.out.find("--sanitize"), std::string::npos);
  EXPECT_EQ(Cli({"--from", snapshot_, "all", "-h"}).out.find(std::string(90, '-')), std::string::npos);
}

TEST_F(CliTest, VersionIsTheProjectVersion) {
  Result r = Cli({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("pcinfo-cli ") + PCINFO_PROJECT_VERSION + "\n");
}

TEST_F(CliTest, OptionsMayStandBeforeOrAfterTheCommandAndButtonsIgnoreCase) {
  const std::string expected = Cli({"--from", snapshot_, "run", "Command40", "Command14"}).out;
  ASSERT_NE(expected.find("CPU One"), std::string::npos);
  const std::vector<std::vector<std::string>> forms = {
      {"run", "Command40", "Command14", "--from", snapshot_},
      {"run", "--from", snapshot_, "Command40", "Command14"},
      {"run", "Command40", "--from=" + snapshot_, "Command14"},
      {"--from", snapshot_, "run", "command40", "COMMAND14"},
  };
  for (const auto& args : forms) {
    Result r = Cli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected) << args[0] << " " << args[1];
  }
}

TEST_F(CliTest, OutputFileGetsTheBytesStdoutWouldGet) {
  const std::string file = (dir_ / "pane.txt").string();
  const std::string expected = Cli({"--from", snapshot_, "all"}).out;
  for (const auto& args : std::vector<std::vector<std::string>>{{"--from", snapshot_, "-o", file, "all"},
                                                                {"--from", snapshot_, "all", "--output", file}}) {
    std::filesystem::remove(file);
    Result r = Cli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), expected);
  }
  // A usage error writes no file.
  std::filesystem::remove(file);
  EXPECT_EQ(Cli({"--from", snapshot_, "-o", file, "run", "Command99"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(CliTest, OutputThatCannotBeWrittenIsStatusOne) {
  // A folder that is not there, and a disk that is full.
  Result r = Cli({"--from", snapshot_, "-o", (dir_ / "no-such-folder" / "pane.txt").string(), "all"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;

  std::ofstream full("/dev/full");
  ASSERT_TRUE(full.is_open());
  std::vector<std::string> args = {"pcinfo-cli", "--from", snapshot_, "all"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream err;
  EXPECT_EQ(cli::Run(static_cast<int>(argv.size()), argv.data(), full, err), 1);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos) << err.str();
}

// A snapshot is ASCII JSON, so that every shell's redirection carries it; a
// capture that a shell saved with a byte-order mark (UTF-8, or the UTF-16LE
// of Windows PowerShell 5.1's ">") reads as the same capture.
TEST_F(CliTest, SnapshotsAreAsciiAndCapturesWithAByteOrderMarkRead) {
  const std::string japanese = (dir_ / "ja.json").string();
  // 日本語 and an emoji beyond the BMP.
  std::ofstream(japanese, std::ios::binary) << "{\"namespaces\": {\"root\\\\cimv2\": {\"Win32_Processor\": [{\"Name\": "
                                               "\"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e "
                                               "\xf0\x9f\x98\x80\"}]}}}";
  CliResult snap = Cli({"--from", japanese, "snapshot", "Win32_Processor"});
  ASSERT_EQ(snap.status, 0) << snap.err;
  for (char c : snap.out) ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << snap.out;
  EXPECT_NE(snap.out.find("\\u65e5\\u672c\\u8a9e \\ud83d\\ude00"), std::string::npos) << snap.out;
  const std::string want = Cli({"--from", japanese, "run", "Command40"}).out;
  ASSERT_NE(want.find("Name: \xe6\x97\xa5"), std::string::npos) << want;

  // What PowerShell 5.1 saves: UTF-16LE with its mark, Japanese as it is.
  const std::u16string text =
      u"{\"namespaces\": {\"root\\\\cimv2\": {\"Win32_Processor\": [{\"Name\": \"日本語 😀\"}]}}}";
  std::string utf16 = "\xff\xfe";
  for (char16_t c : text) utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  const std::pair<std::string, std::string> saved[] = {
      {"ascii.json", snap.out}, {"utf8-bom.json", "\xef\xbb\xbf" + snap.out}, {"utf16le.json", utf16}};
  for (const auto& [name, bytes] : saved) {
    const std::string file = (dir_ / name).string();
    std::ofstream(file, std::ios::binary) << bytes;
    CliResult r = Cli({"--from", file, "run", "Command40"});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out, want) << name;
  }
}

// A disk that fills half-way (a 4 KB file size limit here): the good file from before stays whole, and
// no temporary file is left beside it.
TEST_F(CliTest, OutputFileKeepsItsOldBytesWhenTheWriteFails) {
  const std::filesystem::path file = dir_ / "capture.json";
  const std::string before = Cli({"--from", snapshot_, "snapshot"}).out;
  std::ofstream(file, std::ios::binary) << before;
  const std::string desktop = std::string(PCINFO_TEST_DATA) + "/desktop.json";
  const std::string command = "trap '' XFSZ; ulimit -f 8; exec '" PCINFO_CLI "' --from '" + desktop + "' -o '" +
                              file.string() + "' snapshot 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), before);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"bad.json", "capture.json", "machine.json"}));
}

// A capture's value holding CR LF, terminal controls, the pane's own line and
// paragraph separators and a right-to-left override: wherever it becomes a line
// (the pane text on the console, the dump file) it stays on that line, shown
// escaped; a capture taken from the capture keeps it as recorded.
TEST_F(CliTest, ForgedLinesStayOnTheirLine) {
  const std::string forged = (dir_ / "forged.json").string();
  std::ofstream(forged) << R"({"namespaces": {"root\\cimv2": {"Win32_Processor": [
      {"Name": "CPU\r\nSerialNumber: FORGED\u2028VolumeSerialNumber: DEADBEEF\u2029\u202e\u2066\u001b[2J\u0007"}]}}})";
  const std::string shown =
      "CPU\\r\\nSerialNumber: FORGED\\u2028VolumeSerialNumber: DEADBEEF\\u2029\\u202e\\u2066\\x1b[2J\\x07";
  auto lines_of = [](const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
      end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(at, end - at));
    }
    return lines;
  };
  auto expect_one_line_each = [&](const std::string& text, const std::string& value_line) {
    bool found = false;
    for (const std::string& line : lines_of(text)) {
      EXPECT_EQ(line.find_first_of("\r\n\x1b\x07"), std::string::npos) << line;
      EXPECT_EQ(line.find("\xe2\x80"), std::string::npos) << line;
      EXPECT_FALSE(line.starts_with("SerialNumber")) << line;
      found = found || line == value_line;
    }
    EXPECT_TRUE(found) << value_line << " in\n" << text;
  };
  Result run = Cli({"--from", forged, "run", "Command40"});
  ASSERT_EQ(run.status, 0) << run.err;
  expect_one_line_each(run.out, "Name: " + shown);

  const std::filesystem::path info = dir_ / "info";
  Result dump = Cli({"--from", forged, "dump", "--info", info.string(), "Win32_Processor"});
  ASSERT_EQ(dump.status, 0) << dump.err;
  expect_one_line_each(dump.out, "Name:" + shown);
  std::ifstream in(info / "Win32_Processor.txt", std::ios::binary);
  std::stringstream file;
  file << in.rdbuf();
  expect_one_line_each(file.str(), "\"Name:" + shown + "\"");

  Result again = Cli({"--from", forged, "snapshot", "Win32_Processor"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find(R"(CPU\r\nSerialNumber: FORGED)"), std::string::npos) << again.out;  // JSON's escapes
}

TEST(TreeOption, ReadsACapturedLinuxTreeInsteadOfThisMachine) {
  const std::string tree = std::string(PCINFO_TEST_DATA) + "/linux/vm";
  CliResult r = Cli({"--tree", tree, "run", "Command40"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("CPU" + std::string(90, '-') + "\r\n" + std::string(31, '-') + "\r\n")) << r.out;
  // The same with the option after the command, and through a snapshot of the tree.
  EXPECT_EQ(Cli({"run", "Command40", "--tree", tree}).out, r.out);
  CliResult snapshot = Cli({"snapshot", "--tree", tree, "Win32_Processor"});
  ASSERT_EQ(snapshot.status, 0) << snapshot.err;
  EXPECT_NE(snapshot.out.find("Win32_Processor"), std::string::npos);
}

}  // namespace
