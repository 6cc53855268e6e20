#include "browser/code_page.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "browser/dump_file.h"
#include "fake_window.h"

namespace {

struct Conversion {
  std::string codeset;
  std::string utf8;
  std::string bytes;
};

void PrintTo(const Conversion& c, std::ostream* os) { *os << c.codeset << ": " << c.utf8; }

class ToCodeset : public testing::TestWithParam<Conversion> {};

TEST_P(ToCodeset, GivesTheCodePagesBytes) {
  EXPECT_EQ(browser::ToCodeset(GetParam().utf8, GetParam().codeset), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(CodePages, ToCodeset,
                         testing::Values(Conversion{"CP932", "Caption:日本", "Caption:\x93\xfa\x96\x7b"},
                                         Conversion{"CP932", "～ー①", "\x81\x60\x81\x5b\x87\x40"},
                                         Conversion{"EUC-JP", "日本", "\xc6\xfc\xcb\xdc"},
                                         Conversion{"ISO-8859-1", "Caf\xc3\xa9", "Caf\xe9"},
                                         Conversion{"UTF-8", "内部", "内部"},
                                         // What the code page cannot hold becomes one "?" per character.
                                         Conversion{"CP932",
                                                    "a\xf0\x9f\x98\x80"
                                                    "b",
                                                    "a?b"},
                                         Conversion{"ANSI_X3.4-1968", "Caption:内部バッテリー", "Caption:???????"},
                                         Conversion{"ISO-8859-1", "x日y", "x?y"},
                                         // No look-alikes: a character that converts only to another one (¥ to
                                         // \, 〜 to ～, − to －, ® to R) is missing from the code page.
                                         Conversion{"CP932", "®é¥〜", "????"},
                                         Conversion{"CP932",
                                                    "1−"
                                                    "2¢",
                                                    "1?2?"},
                                         Conversion{"CP1252", "®é¥〜", "\xae\xe9\xa5?"},
                                         Conversion{"ASCII", "®é", "??"},
                                         // Not characters: overlong forms and surrogates.
                                         Conversion{"CP932",
                                                    "a\xc0\xaf"
                                                    "b\xed\xa0\x80"
                                                    "c",
                                                    "a??b?c"},
                                         // Bytes that are not UTF-8: one "?" each.
                                         Conversion{"CP932",
                                                    "a\xff\xfe"
                                                    "b",
                                                    "a??b"},
                                         Conversion{"CP932", "end\xe6\x97", "end?"},
                                         // A character set iconv does not know: ASCII survives.
                                         Conversion{"NO-SUCH-CODESET", "ab日c", "ab?c"}, Conversion{"CP932", "", ""}));

TEST(ToCodeset, LongTextIsConvertedWhole) {
  std::string utf8, expected;
  for (int i = 0; i < 1000; ++i) {
    utf8 += "日x\xf0\x9f\x98\x80";
    expected += "\x93\xfax?";
  }
  EXPECT_EQ(browser::ToCodeset(utf8, "CP932"), expected);
}

TEST(QuotedLine, EnclosesTheTextInQuotesAndEndsWithCrLf) {
  EXPECT_EQ(browser::QuotedLine("Name:Bat \"A\""), "\"Name:Bat \"A\"\"\r\n");
  EXPECT_EQ(browser::QuotedLine(""), "\"\"\r\n");
}

TEST(DumpFile, ReplacesTheFileAndWritesEncodedQuotedLines) {
  browser_test::TempFolder dir;
  auto path = dir.path() / "Win32_Battery.txt";
  {
    std::ofstream old(path, std::ios::binary);
    old << "older and much longer content that must disappear";
  }
  browser::DumpFile file([](std::string_view s) { return browser::ToCodeset(s, "CP932"); });
  ASSERT_TRUE(file.Open(path));
  file.WriteLine("Caption:日本");
  file.WriteLine("Status:Null");
  file.Close();
  EXPECT_EQ(browser_test::ReadBytes(path), "\"Caption:\x93\xfa\x96\x7b\"\r\n\"Status:Null\"\r\n");
}

TEST(DumpFile, InAMissingFolderOpensNothingAndSkipsTheWrites) {
  browser_test::TempFolder dir;
  auto path = dir.path() / "missing" / "CIM_Action.txt";
  browser::DumpFile file;
  EXPECT_FALSE(file.Open(path));
  file.WriteLine("ActionID:a1");
  file.Close();
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

}  // namespace
