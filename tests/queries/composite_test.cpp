#include "queries/composite.h"

#include <gtest/gtest.h>

#include "queries/buttons.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"

namespace {

using testing_support::Dashes;
using testing_support::Lines;
using testing_support::TestHost;
using Strings = std::vector<std::string>;

Strings RunOn(TestHost& host, const char* control) {
  queries::RunButton(host, *queries::FindButton(control));
  return Lines(host.text());
}

std::string Header(const char* control) { return std::string(queries::FindButton(control)->caption) + Dashes(90); }

TEST(BaseBoardAdapters, ThreeItemsThroughThePropertySetThenTheDirectReads) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {"Win32_BaseBoard": [
    {"Caption": "Base Board", "CreationClassName": "Win32_BaseBoard", "Description": "Base Board",
     "HotSwappable": false, "Manufacturer": "ASUSTeK", "Name": "Base Board", "SerialNumber": null, "Tag": "Base Board",
     "ConfigOptions": ["a", "b"]}]}}})");
  // The base board has no DeviceType or Enabled property, so those lines are absent.
  EXPECT_EQ(RunOn(host, "Command57"),
            (Strings{Header("Command57"), Dashes(31), "Name: Base Board", "Caption: Base Board",
                     "CreationClassName: Win32_BaseBoard", "CreationClassName: Win32_BaseBoard",
                     "Description: Base Board", "HotSwappable: False", "Manufacturer: ASUSTeK", "Name: Base Board",
                     "SerialNumber: ", "Tag: Base Board"}));
  EXPECT_EQ(host.text_pane().scrolls(), 1);
}

TEST(BaseBoardAdapters, FailedQueryLeavesHeaderAndOneSeparator) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {}}})");
  EXPECT_EQ(RunOn(host, "Command57"), (Strings{Header("Command57"), Dashes(31)}));
}

constexpr const char* kUsb = R"({"namespaces": {"root\\cimv2": {
  "Win32_USBControllerDevice": [
    {"Antecedent": "\\\\PC\\root\\cimv2:Win32_USBController.DeviceID=\"PCI\\\\VEN_8086\"",
     "Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_3923&PID_717B\\\\01A2B3C4\""},
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_3923&PID_717C\\\\LOWER\""},
    {"Dependent": "no equals sign here"},
    {"Dependent": null},
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\A=B\""},
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\NODESC\""},
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_3923&PID_717B\\\\01A2B3C4\""}
  ],
  "Win32_PnPEntity": [
    {"Description": "USB-6210", "DeviceID": "USB\\VID_3923&PID_717B\\01A2B3C4", "Name": "NI USB-6210", "Flags": [1, 2]},
    {"Description": "usb-6210", "DeviceID": "USB\\VID_3923&PID_717C\\LOWER", "Name": "Other"},
    {"Description": "A=B device", "DeviceID": "USB\\A=B", "Name": "listed whole"},
    {"Description": null, "DeviceID": "USB\\NODESC", "Name": null}
  ]}}})";

TEST(UsbDevices, ListsEachDeviceReachedThroughItsAssociations) {
  TestHost host(kUsb);
  Strings device_6210 = {"NI USB-6210",
                         "USB-6210,Description",
                         "USB-6210,USB-6210",
                         "USB-6210,DeviceID",
                         "USB-6210,USB\\VID_3923&PID_717B\\01A2B3C4",
                         "USB-6210,Name",
                         "USB-6210,NI USB-6210",
                         "USB-6210,Flags"};
  Strings expected = {Header("Command58")};
  expected.insert(expected.end(), device_6210.begin(), device_6210.end());
  // The lower-case description gets no bare name line.
  for (const char* l : {"usb-6210,Description", "usb-6210,usb-6210", "usb-6210,DeviceID",
                        "usb-6210,USB\\VID_3923&PID_717C\\LOWER", "usb-6210,Name", "usb-6210,Other"})
    expected.push_back(l);
  // An id holding "=" is read whole from the quoted path.
  for (const char* l : {"A=B device,Description", "A=B device,A=B device", "A=B device,DeviceID", "A=B device,USB\\A=B",
                        "A=B device,Name", "A=B device,listed whole"})
    expected.push_back(l);
  // A Null description leaves nothing before the comma; a Null value nothing after it.
  for (const char* l : {",Description", ",", ",DeviceID", ",USB\\NODESC", ",Name", ","}) expected.push_back(l);
  // Reached through a second association, the first device is listed again.
  expected.insert(expected.end(), device_6210.begin(), device_6210.end());
  EXPECT_EQ(RunOn(host, "Command58"), expected);
  EXPECT_EQ(host.text_pane().scrolls(), 5);
}

