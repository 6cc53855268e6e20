// The dump file's life: replaced in one step, left alone by a dump that
// failed, and every failure to write it reported to the window once.
#include "browser/dump_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <set>

#include "fake_window.h"
#include "wmi/error.h"

namespace {

using browser_test::FakeWindow;
using browser_test::ReadBytes;
using browser_test::TempFolder;

const std::string kOld = "\"older content of a good dump\"\r\n";
const std::string kProcessorFile =
    "\"DeviceID:CPU0\"\r\n\"Name:Core A\"\r\n\"NumberOfCores:4\"\r\n\"LoadPercentage:12.5\"\r\n"
    "\"PowerManagementSupported:False\"\r\n\"DeviceID:CPU1\"\r\n\"Name:Core B\"\r\n\"NumberOfCores:8\"\r\n"
    "\"LoadPercentage:3\"\r\n\"PowerManagementSupported:True\"\r\n\"DeviceID:CPU2\"\r\n\"Name:Core C\"\r\n"
    "\"NumberOfCores:2\"\r\n\"LoadPercentage:0.25\"\r\n\"PowerManagementSupported:False\"\r\n";

void WriteOld(const std::filesystem::path& p) { std::ofstream(p, std::ios::binary) << kOld; }

struct FailedQuery {
  const char* name;
  const char* ns;
  const char* class_name;
};

class FailedDump : public testing::TestWithParam<FailedQuery> {};

// A failed connection or query writes no file: the one a good dump left stays.
TEST_P(FailedDump, LeavesTheOldFileAsItWas) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), {"Win32_Processor"}, info.path());
  w.PlaceSelection(0);
  WriteOld(info.path() / "Win32_Processor.txt");
  browser::DumpWmiClass(w, "", GetParam().ns, GetParam().class_name);
  EXPECT_EQ(ReadBytes(info.path() / "Win32_Processor.txt"), kOld);
  EXPECT_EQ(info.FileCount(), 1u);
  EXPECT_TRUE(w.dump_failures.empty());
}

INSTANTIATE_TEST_SUITE_P(Queries, FailedDump,
                         testing::Values(FailedQuery{"MistypedNamespace", "cimv3", "Win32_Processor"},
                                         FailedQuery{"ClassTheMachineLacks", "cimv2", "Win32_TapeDrive"},
                                         FailedQuery{"EmptyNamespaceOfStartUp", "", "Win32_Processor"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A walk over the catalogue on a machine with five of its classes writes five
// files: the classes it lacks leave no empty file behind.
TEST(DumpReplacement, AWalkWritesFilesOnlyForTheClassesTheMachineHas) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), browser_test::Catalogue(), info.path());
  browser::AutoSaveClick(w);
  int skipped = 0;  // the classes whose dump does harm on a real machine
  for (const std::string& name : browser_test::Catalogue()) skipped += browser::IsSkippedByAutoSave(name) ? 1 : 0;
  EXPECT_EQ(w.dumps_started, 1211 - skipped);
  std::set<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(info.path())) files.insert(e.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"CIM_Action.txt", "Win32_Battery.txt", "Win32_Fan.txt", "Win32_Processor.txt",
                                          "Win32_WMISetting.txt"}));
}

TEST(DumpReplacement, AClassWithNoInstancesStillEmptiesItsFile) {
  TempFolder info;
  FakeWindow w(browser_test::MachineProvider(), {"Win32_Fan"}, info.path());
  w.PlaceSelection(0);
  WriteOld(info.path() / "Win32_Fan.txt");
  browser::DumpWmiClass(w, "", "cimv2", "Win32_Fan");
  EXPECT_TRUE(std::filesystem::exists(info.path() / "Win32_Fan.txt"));
  EXPECT_EQ(ReadBytes(info.path() / "Win32_Fan.txt"), "");
}

// While a dump runs (here: at its yield, where a kill or a reader may come)
// the file under the final name is the old one, whole.
TEST(DumpReplacement, TheFinalNameHoldsTheOldFileUntilTheDumpEnds) {
  TempFolder info;
  auto snapshot = std::make_shared<wmi::Snapshot>();
  std::vector<wmi::Property> props;
  for (int i = 0; i < 150; ++i) props.push_back({"P" + std::to_string(i), wmi::Value(i)});
  snapshot->namespaces.push_back({"root\\cimv2", {{"Win32_Wide", {wmi::Instance(props)}}}});
  FakeWindow w(std::make_shared<wmi::RecordedProvider>(snapshot), {"Win32_Wide"}, info.path());
  w.PlaceSelection(0);
  auto file = info.path() / "Win32_Wide.txt";
  WriteOld(file);
  std::string seen_at_yield;
  w.on_yield = [&] { seen_at_yield = ReadBytes(file); };
  browser::DumpWmiClass(w, "", "cimv2", "Win32_Wide");
  EXPECT_EQ(w.yield_lines.size(), 1u);
  EXPECT_EQ(seen_at_yield, kOld);
  EXPECT_EQ(browser_test::Lines(ReadBytes(file)).size(), 150u);
  EXPECT_EQ(info.FileCount(), 1u);
}

// A provider whose one class gives an instance, then fails: a service error,
// or the wait stopped by Esc, in the middle of the enumeration.
class FailsMidway : public wmi::Provider {
  class Results : public wmi::ResultSet {
   public:
    explicit Results(wmi::ErrorCode code) : code_(code) {}
    std::optional<wmi::Instance> Next() override {
      if (given_++ == 0) return wmi::Instance({{"Name", wmi::Value("first")}});
      throw wmi::Error(code_, "midway");
    }

