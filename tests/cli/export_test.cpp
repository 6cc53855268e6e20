#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "cli/export_command.h"
#include "tests/support/cli_runner.h"
#include "tests/support/machine_captures.h"
#include "tests/support/test_host.h"

namespace {

using testing_support::CliResult;
using testing_support::RunCli;

constexpr int kMachines = 500;

// Captures of up to 500 machines made from the sample desktop, each written
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

TEST_F(ExportTest, FiveHundredMachinesInOneTablePerClass) {
  std::vector<std::string> files;
  for (int n = 0; n < kMachines; ++n) files.push_back(File(n));
  CliResult r = Export(files);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  int modules = 0;
  for (int n = 0; n < kMachines; ++n) modules += testing_support::MachineModules(n);
  EXPECT_EQ(Query("SELECT COUNT(DISTINCT machine), COUNT(*) FROM Win32_PhysicalMemory"),
            std::vector<std::string>{"500|" + std::to_string(modules)});
  EXPECT_EQ(Query("SELECT machine, Tag, Capacity FROM Win32_PhysicalMemory WHERE machine = 'PC-0007' ORDER BY Tag"),
            (std::vector<std::string>{"PC-0007|Physical Memory 0|8589934592", "PC-0007|Physical Memory 1|8589934592",
                                      "PC-0007|Physical Memory 2|8589934592", "PC-0007|Physical Memory 3|8589934592"}));
  // The capture time from the machine's clock; numbers as numbers, arrays as JSON text.
  EXPECT_EQ(Query("SELECT Win32_Processor.captured, typeof(AddressWidth), BIOSVersion FROM Win32_Processor "
                  "JOIN Win32_BIOS USING (machine) WHERE machine = 'PC-0013'"),
            std::vector<std::string>{
                R"(2026-02-15 09:30:00|integer|["ALASKA - 1072009","P4.30","American Megatrends - 5000D"])"});
  EXPECT_EQ(Query("SELECT COUNT(*) FROM Win32_DiskDrive WHERE Model = 'Disk Model 3'"), std::vector<std::string>{"71"});
}

TEST_F(ExportTest, LoadingAMachineAgainReplacesItsRows) {
  ASSERT_EQ(Export({File(1), File(2)}).status, 0);
  ASSERT_EQ(Query("SELECT COUNT(*) FROM Win32_PhysicalMemory WHERE machine = 'PC-0001'"),
            std::vector<std::string>{"2"});
  // PC-0001 again, now with one module more, a new class and one class fewer.
  wmi::Snapshot again = testing_support::MachineCapture(*base_, 2);
  for (auto& c : again.namespaces[0].classes)
    for (auto& inst : c.instances) {
      std::vector<wmi::Property> props = inst.Properties();
      for (auto& p : props)
        if (p.value == wmi::Value("PC-0002")) p.value = "PC-0001";
      inst = wmi::Instance(std::move(props));
    }
  std::erase_if(again.namespaces[0].classes, [](const auto& c) { return c.name == "Win32_CacheMemory"; });
  again.namespaces[0].classes.push_back(
      {"Win32_InfraredDevice", {wmi::Instance(std::vector<wmi::Property>{{"DeviceID", "IR0"}})}});
  const std::string file = (*dir_ / "again.json").string();
  std::ofstream(file, std::ios::binary) << wmi::SerializeSnapshot(again);
  ASSERT_EQ(Export({file}).status, 0);
  std::filesystem::remove(file);
  EXPECT_EQ(Query("SELECT machine, COUNT(*) FROM Win32_PhysicalMemory GROUP BY machine ORDER BY machine"),
            (std::vector<std::string>{"PC-0001|3", "PC-0002|3"}));
  EXPECT_EQ(Query("SELECT machine, DeviceID FROM Win32_InfraredDevice"), std::vector<std::string>{"PC-0001|IR0"});
  EXPECT_EQ(Query("SELECT DISTINCT machine FROM Win32_CacheMemory"), std::vector<std::string>{"PC-0002"});
  EXPECT_EQ(Query("SELECT machine FROM Win32_Processor ORDER BY machine"),
            (std::vector<std::string>{"PC-0001", "PC-0002"}));
}

TEST_F(ExportTest, AFailedLoadLeavesTheDatabaseAsItWas) {
  ASSERT_EQ(Export({File(0), File(1)}).status, 0);
  const auto before = Query("SELECT machine, Tag FROM Win32_PhysicalMemory ORDER BY machine, Tag");
  const std::string bad = (*dir_ / "bad.json").string();
  std::ofstream(bad) << "{\"namespaces\": [}";
  // The first capture replaces PC-0000's rows, the second does not load: nothing changes.
  CliResult r = Export({File(4), File(5), bad});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("bad.json"), std::string::npos) << r.err;
  EXPECT_EQ(Query("SELECT machine, Tag FROM Win32_PhysicalMemory ORDER BY machine, Tag"), before);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM Win32_Processor WHERE machine IN ('PC-0004', 'PC-0005')"),
            std::vector<std::string>{"0"});
  std::filesystem::remove(bad);
}

TEST_F(ExportTest, ADatabaseThatCannotBeWrittenIsStatusOne) {
  db_ = (*dir_ / "no-such-folder" / "inventory.sqlite").string();
  CliResult r = Export({File(0)});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

TEST_F(ExportTest, OneClassOfManyMachinesAsCsv) {
  CliResult r = RunCli({"export", "--csv", "win32_physicalmemory", File(0), File(1)});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(
      r.out.starts_with("\xEF\xBB\xBF"
                        "machine,captured,Attributes,BankLabel,Capacity,"));
  auto lines = testing_support::Lines(r.out);  // CR LF ended
  ASSERT_EQ(lines.size(), 4u);                 // header, one module of PC-0000, two of PC-0001
  EXPECT_TRUE(lines[1].starts_with("PC-0000,2026-01-15 09:30:00,1,BANK 0,8589934592,")) << lines[1];
  EXPECT_TRUE(lines[3].starts_with("PC-0001,2026-02-15 09:30:00,1,BANK 1,8589934592,")) << lines[3];
  EXPECT_EQ(r.out.find("\r\n\r\n"), std::string::npos);
}

TEST(Csv, FieldsAreQuotedAsSpreadsheetsReadThem) {
  cli::Capture c;
  c.machine = "PC,1";
  c.captured = "2026-01-01 00:00:00";
  c.snapshot = wmi::ParseSnapshot(R"({"namespaces": {"root\\cimv2": {"Win32_Printer": [
    {"Name": "営業部 \"A\" プリンタ", "Comment": "line1\r\nline2", "Capabilities": [2, 3], "Default": true,
     "Location": null}]}}})",
                                  "inline.json");
  EXPECT_EQ(cli::ClassCsv("Win32_Printer", {c}),
            "\xEF\xBB\xBF"
            "machine,captured,Name,Comment,Capabilities,Default,Location\r\n"
            "\"PC,1\",2026-01-01 00:00:00,\"営業部 \"\"A\"\" プリンタ\",\"line1\r\nline2\",\"[2,3]\",true,\r\n");
}

TEST(WmiDateTime, OnlyWmiDatesAreRead) {
  EXPECT_EQ(cli::WmiDateTime("20240131235959.000000+540"), "2024-01-31 23:59:59");
  EXPECT_EQ(cli::WmiDateTime("20240131235959"), "2024-01-31 23:59:59");
  EXPECT_EQ(cli::WmiDateTime("2024013123595"), "");
  EXPECT_EQ(cli::WmiDateTime("2024-01-31 23:59"), "");
  EXPECT_EQ(cli::WmiDateTime(""), "");
}

}  // namespace
