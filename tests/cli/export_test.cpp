#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/export_command.h"
#include "tests/support/cli_runner.h"
#include "tests/support/machine_captures.h"
#include "tests/support/readme_queries.h"
#include "tests/support/test_host.h"

namespace {

using testing_support::CliResult;
using testing_support::RunCli;

constexpr int kMachines = 200;

// stderr's lines (LF ended).
std::vector<std::string> StderrLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Captures of up to 200 machines made from the sample desktop, each written
// when a test first asks for it.
class ExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                     ("pcinfo-export-test-" + std::to_string(::getpid())));
    std::filesystem::create_directories(*dir_);
    base_ = new wmi::Snapshot(wmi::LoadSnapshotFile(std::string(PCINFO_TEST_DATA) + "/desktop.json"));
  }
  static void TearDownTestSuite() {
    std::filesystem::remove_all(*dir_);
    delete dir_;
    delete base_;
  }
  static std::string File(int n) {
    std::string path = (*dir_ / (testing_support::MachineName(n) + ".json")).string();
    if (!std::filesystem::exists(path))
      std::ofstream(path, std::ios::binary) << wmi::SerializeSnapshot(testing_support::MachineCapture(*base_, n));
    return path;
  }
  void SetUp() override { db_ = (*dir_ / "inventory.sqlite").string(); }
  void TearDown() override { std::filesystem::remove(db_); }

  CliResult Export(std::vector<std::string> captures) {
    captures.insert(captures.begin(), {"export", "--db", db_});
    return RunCli(captures);
  }

  // The rows of a query, each as its columns' text joined by "|".
  std::vector<std::string> Query(const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(db_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    } else {
      while (sqlite3_step(s) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
          const unsigned char* t = sqlite3_column_text(s, i);
          row += (i ? "|" : "") + std::string(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
        rows.push_back(row);
      }
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
  }

  static std::filesystem::path* dir_;
  static wmi::Snapshot* base_;
  std::string db_;
};

std::filesystem::path* ExportTest::dir_ = nullptr;
wmi::Snapshot* ExportTest::base_ = nullptr;

TEST_F(ExportTest, HundredsOfMachinesInOneTablePerClass) {
  std::vector<std::string> files;
  for (int n = 0; n < kMachines; ++n) files.push_back(File(n));
  CliResult r = Export(files);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  int modules = 0;
  for (int n = 0; n < kMachines; ++n) modules += testing_support::MachineModules(n);
  EXPECT_EQ(Query("SELECT COUNT(DISTINCT machine_id), COUNT(*) FROM Win32_PhysicalMemory"),
            std::vector<std::string>{std::to_string(kMachines) + "|" + std::to_string(modules)});
  EXPECT_EQ(Query("SELECT c.machine, Tag, Capacity FROM captures c JOIN Win32_PhysicalMemory USING (capture_id) "
                  "WHERE c.machine = 'PC-0007' AND Capacity > 8000000000 ORDER BY Tag"),
            (std::vector<std::string>{"PC-0007|Physical Memory 0|8589934592", "PC-0007|Physical Memory 1|8589934592",
                                      "PC-0007|Physical Memory 2|8589934592", "PC-0007|Physical Memory 3|8589934592"}));
  // Columns of the property's CIM type: uint64 delivered as text is a number,
  // datetimes are UTC, arrays JSON text.
  EXPECT_EQ(Query("SELECT c.captured, typeof(Capacity), typeof(AddressWidth), b.ReleaseDate, b.BIOSVersion "
                  "FROM captures c JOIN Win32_Processor p USING (capture_id) JOIN Win32_BIOS b USING (capture_id) "
                  "JOIN Win32_PhysicalMemory m USING (capture_id) WHERE c.machine = 'PC-0013' LIMIT 1"),
            std::vector<std::string>{"2026-02-15T00:30:00Z|integer|integer|2019-11-12T00:00:00Z|"
                                     R"(["ALASKA - 1072009","P4.30","American Megatrends - 5000D"])"});
  EXPECT_EQ(Query("SELECT typeof(FreeSpace), typeof(QuotasDisabled) FROM Win32_LogicalDisk WHERE DeviceID = 'C:' "
                  "LIMIT 1"),
            std::vector<std::string>{"integer|integer"});
  EXPECT_EQ(Query("SELECT COUNT(*) FROM Win32_DiskDrive WHERE Model = 'Disk Model 3'"),
            std::vector<std::string>{std::to_string((kMachines + 3) / 7)});
  // One line on stderr per capture.
  EXPECT_EQ(StderrLines(r.err).size(), static_cast<std::size_t>(kMachines));
}

TEST_F(ExportTest, EachCaptureIsKeptAndTheLatestAnswers) {
  const std::string newer = (*dir_ / "PC-0001-later.json").string();
  std::ofstream(newer, std::ios::binary) << wmi::SerializeSnapshot(testing_support::MachineCapture(*base_, 1, 1));
  CliResult first = Export({newer, File(2)});
  ASSERT_EQ(first.status, 0) << first.err;
  // The older capture of PC-0001 goes into its history; loading one again changes nothing.
  CliResult again = Export({File(1), newer, File(3)});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(first.err, "pcinfo-cli: " + newer +
                           ": PC-0001 (6c4f9a2e-0000-4000-8000-000000000001) 2026-03-15T00:30:00Z: " +
                           "a new machine\n" + "pcinfo-cli: " + File(2) +
                           ": PC-0002 (6c4f9a2e-0000-4000-8000-000000000002) 2026-03-15T00:30:00Z: a new machine\n");
  const auto lines = StderrLines(again.err);
  ASSERT_EQ(lines.size(), 3u) << again.err;
  EXPECT_TRUE(lines[0].ends_with("2026-02-15T00:30:00Z: an older capture, kept in the history")) << lines[0];
  EXPECT_TRUE(lines[1].ends_with(": loaded before, nothing changed")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(": a new machine")) << lines[2];
  EXPECT_EQ(Query("SELECT machine, captured FROM captures ORDER BY machine, captured"),
            (std::vector<std::string>{"PC-0001|2026-02-15T00:30:00Z", "PC-0001|2026-03-15T00:30:00Z",
                                      "PC-0002|2026-03-15T00:30:00Z", "PC-0003|2026-04-15T00:30:00Z"}));
  EXPECT_EQ(Query("SELECT machine, captured FROM latest_captures ORDER BY machine"),
            (std::vector<std::string>{"PC-0001|2026-03-15T00:30:00Z", "PC-0002|2026-03-15T00:30:00Z",
                                      "PC-0003|2026-04-15T00:30:00Z"}));
  EXPECT_EQ(Query("SELECT COUNT(*) FROM Win32_PhysicalMemory WHERE machine_id LIKE '%001'"),
            std::vector<std::string>{"4"});
}

// Sanitized captures of two machines, made without a header as before:
// their masked names differ, and so do their ids.
TEST_F(ExportTest, MachinesAreToldApartByTheirIdNotTheirName) {
  wmi::Snapshot a = testing_support::MachineCapture(*base_, 4), b = testing_support::MachineCapture(*base_, 5);
  b.header->machine_id = a.header->machine_id;  // one machine, renamed between captures
  b.header->captured = "2026-12-01T00:00:00Z";
  const std::string fa = (*dir_ / "a.json").string(), fb = (*dir_ / "b.json").string();
  std::ofstream(fa, std::ios::binary) << wmi::SerializeSnapshot(a);
  std::ofstream(fb, std::ios::binary) << wmi::SerializeSnapshot(b);
  CliResult r = Export({fa, fb});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("PC-0005 (6c4f9a2e-0000-4000-8000-000000000004) 2026-12-01T00:00:00Z: a newer capture"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Query("SELECT machine FROM latest_captures"), std::vector<std::string>{"PC-0005"});
}

TEST_F(ExportTest, ABrokenCaptureIsSkippedAndTheOthersLoad) {
  const std::string bad = (*dir_ / "bad.json").string();
  std::ofstream(bad) << "{\"namespaces\": [}";
  CliResult r = Export({File(4), bad, File(5)});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("bad.json: at line 1, column 17: not valid JSON"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("; skipped\n"), std::string::npos) << r.err;
  EXPECT_EQ(Query("SELECT machine FROM captures ORDER BY machine"), (std::vector<std::string>{"PC-0004", "PC-0005"}));
  std::filesystem::remove(bad);
}

// snapshot --db captures and loads in one step; nothing goes to stdout.
TEST_F(ExportTest, ASnapshotLoadsStraightIntoTheInventory) {
  CliResult r = RunCli({"--from", std::string(PCINFO_TEST_DATA) + "/desktop.json", "snapshot", "--db", db_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("pcinfo-cli: snapshot: DESKTOP-01 (name:desktop-01) "), std::string::npos) << r.err;
  EXPECT_EQ(Query("SELECT machine, source, program FROM captures"),
            std::vector<std::string>{"DESKTOP-01|capture|pcinfo-cli " PCINFO_PROJECT_VERSION});
  EXPECT_EQ(Query("SELECT name, memory_gb FROM machines"), std::vector<std::string>{"DESKTOP-01|16.0"});
}

TEST_F(ExportTest, ADatabaseThatCannotBeWrittenIsStatusOne) {
  db_ = (*dir_ / "no-such-folder" / "inventory.sqlite").string();
  CliResult r = Export({File(0)});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

// The questions the README shows, run as they stand there.
TEST_F(ExportTest, TheReadmeQuestionsAnswer) {
  std::vector<std::string> files;
  for (int n = 0; n < 40; ++n) files.push_back(File(n));
  const std::string later = (*dir_ / "PC-0000-later.json").string();
  std::ofstream(later, std::ios::binary) << wmi::SerializeSnapshot(testing_support::MachineCapture(*base_, 0, 3));
  files.push_back(later);
  ASSERT_EQ(Export(files).status, 0);
  std::vector<std::string> under8, full;
  for (int n = 0; n < 40; ++n) {
    if (testing_support::MachineModules(n) * testing_support::MachineModuleSize(n) < 8589934592LL)
      under8.push_back(testing_support::MachineName(n) + "|4.0");
    if (testing_support::MachineDiskFull(n)) full.push_back(testing_support::MachineName(n) + "|C:|95.0");
  }
  const std::vector<std::vector<std::string>> expected = {
      under8,
      {"American Megatrends Inc.|P4.20|14", "American Megatrends Inc.|P4.25|13", "American Megatrends Inc.|P4.30|13"},
      full,
      {},  // the machines view: below
      {"2026-01-15T00:30:00Z|1|4", "2026-04-15T00:30:00Z|1|4"}};
  const std::vector<std::string> questions = testing_support::ReadmeQueries();
  ASSERT_EQ(questions.size(), expected.size());
  for (std::size_t i = 0; i < questions.size(); ++i) {
    if (i == 3) continue;
    EXPECT_EQ(Query(questions[i]), expected[i]) << questions[i];
  }
  const std::vector<std::string> machines = Query(questions[3]);
  ASSERT_EQ(machines.size(), 40u);
  EXPECT_EQ(machines[0],
            "PC-0000|ASRock|B365M Pro4|Intel(R) Core(TM) i7-9700 CPU @ 3.00GHz|8|8|4.0|500.1|Microsoft Windows 10 Pro|"
            "19045|P4.20|2019-11-12");
  EXPECT_EQ(machines[39].substr(0, 8), "PC-0039|");
}

// Names a capture may carry: loaded as they are, never run as SQL, or refused
// with the reason.
TEST_F(ExportTest, HostileNamesLoadOrAreRefused) {
  const std::string hostile = (*dir_ / "hostile.json").string();
  std::ofstream(hostile) << R"({"namespaces": {"root\\cimv2": {
    "Win32_Odd\"; DROP TABLE captures; --": [{"machine": "m", "captured": "c", "[select]": 1, "a\"b": "x",
                                             "Name": "PC-H"}],
    "select": [{"from": true}]}}})";
  CliResult r = Export({hostile});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query(R"(SELECT machine, captured, "[select]", "a""b" FROM "Win32_Odd""; DROP TABLE captures; --")"),
            std::vector<std::string>{"m|c|1|x"});
  EXPECT_EQ(Query(R"(SELECT "from" FROM "select")"), std::vector<std::string>{"1"});

  std::string wide = R"({"namespaces": {"root\\cimv2": {"Win32_Wide": [{)";
  for (int i = 0; i < 10000; ++i) wide += (i ? ", " : "") + std::string("\"P") + std::to_string(i) + "\": 1";
  wide += "}]}}}";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {R"({"namespaces": {"root\\cimv2": {"Captures": [{"x": 1}]}}})", "named like one of the database's own tables"},
      {R"({"namespaces": {"root\\cimv2": {"Win32_X": [{"capture_id": 1}]}}})", "named like a column"},
      {R"({"namespaces": {"root\\cimv2": {"Win32_X": [{"Name": 1, "NAME": 2}]}}})", "differ in case alone"},
      {wide, "would need 10002 columns, more than the 2000"}};
  for (const auto& [text, reason] : refused) {
    std::ofstream(hostile, std::ios::trunc) << text;
    CliResult bad = Export({hostile});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find(reason), std::string::npos) << bad.err;
  }
  EXPECT_EQ(Query("SELECT COUNT(*) FROM captures"), std::vector<std::string>{"1"});
  std::filesystem::remove(hostile);
}

