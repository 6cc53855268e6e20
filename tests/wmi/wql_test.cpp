#include "wmi/wql.h"

#include <gtest/gtest.h>

#include "wmi/error.h"

namespace {

struct WqlCase {
  const char* text;
  const char* class_name;  // nullptr: the query is invalid
  const char* property = nullptr;
  const char* literal = nullptr;
};

class WqlReading : public ::testing::TestWithParam<WqlCase> {};

TEST_P(WqlReading, ReadsClassAndCondition) {
  const WqlCase& c = GetParam();
  if (!c.class_name) {
    EXPECT_THROW(wmi::ParseWql(c.text), wmi::Error) << c.text;
    return;
  }
  wmi::WqlQuery q = wmi::ParseWql(c.text);
  EXPECT_EQ(q.class_name, c.class_name);
  if (c.property) {
    ASSERT_TRUE(q.where.has_value()) << c.text;
    EXPECT_EQ(q.where->property, c.property);
    EXPECT_EQ(q.where->literal, c.literal);
  } else {
    EXPECT_FALSE(q.where.has_value()) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WqlReading,
    ::testing::Values(
        WqlCase{"Select * from Win32_DiskDrive", "Win32_DiskDrive"},
        WqlCase{"Select * from Win32_LogonSession ", "Win32_LogonSession"},  // trailing blank
        WqlCase{"  SELECT  *  FROM  Win32_BIOS  ", "Win32_BIOS"},
        WqlCase{"select * FrOm cim_processor", "cim_processor"},
        WqlCase{"Select * From Win32_PnPEntity Where DeviceID = 'USB\\\\VID_046D&PID_C52B\\\\5&2A4C1F3&0&2'",
                "Win32_PnPEntity", "DeviceID", "USB\\VID_046D&PID_C52B\\5&2A4C1F3&0&2"},
        WqlCase{"Select * From Win32_PnPEntity Where DeviceID = 'A\\'B'", "Win32_PnPEntity", "DeviceID", "A'B"},
        WqlCase{"Select * From X where Name='a=b'", "X", "Name", "a=b"},
        WqlCase{"Select * From X Where Name = ''", "X", "Name", ""},
        WqlCase{"Select * From X Where Name = \"dq\"", "X", "Name", "dq"}, WqlCase{"", nullptr},
        WqlCase{"Select Name from Win32_BIOS", nullptr}, WqlCase{"Select * from", nullptr},
        WqlCase{"Select * from Win32_BIOS extra", nullptr}, WqlCase{"Select * from X Where Name = 'open", nullptr},
        WqlCase{"Select * from X Where Name = 'a' and Caption = 'b'", nullptr},
        WqlCase{"Select * from X Where Name 'a'", nullptr}, WqlCase{"Delete from X", nullptr}));

TEST(WqlMatching, ComparesTextWithoutRegardToCase) {
  wmi::Instance usb({{"DeviceID", wmi::Value("USB\\VID_046D&PID_C52B\\5&2A4C1F3&0&2")}, {"Index", wmi::Value(3)}});
  EXPECT_TRUE(
      wmi::ParseWql("Select * from X where deviceid = 'usb\\\\vid_046d&pid_c52b\\\\5&2a4c1f3&0&2'").Matches(usb));
  EXPECT_FALSE(wmi::ParseWql("Select * from X where DeviceID = 'USB\\VID_046D'").Matches(usb));
  // Single backslashes in the literal escape the next character, so they vanish.
  EXPECT_FALSE(wmi::ParseWql("Select * from X where DeviceID = 'USB\\VID_046D&PID_C52B\\5&2A4C1F3&0&2'").Matches(usb));
  EXPECT_FALSE(wmi::ParseWql("Select * from X where Missing = 'x'").Matches(usb));
  EXPECT_FALSE(wmi::ParseWql("Select * from X where Index = '3'").Matches(usb));  // not text
  EXPECT_TRUE(wmi::ParseWql("Select * from X").Matches(usb));
}

// Any text written as a literal reads back as itself.
TEST(WqlStringLiteral, ReadsBackAsTheSameText) {
  for (const char* v : {"", "plain", "O'Neil", "'", "\\", "\\'", "a\\\\b", "USB\\VID_1&PID_2\\x'y\"z", "''\\\\''"}) {
    std::string query = "Select * From X Where Name = " + wmi::WqlStringLiteral(v);
    auto q = wmi::ParseWql(query);
    ASSERT_TRUE(q.where) << query;
    EXPECT_EQ(q.where->literal, v) << query;
  }
  EXPECT_EQ(wmi::WqlStringLiteral("A'B\\C"), "'A\\'B\\\\C'");
}

}  // namespace
