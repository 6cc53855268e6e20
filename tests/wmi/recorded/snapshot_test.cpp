#include "wmi/recorded/snapshot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "wmi/error.h"

namespace {

using wmi::Value;

constexpr const char* kSnapshot = R"({"namespaces": {
  "root\\cimv2": {
    "Win32_DiskDrive": [
      {"Availability": null, "Capabilities": [3, 4, 10], "Caption": "Disk 0",
       "Size": "53686402560", "MediaLoaded": true, "Ratio": 1.5, "Big": 1e20, "Embedded": {"object": "Win32_Foo"}},
      {"Caption": "Disk 0", "Index": 1, "Caption": "Disk 1"}
    ],
    "Win32_Fan": []
  },
  "root\\wmi": {"MSStorage": [{"Active": false}]}
}})";

std::vector<wmi::Instance> All(wmi::ResultSet& rs) {
  std::vector<wmi::Instance> out;
  while (auto i = rs.Next()) out.push_back(*i);
  return out;
}

class Recorded : public ::testing::Test {
 protected:
  wmi::RecordedProvider provider{std::make_shared<const wmi::Snapshot>(wmi::ParseSnapshot(kSnapshot, "test.json"))};
};

TEST_F(Recorded, MapsJsonToWmiValuesInFileOrder) {
  auto rs = provider.Connect("winmgmts:\\\\.\\root\\cimv2")->ExecQuery("Select * from Win32_DiskDrive", 48);
  auto disks = All(*rs);
  ASSERT_EQ(disks.size(), 2u);
  const auto& props = disks[0].Properties();
  std::vector<std::string> names;
  for (const auto& p : props) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Availability", "Capabilities", "Caption", "Size", "MediaLoaded", "Ratio",
                                             "Big", "Embedded"}));
  EXPECT_EQ(disks[0].Get("Availability"), Value());
  EXPECT_EQ(disks[0].Get("capabilities"), Value(std::vector<Value>{3, 4, 10}));
  EXPECT_EQ(disks[0].Get("Size"), Value("53686402560"));
  EXPECT_EQ(disks[0].Get("MediaLoaded"), Value(true));
  EXPECT_EQ(disks[0].Get("Ratio"), Value(1.5));
  EXPECT_EQ(disks[0].Get("Big").kind(), Value::Kind::Real);
  EXPECT_EQ(disks[0].Get("Embedded"), Value(wmi::Object{"Win32_Foo"}));
  EXPECT_EQ(disks[0].GetElement("Capabilities", 2), Value(10));
  EXPECT_THROW(disks[0].GetElement("Capabilities", 3), wmi::Error);
  EXPECT_THROW(disks[0].GetElement("Caption", 0), wmi::Error);
  // A property not in the instance's object is one the instance does not have.
  EXPECT_THROW(disks[0].Get("Index"), wmi::Error);
  EXPECT_EQ(disks[1].Get("Index"), Value(1));
  // A key written twice keeps its first place and its last value.
  ASSERT_EQ(disks[1].Properties().size(), 2u);
  EXPECT_EQ(disks[1].Properties()[0].name, "Caption");
  EXPECT_EQ(disks[1].Get("Caption"), Value("Disk 1"));
}

TEST_F(Recorded, ClassesAndNamespacesMatchWithoutRegardToCase) {
  auto c = provider.Connect("WINMGMTS:\\\\.\\ROOT\\CIMV2");
  EXPECT_EQ(All(*c->ExecQuery("select * from win32_diskdrive")).size(), 2u);
  EXPECT_EQ(All(*c->InstancesOf("WIN32_DISKDRIVE")).size(), 2u);
  EXPECT_EQ(All(*provider.Connect("Winmgmts:")->ExecQuery("Select * from Win32_Fan")).size(), 0u);
  EXPECT_EQ(All(*provider.Connect("winmgmts:\\\\.\\root\\WMI")->ExecQuery("Select * from msstorage")).size(), 1u);
}

