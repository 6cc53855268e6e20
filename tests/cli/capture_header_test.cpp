#include "cli/capture_header.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/cli_runner.h"
#include "wmi/recorded/capture.h"

namespace {

TEST(CaptureHeader, CimDateTimesAreReadAsUtc) {
  EXPECT_EQ(cli::CimDateTimeUtc("20240131235959.000000+540"), "2024-01-31T14:59:59Z");
  EXPECT_EQ(cli::CimDateTimeUtc("20240101003000.000000-060"), "2024-01-01T01:30:00Z");
  EXPECT_EQ(cli::CimDateTimeUtc("20240301003000.000000+120"), "2024-02-29T22:30:00Z");
  EXPECT_EQ(cli::CimDateTimeUtc("00000001000000.000000:000"), "");  // an interval
  EXPECT_EQ(cli::CimDateTimeUtc("2024013123595"), "");
  EXPECT_EQ(cli::CimDateTimeUtc("20241331000000.000000+000"), "");
}

TEST(CaptureHeader, OnlyARealFirmwareUuidIdentifies) {
  EXPECT_EQ(cli::RealUuid(" 4C4C4544-0042-3510-8052-B4C04F4D3332 "), "4c4c4544-0042-3510-8052-b4c04f4d3332");
  EXPECT_EQ(cli::RealUuid("00000000-0000-0000-0000-000000000000"), "");
  EXPECT_EQ(cli::RealUuid("FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"), "");
  EXPECT_EQ(cli::RealUuid("03000200-0400-0500-0006-000700080009"), "");
  EXPECT_EQ(cli::RealUuid("Not Settable"), "");
}

// The types a provider reports with the properties (the Windows backend's
// CIMTYPE) go into the header ahead of the schema and of what the values show.
TEST(CaptureHeader, TheTypesTheProviderReportsComeFirst) {
  auto source = std::make_shared<wmi::Snapshot>();
  source->namespaces.push_back(wmi::RecordedNamespace{
      "root\\cimv2",
      {wmi::RecordedClass{
          "Win32_DiskDrive",
          {wmi::Instance({{"Capabilities", wmi::Value::Null(), "uint16[]"},
                          {"Signature", wmi::Value::Null(), "uint32"},
                          {"Size", wmi::Value("500107862016"), "uint64"},
                          {"Index", wmi::Value(0)}}),
           wmi::Instance({{"capabilities", wmi::Value(std::vector<wmi::Value>{3, 4}), "uint16[]"}})}}}});
  wmi::RecordedProvider provider(source);
  wmi::Snapshot s = wmi::CaptureSnapshot(provider, "root\\cimv2", {"Win32_DiskDrive"});
  cli::FillTypes(s);
  const wmi::RecordedClass& disks = s.namespaces[0].classes[0];
  EXPECT_EQ(disks.TypeOf("Capabilities"), "uint16[]");  // the schema has uint32[]
  EXPECT_EQ(disks.TypeOf("Signature"), "uint32");       // Null: the values tell nothing
  EXPECT_EQ(disks.TypeOf("Size"), "uint64");            // text, as uint64 arrives
  EXPECT_NE(disks.TypeOf("Index"), "");                 // the schema's or the value's
  int capabilities = 0;
  for (const auto& [name, type] : disks.types) capabilities += wmi::EqualsIgnoreCase(name, "Capabilities");
  EXPECT_EQ(capabilities, 1);
}

// A tree's capture tells the tree's machine: its firmware UUID when real,
// else its /etc/machine-id.
TEST(CaptureHeader, ATreeCaptureCarriesTheTreesMachine) {
  const auto tree = std::filesystem::temp_directory_path() / ("pcinfo-id-tree-" + std::to_string(::getpid()));
  std::filesystem::create_directories(tree / "etc");
  std::filesystem::create_directories(tree / "sys/class/dmi/id");
  std::ofstream(tree / "etc/machine-id") << "0123456789ABCDEF0123456789abcdef\n";
  std::ofstream(tree / "sys/class/dmi/id/product_uuid") << "03000200-0400-0500-0006-000700080009\n";
  auto capture = [&] {
    testing_support::CliResult r = testing_support::RunCli({"--tree", tree.string(), "snapshot", "Win32_BIOS"});
    EXPECT_EQ(r.status, 0) << r.err;
    return wmi::ParseSnapshot(r.out, "tree.json");
  };
  wmi::Snapshot s = capture();
  ASSERT_TRUE(s.header);
  EXPECT_EQ(s.header->machine_id, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(s.header->source, "tree");
  EXPECT_TRUE(s.header->captured.ends_with("Z")) << s.header->captured;
  EXPECT_EQ(s.FindClass("root\\cimv2", "Win32_BIOS")->TypeOf("ReleaseDate"), "datetime");
  std::ofstream(tree / "sys/class/dmi/id/product_uuid") << "4C4C4544-0042-3510-8052-B4C04F4D3332\n";
  EXPECT_EQ(capture().header->machine_id, "4c4c4544-0042-3510-8052-b4c04f4d3332");
  std::filesystem::remove_all(tree);
}

}  // namespace