TEST_F(ExportTest, ALockedDatabaseIsWaitedFor) {
  ASSERT_EQ(Export({File(0)}).status, 0);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  CliResult r = Export({File(1)});
  release.join();
  sqlite3_close(other);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query("SELECT COUNT(*) FROM captures"), std::vector<std::string>{"2"});
}

TEST_F(ExportTest, OneClassOfManyMachinesAsCsv) {
  CliResult r = RunCli({"export", "--csv", "win32_physicalmemory", File(0), File(1)});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(
      r.out.starts_with("\xEF\xBB\xBF"
                        "machine,captured,Attributes,BankLabel,Capacity,"));
  auto lines = testing_support::Lines(r.out);  // CR LF ended
  ASSERT_EQ(lines.size(), 4u);                 // header, one module of PC-0000, two of PC-0001
  EXPECT_TRUE(lines[1].starts_with("PC-0000,2026-01-15T00:30:00Z,1,BANK 0,4294967296,")) << lines[1];
  EXPECT_TRUE(lines[3].starts_with("PC-0001,2026-02-15T00:30:00Z,1,BANK 1,8589934592,")) << lines[3];
  EXPECT_EQ(r.out.find("\r\n\r\n"), std::string::npos);
}

TEST(Csv, FieldsAreQuotedAsSpreadsheetsReadThem) {
  cli::Capture c;
  c.machine = "PC,1";
  c.captured = "2026-01-01 00:00:00";
  c.snapshot = wmi::ParseSnapshot(R"({"namespaces": {"root\\cimv2": {"Win32_Printer": [
    {"Name": "営業部 \"A\" プリンタ", "Comment": "line1\r\nline2", "Capabilities": [2, 3], "Default": true,
     "Location": null, "PortName": "+cmd|' /C calc'!A0", "DriverName": "=1+2", "Priority": "-5",
     "ShareName": "@x", "Status": "\tx"}]}}})",
                                  "inline.json");
  EXPECT_EQ(cli::ClassCsv("Win32_Printer", {c}),
            "\xEF\xBB\xBF"
            "machine,captured,Name,Comment,Capabilities,Default,Location,PortName,DriverName,Priority,ShareName,"
            "Status\r\n"
            "\"PC,1\",2026-01-01 00:00:00,\"営業部 \"\"A\"\" プリンタ\",\"line1\r\nline2\",\"[2,3]\",true,,"
            "'+cmd|' /C calc'!A0,'=1+2,-5,'@x,'\tx\r\n");
}

TEST(WmiDateTime, OnlyWmiDatesAreRead) {
  EXPECT_EQ(cli::WmiDateTime("20240131235959.000000+540"), "2024-01-31 23:59:59");
  EXPECT_EQ(cli::WmiDateTime("20240131235959"), "2024-01-31 23:59:59");
  EXPECT_EQ(cli::WmiDateTime("2024013123595"), "");
  EXPECT_EQ(cli::WmiDateTime("2024-01-31 23:59"), "");
  EXPECT_EQ(cli::WmiDateTime(""), "");
}

}  // namespace