TEST_F(Recorded, WhereClauseFilters) {
  auto c = provider.Connect("winmgmts:\\\\.\\root\\cimv2");
  auto found = All(*c->ExecQuery("Select * From Win32_DiskDrive Where Caption = 'disk 1'"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Get("Index"), Value(1));
  EXPECT_TRUE(All(*c->ExecQuery("Select * From Win32_DiskDrive Where Caption = 'Disk 2'")).empty());
}

TEST_F(Recorded, FailuresAreErrorsWithTheirCodes) {
  struct Case {
    const char* moniker;
    const char* query;
    wmi::ErrorCode code;
  } cases[] = {
      {"winmgmts:\\\\.\\root\\nosuch", "Select * from Win32_Fan", wmi::ErrorCode::ConnectFailed},
      {"winmgmts:\\\\.\\root\\", "Select * from Win32_Fan", wmi::ErrorCode::ConnectFailed},
      {"winmgmts:\\\\.\\root\\cimv2", "Select * from Win32_Battery", wmi::ErrorCode::InvalidClass},
      {"winmgmts:\\\\.\\root\\cimv2", "Select Name from Win32_Fan", wmi::ErrorCode::InvalidQuery},
      {"nothing", "Select * from Win32_Fan", wmi::ErrorCode::ConnectFailed},
  };
  for (const Case& c : cases) {
    try {
      auto rs = provider.Connect(c.moniker)->ExecQuery(c.query, 48);
      All(*rs);
      ADD_FAILURE() << c.moniker << " " << c.query << " did not fail";
    } catch (const wmi::Error& e) {
      EXPECT_EQ(e.code(), c.code) << c.moniker << " " << c.query;
    }
  }
}

TEST(SnapshotFiles, BadFilesNameTheFileAndThePlace) {
  struct Case {
    const char* text;
    const char* expected;  // part of the message
  } cases[] = {
      {"{\"namespaces\": {\n  \"root\\\\cimv2\": {\"X\": [}\n}}", "bad.json: at line 2, column"},
      {"", "bad.json: at"},
      {"[]", "namespaces"},
      {"{\"namespaces\": {\"root\\\\cimv2\": {\"X\": {}}}}", "namespaces/root\\cimv2/X"},
      {"{\"namespaces\": {\"root\\\\cimv2\": {\"X\": [1]}}}", "namespaces/root\\cimv2/X[0]"},
      {"{\"namespaces\": {\"root\\\\cimv2\": {\"X\": [{\"A\": [[1]]}]}}}", "X[0]/A[0]"},
      {"{\"namespaces\": {\"root\\\\cimv2\": {\"X\": [{\"A\": {\"b\": 1}}]}}}", "X[0]/A"},
      {"{\"namespaces\": {\"root\\\\cimv2\": {\"X\": [{\"A\": 18446744073709551615}]}}}", "too large"},
  };
  for (const Case& c : cases) {
    try {
      wmi::ParseSnapshot(c.text, "bad.json");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const wmi::SnapshotError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("bad.json"), std::string::npos) << e.what();
    }
  }
}

// Whatever the JSON reader refuses becomes the loader's own error, naming the
// file: numbers beyond a double, as well as plain syntax errors.
TEST(SnapshotFiles, NumbersOutOfRangeAreTheLoadersError) {
  for (const char* number : {"1e400", "2e308", "-1e400", "1e999999999999"}) {
    std::string text = std::string("{\"namespaces\": {\"root\\\\cimv2\": {\"X\": [{\"A\": ") + number + "}]}}}";
    try {
      wmi::ParseSnapshot(text, "range.json");
      ADD_FAILURE() << "accepted: " << number;
    } catch (const wmi::SnapshotError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("range.json: ", 0), 0u) << e.what();
    } catch (const std::exception& e) {
      ADD_FAILURE() << number << " escaped as another exception: " << e.what();
    }
  }
}

class SnapshotFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pcinfo-snapshot-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Message(const std::string& path) {
    try {
      wmi::LoadSnapshotFile(path);
    } catch (const wmi::SnapshotError& e) {
      return e.what();
    }
    return "(accepted)";
  }
  std::filesystem::path dir_;
};

// Paths that are not regular files are refused without reading from them: a
// device gives endless bytes, a pipe with no writer would block for ever.
TEST_F(SnapshotFolder, RefusesWhatIsNotARegularFile) {
  std::string fifo = (dir_ / "pipe").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path, kind;
  } cases[] = {{"/dev/zero", "a device"}, {"/dev/null", "a device"}, {fifo, "a pipe"}, {dir_.string(), "a directory"}};
  for (const Case& c : cases) EXPECT_EQ(Message(c.path), c.path + ": not a regular file (" + c.kind + ")");
}

