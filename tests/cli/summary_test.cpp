#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>

#include "tests/support/cli_runner.h"
#include "tests/support/golden.h"

namespace {

using testing_support::CliResult;
using testing_support::RunCli;

const std::string kData = PCINFO_TEST_DATA;

// Sets LC_ALL for the life of the guard.
class Locale {
 public:
  explicit Locale(const char* value) {
    if (const char* old = std::getenv("LC_ALL")) old_ = old;
    setenv("LC_ALL", value, 1);
  }
  ~Locale() {
    if (old_)
      setenv("LC_ALL", old_->c_str(), 1);
    else
      unsetenv("LC_ALL");
  }

 private:
  std::optional<std::string> old_;
};

// The laptop tree holds a real ThinkPad's firmware table and battery: its
// summary through --tree, as reviewed.
TEST(SummaryGolden, ACorpusTreeThroughTheTreeOption) {
  Locale english("C");
  CliResult r = RunCli({"--tree", kData + "/linux/laptop", "summary"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  testing_support::ExpectMatchesGolden("queries/summary/laptop-tree.en.txt", r.out);
}

// The words agree with dmidecode's own decode of the same firmware table.
TEST(Summary, TheTreesWordsAgreeWithDmidecode) {
  std::ifstream in(kData + "/smbios/uroot-Lenovo-ThinkPad-W510/dmidecode.txt");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(text.empty());
  // The value after "\tKEY: " in the first record of the given type.
  auto decoded = [&](const std::string& record, const std::string& key) {
    std::size_t at = text.find(record);
    at = text.find("\t" + key + ": ", at);
    at += key.size() + 3;
    return text.substr(at, text.find('\n', at) - at);
  };
  CliResult r = RunCli({"--tree", kData + "/linux/laptop", "summary", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json["chassis"]["text"], decoded("Chassis Information", "Type"));
  EXPECT_EQ(json["memory_module"][0]["type"]["text"], decoded("Memory Device", "Type"));
  EXPECT_EQ(json["bios"]["version"]["text"], decoded("BIOS Information", "Version"));
}

// With no command the tool shows the summary; its words follow the locale.
TEST(Summary, IsTheDefaultCommandAndSpeaksTheLocalesLanguage) {
  const std::string capture = kData + "/desktop.json";
  Locale japanese("ja_JP.UTF-8");
  CliResult plain = RunCli({"--from", capture});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, RunCli({"--from", capture, "summary"}).out);
  EXPECT_TRUE(plain.out.starts_with("概要" + std::string(90, '-') + "\r\nコンピューター名: DESKTOP-01\r\n"))
      << plain.out;
}

// --json: the same fields, each with its text and the raw value it came from.
TEST(Summary, JsonGivesTheRawValuesBesideTheWords) {
  CliResult r = RunCli({"--from", kData + "/desktop.json", "summary", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json["installed_memory"], (nlohmann::json{{"text", "16.0 GB"}, {"raw", 17179869184}}));
  EXPECT_EQ(json["processor"][0]["clock"], (nlohmann::json{{"text", "3.00 GHz"}, {"raw", 3000}}));
  EXPECT_EQ(json["memory_module"][1]["type"], (nlohmann::json{{"text", "DDR4"}, {"raw", 26}}));
  EXPECT_EQ(json["volume"][0]["free_percent"]["raw"], 58);
  EXPECT_EQ(json["computer_name"], (nlohmann::json{{"text", "DESKTOP-01"}}));
}

}  // namespace