   private:
    wmi::ErrorCode code_;
    int given_ = 0;
  };
  class Conn : public wmi::Connection {
   public:
    explicit Conn(wmi::ErrorCode code) : code_(code) {}
    std::unique_ptr<wmi::ResultSet> ExecQuery(std::string_view, int) override {
      return std::make_unique<Results>(code_);
    }
    std::unique_ptr<wmi::ResultSet> InstancesOf(std::string_view, int) override {
      return std::make_unique<Results>(code_);
    }

   private:
    wmi::ErrorCode code_;
  };

 public:
  explicit FailsMidway(wmi::ErrorCode code) : code_(code) {}

 protected:
  std::unique_ptr<wmi::Connection> ConnectNamespace(const std::string&) override {
    return std::make_unique<Conn>(code_);
  }

 private:
  wmi::ErrorCode code_;
};

// The pane keeps the part that came; the file keeps the last whole dump.
TEST(DumpReplacement, ADumpStoppedOrFailedMidwayKeepsTheOldFile) {
  for (wmi::ErrorCode code : {wmi::ErrorCode::ProviderFailure, wmi::ErrorCode::Cancelled}) {
    TempFolder info;
    FakeWindow w(std::make_shared<FailsMidway>(code), {"Win32_Printer"}, info.path());
    w.PlaceSelection(0);
    WriteOld(info.path() / "Win32_Printer.txt");
    browser::DumpWmiClass(w, "", "cimv2", "Win32_Printer");
    EXPECT_NE(w.pane_.text().find("Name:first\r\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(info.path() / "Win32_Printer.txt"), kOld);
    EXPECT_EQ(info.FileCount(), 1u);
    EXPECT_TRUE(w.dump_failures.empty());
  }
}

struct WriteFailure {
  std::string name;
  // Prepares the folder given; returns the info folder and the selected entry.
  std::function<std::pair<std::filesystem::path, std::string>(const std::filesystem::path&)> prepare;
  bool with_old_file = false;
  bool full_disk = false;
};

void PrintTo(const WriteFailure& c, std::ostream* os) { *os << c.name; }

class DumpWriteFailure : public testing::TestWithParam<WriteFailure> {};

// The pane is complete, the window is told once with the file's path, the old
// file (where there is one) is untouched and no temporary file is left.
TEST_P(DumpWriteFailure, IsReportedOnceAndLeavesTheOldFile) {
  const WriteFailure& c = GetParam();
  TempFolder root;
  auto [info, entry] = c.prepare(root.path());
  auto file = info / (entry + ".txt");
  if (c.with_old_file) WriteOld(file);

  FakeWindow good(browser_test::MachineProvider(), {"Win32_Processor"}, std::nullopt);
  good.PlaceSelection(0);
  browser::DumpWmiClass(good, "", "cimv2", "Win32_Processor");

  FakeWindow w(browser_test::MachineProvider(), {entry}, info);
  w.PlaceSelection(0);
  rlimit saved{};
  if (c.full_disk) {
    // Past 64 bytes every write of this process fails, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  browser::DumpWmiClass(w, "", "cimv2", "Win32_Processor");
  if (c.full_disk) setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_EQ(w.pane_.text(), good.pane_.text());
  ASSERT_EQ(w.dump_failures.size(), 1u);
  EXPECT_EQ(w.dump_failures[0].file, file);
  EXPECT_FALSE(w.dump_failures[0].reason.empty());
  if (c.with_old_file) {
    EXPECT_EQ(ReadBytes(file), kOld);
  }
  std::error_code ec;
  if (std::filesystem::is_directory(info, ec)) {
    for (const auto& e : std::filesystem::directory_iterator(info))
      EXPECT_NE(e.path().filename().string()[0], '.') << "left behind: " << e.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Causes, DumpWriteFailure,
                         testing::Values(WriteFailure{"MissingFolder",
                                                      [](const std::filesystem::path& root) {
                                                        return std::pair{root / "info", std::string("Win32_Processor")};
                                                      }},
                                         WriteFailure{"AFileInPlaceOfTheFolder",
                                                      [](const std::filesystem::path& root) {
                                                        std::ofstream(root / "info") << "x";
                                                        return std::pair{root / "info", std::string("Win32_Processor")};
                                                      }},
                                         WriteFailure{"AFolderInPlaceOfTheFile",
                                                      [](const std::filesystem::path& root) {
                                                        std::filesystem::create_directories(
                                                            root / "Win32_Processor.txt" / "inside");
                                                        return std::pair{root, std::string("Win32_Processor")};
                                                      }},
                                         WriteFailure{"ANameTheFileSystemRefuses",
                                                      [](const std::filesystem::path& root) {
                                                        return std::pair{root, std::string(300, 'W')};
                                                      }},
                                         WriteFailure{"FullDisk",
                                                      [](const std::filesystem::path& root) {
                                                        return std::pair{root, std::string("Win32_Processor")};
                                                      },
                                                      true, true}),
                         [](const auto& info) { return info.param.name; });

TEST(DumpFile, DiscardLeavesTheTargetAndNoTemporaryFile) {
  TempFolder dir;
  auto path = dir.path() / "CIM_Action.txt";
  WriteOld(path);
  {
    browser::DumpFile file;
    ASSERT_TRUE(file.Open(path));
    file.WriteLine("ActionID:a1");
    EXPECT_EQ(dir.FileCount(), 2u);  // the old file and the one being written
    file.Discard();
  }
  {
    browser::DumpFile file;  // dropped unclosed, as when a dump is abandoned
    ASSERT_TRUE(file.Open(path));
    file.WriteLine("ActionID:a2");
  }
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_EQ(dir.FileCount(), 1u);
}

}  // namespace