TEST_F(SnapshotFolder, RefusesAFileOverTheCapWithoutReadingIt) {
  auto big = dir_ / "big.json";
  std::ofstream(big) << "{}";
  std::filesystem::resize_file(big, wmi::kMaxSnapshotBytes + 1);  // sparse: nothing is written
  EXPECT_EQ(Message(big.string()), big.string() + ": larger than 256 MB, the most a snapshot file may hold");
  std::filesystem::resize_file(big, 0);
  EXPECT_NE(Message(big.string()).find("not valid JSON"), std::string::npos);
}

TEST(SnapshotFiles, MissingFileIsAnError) {
  EXPECT_THROW(wmi::LoadSnapshotFile("/nonexistent/snapshot.json"), wmi::SnapshotError);
}

TEST(SnapshotFiles, SerializedSnapshotReadsBackTheSame) {
  wmi::Snapshot s = wmi::ParseSnapshot(kSnapshot, "in.json");
  std::string text = wmi::SerializeSnapshot(s);
  wmi::Snapshot again = wmi::ParseSnapshot(text, "out.json");
  ASSERT_EQ(again.namespaces.size(), 2u);
  const auto* disks = again.FindClass("root\\cimv2", "Win32_DiskDrive");
  ASSERT_NE(disks, nullptr);
  ASSERT_EQ(disks->instances.size(), 2u);
  EXPECT_EQ(disks->instances[0].Properties(), s.FindClass("root\\cimv2", "Win32_DiskDrive")->instances[0].Properties());
  ASSERT_NE(again.FindClass("root\\cimv2", "Win32_Fan"), nullptr);
  EXPECT_TRUE(again.FindClass("root\\cimv2", "Win32_Fan")->instances.empty());
}

// A capture's header reads back as written; one without a header (kSnapshot)
// has none and loads as before.
TEST(SnapshotFiles, TheHeaderReadsBackAndIsChecked) {
  wmi::Snapshot s = wmi::ParseSnapshot(kSnapshot, "in.json");
  EXPECT_FALSE(s.header);
  s.header = wmi::CaptureHeader{"2026-01-15T00:30:00Z", "pcinfo-cli 1.0.0", "tree", "4c4c4544-0042"};
  s.namespaces[0].classes[0].types = {{"Size", "uint64"}, {"Capabilities", "uint16[]"}};
  const std::string text = wmi::SerializeSnapshot(s);
  wmi::Snapshot again = wmi::ParseSnapshot(text, "out.json");
  ASSERT_TRUE(again.header);
  EXPECT_EQ(again.header->captured, "2026-01-15T00:30:00Z");
  EXPECT_EQ(again.header->program, "pcinfo-cli 1.0.0");
  EXPECT_EQ(again.header->source, "tree");
  EXPECT_EQ(again.header->machine_id, "4c4c4544-0042");
  const auto* disks = again.FindClass("root\\cimv2", "win32_diskdrive");
  EXPECT_EQ(disks->TypeOf("size"), "uint64");
  EXPECT_EQ(disks->TypeOf("Capabilities"), "uint16[]");
  EXPECT_EQ(disks->TypeOf("Caption"), "");
  EXPECT_EQ(wmi::SerializeSnapshot(again), text);

  auto error = [](const std::string& header) {
    try {
      wmi::ParseSnapshot(R"({"capture": )" + header + R"(, "namespaces": {}})", "h.json");
    } catch (const wmi::SnapshotError& e) {
      return std::string(e.what());
    }
    return std::string("loaded");
  };
  EXPECT_EQ(error(R"({"format": "pcinfo-capture", "version": 1})"), "loaded");
  EXPECT_EQ(error(R"({"format": "other", "version": 1})"),
            "h.json: at capture: not a capture (format is not \"pcinfo-capture\")");
  EXPECT_EQ(error(R"({"format": "pcinfo-capture", "version": 2})"),
            "h.json: at capture: format version 2, this program reads version 1");
  EXPECT_EQ(error(R"({"format": "pcinfo-capture", "version": 1, "types": {"root\\cimv2": {"X": {"P": 3}}}})"),
            "h.json: at capture/types/root\\cimv2/X/P: a type is text");
}

}  // namespace