TEST(UsbDevices, DeviceIdOfTheDependentPath) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_1&PID_2\\\\3\"", "USB\\\\VID_1&PID_2\\\\3"},
      // The value is read by its quoting: "=" and escaped quotation marks inside it belong to it.
      {"a=\"b=c\"", "b=c"},
      {"P:C.DeviceID=\"USB\\\\SER=\\\"X=1\\\"\"", "USB\\\\SER=\\\"X=1\\\""},
      {"P:C.Index=3", "3"},
      {"x=", ""},
      {"x=\"open", std::nullopt},
      {"no equals", std::nullopt},
  };
  for (const auto& [path, id] : cases) EXPECT_EQ(queries::DeviceIdOfDependent(path), id) << path;
}

// Device ids holding quotes and backslashes: the Dependent path escapes them
// as object paths do, and each device is still found and listed.
TEST(UsbDevices, IdsWithQuotesAndBackslashesReachTheirDevice) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {
  "Win32_USBControllerDevice": [
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_1&PID_2\\\\O'NEIL\""},
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\VID_1&PID_3\\\\A\\\\\\\\B\""},
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\'\""},
    {"Dependent": "\\\\PC\\root\\cimv2:Win32_PnPEntity.DeviceID=\"USB\\\\SER=\\\"X=1\\\"\""}
  ],
  "Win32_PnPEntity": [
    {"Description": "quote", "DeviceID": "USB\\VID_1&PID_2\\O'NEIL"},
    {"Description": "double", "DeviceID": "USB\\VID_1&PID_3\\A\\\\B"},
    {"Description": "lone", "DeviceID": "USB\\'"},
    {"Description": "equals", "DeviceID": "USB\\SER=\"X=1\""}
  ]}}})");
  EXPECT_EQ(RunOn(host, "Command58"),
            (Strings{Header("Command58"), "quote,Description", "quote,quote", "quote,DeviceID",
                     "quote,USB\\VID_1&PID_2\\O'NEIL", "double,Description", "double,double", "double,DeviceID",
                     "double,USB\\VID_1&PID_3\\A\\\\B", "lone,Description", "lone,lone", "lone,DeviceID", "lone,USB\\'",
                     "equals,Description", "equals,equals", "equals,DeviceID", "equals,USB\\SER=\"X=1\""}));
}

TEST(UsbDevices, DeviceQueryEscapesTheLiteral) {
  const std::pair<const char*, const char*> cases[] = {
      {"USB\\\\VID_1&PID_2\\\\3", "'USB\\\\VID_1&PID_2\\\\3'"},  // the query text of ids without quotes is unchanged
      {"USB\\\\O'NEIL", "'USB\\\\O\\'NEIL'"},
      {"A\\\\\\\\B", "'A\\\\\\\\B'"},
      {"", "''"},
  };
  for (const auto& [id, literal] : cases)
    EXPECT_EQ(queries::DeviceQueryOf(id), std::string("Select * From Win32_PnPEntity Where DeviceID = ") + literal);
}

TEST(UsbDevices, FailedQueryLeavesTheHeaderAlone) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {}}})");
  EXPECT_EQ(RunOn(host, "Command58"), (Strings{Header("Command58")}));
}

TEST(OperatingSystem, LastInstanceWithoutNullAndArrayProperties) {
  TestHost host(R"({"namespaces": {"root\\cimv2": {"Win32_OperatingSystem": [
      {"Caption": "first", "BuildNumber": "1"},
      {"BootDevice": "\\Device\\HarddiskVolume1", "BuildNumber": "19045", "Caption": "Microsoft Windows 10 Pro",
       "Debug": false, "Description": null, "MUILanguages": ["ja-JP"], "NumberOfProcesses": 123,
       "FreePhysicalMemory": "8123456"}]}}})",
                1);
  host.pane().AppendMessage("cleared");
  EXPECT_EQ(RunOn(host, "Command60"),
            (Strings{Header("Command60"), "BootDevice = \\Device\\HarddiskVolume1", "BuildNumber = 19045",
                     "Caption = Microsoft Windows 10 Pro", "Debug = False", "NumberOfProcesses = 123",
                     "FreePhysicalMemory = 8123456"}));
  EXPECT_EQ(host.text_pane().scrolls(), 0);
}

TEST(OperatingSystem, NoInstanceOrFailureLeavesTheHeaderAlone) {
  for (const char* snap : {R"({"namespaces": {"root\\cimv2": {"Win32_OperatingSystem": []}}})",
                           R"({"namespaces": {"root\\cimv2": {}}})", R"({"namespaces": {}})"}) {
    TestHost host(snap);
    EXPECT_EQ(RunOn(host, "Command60"), (Strings{Header("Command60")})) << snap;
  }
}

TEST(Composite, BatteryButtonIsNotRunHere) {
  TestHost host(R"({"namespaces": {}})");
  queries::RunButton(host, *queries::FindButton("Command63"));
  EXPECT_EQ(host.text(), "");
}

}  // namespace
