#include "queries/bios.h"

#include <gtest/gtest.h>

#include "queries/buttons.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"
#include "wmi/error.h"

namespace {

TEST(BiosCharacteristics, DescriptionsByCode) {
  const std::pair<std::int32_t, std::string> cases[] = {
      {0, "予約済み "},
      {1, "予約済み "},
      {2, "不明 "},
      {4, "ISA がサポートされています "},
      {7, "PCI がサポートされています "},
      {8, "PC カード (PCMCIA) がサポートされています"},
      {9, "プラグ アンド プレイがサポートされています "},
      {21,
       "Int 13h - Toshiba 1.2mb 用の日本語フロッピー (3.5\\\", 360 RPM) がサポートされています 。"
       "Int 13h - Toshiba 1.2mb 用の日本語フロッピー (3.5、360 RPM) がサポートされています"},
      {22,
       "Int 13h - 5.25\\\" / 360 KB フロッピー サービスがサポートされています。"
       "Int 13h - 5.25 / 360 KB フロッピー サービスがサポートされています"},
      {26, "Int 5h、印刷画面サービスがサポートされています。"},
      {31, "NEC PC-98 "},
      {32, "ACPI がサポートされています 。ACPI はサポートされています"},
      {39, "スマート バッテリーのサポート "},
      {40, ""},
      {63, ""},
      {-1, ""},
      {INT32_MIN, ""},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(queries::GetBiosCharacteristics(code), text) << code;
}

TEST(BiosCharacteristics, EndingsAndTheBackslashQuotePairs) {
  for (std::int32_t code = 0; code < 40; ++code) {
    std::string d = queries::GetBiosCharacteristics(code);
    ASSERT_FALSE(d.empty()) << code;
    bool without_blank = code == 8 || (code >= 20 && code <= 26) || code == 32;
    EXPECT_EQ(d.back() != ' ', without_blank) << code;
    // Codes 20 to 25 hold a backslash and a quotation mark in their first half only.
    std::size_t pair = d.find("\\\"");
    if (code >= 20 && code <= 25) {
      ASSERT_NE(pair, std::string::npos) << code;
      EXPECT_LT(pair, d.find("。")) << code;
      EXPECT_EQ(d.find("\\\"", pair + 2), std::string::npos) << code;
    } else {
      EXPECT_EQ(pair, std::string::npos) << code;
    }
  }
}

TEST(BiosCharacteristics, CodesAsIntegers) {
  EXPECT_EQ(queries::ToInt32(wmi::Value(7)), 7);
  EXPECT_EQ(queries::ToInt32(wmi::Value("12")), 12);
  EXPECT_EQ(queries::ToInt32(wmi::Value(2.5)), 2);
  EXPECT_THROW(queries::ToInt32(wmi::Value()), wmi::Error);
  EXPECT_THROW(queries::ToInt32(wmi::Value("x7")), wmi::Error);
  EXPECT_THROW(queries::ToInt32(wmi::Value(std::int64_t{1} << 40)), wmi::Error);
}

TEST(BiosButton, OneLinePerCodeBeforeBuildNumber) {
  testing_support::TestHost host(R"({"namespaces": {"root\\cimv2": {"Win32_BIOS": [
      {"BiosCharacteristics": [4, 7, 9, 40, null, "x"], "BuildNumber": null, "Caption": "BIOS"},
      {"BiosCharacteristics": null, "BuildNumber": "1", "Caption": "B2"},
      {"BiosCharacteristics": [], "BuildNumber": "2"}]}}})");
  queries::RunButton(host, *queries::FindButton("Command3"));
  using testing_support::Dashes;
  EXPECT_EQ(
      testing_support::Lines(host.text()),
      (std::vector<std::string>{"BIOS" + Dashes(90), Dashes(31), "BiosCharacteristics: 4 : ISA がサポートされています ",
                                "BiosCharacteristics: 7 : PCI がサポートされています ",
                                "BiosCharacteristics: 9 : プラグ アンド プレイがサポートされています ",
                                "BiosCharacteristics: 40 : ", "BuildNumber: ", "Caption: BIOS", Dashes(31),
                                "BuildNumber: 1", "Caption: B2", Dashes(31), "BuildNumber: 2"}));
}

}  // namespace
