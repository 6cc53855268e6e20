// The EDID decoder against edid-decode's own reading of every monitor in
// tests/data/edid (an independent reference), and on truncated, empty and
// corrupted input.
#include "wmi/linux/edid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using wmi::lx::DecodeEdid;
using wmi::lx::Edid;

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// What edid-decode printed for the base block.
struct Reference {
  std::string manufacturer;
  unsigned model = 0;
  int week = 0, year = 0;
  int width_cm = 0, height_cm = 0;
  std::string name;
  std::vector<std::string> texts;
  int extensions = 0;
  int dtd_width = 0, dtd_height = 0;
  double dtd_hz = 0;
  bool checksum_ok = true;
};

Reference Read(const std::string& text) {
  Reference r;
  std::smatch m;
  auto find = [&](const char* re) { return std::regex_search(text, m, std::regex(re)); };
  if (find(R"(Manufacturer: (\w{3}))")) r.manufacturer = m[1];
  if (find(R"(\n    Model: (\d+))")) r.model = static_cast<unsigned>(std::stoul(m[1]));
  if (find(R"(Made in: week (\d+) of (\d+))")) {
    r.week = std::stoi(m[1]);
    r.year = std::stoi(m[2]);
  } else if (find(R"((?:Made in|Model year): (\d{4}))")) {
    r.year = std::stoi(m[1]);
  }
  if (find(R"(Maximum image size: (\d+) cm x (\d+) cm)")) {
    r.width_cm = std::stoi(m[1]);
    r.height_cm = std::stoi(m[2]);
  }
  if (find(R"(Display Product Name: '([^']*)')")) r.name = Trimmed(m[1]);
  // Only the base block's descriptors: stop at the first extension block.
  std::string base = text.substr(0, text.find("Block 1,"));
  std::regex fe(R"(Alphanumeric Data String: '([^']*)')");
  for (auto it = std::sregex_iterator(base.begin(), base.end(), fe); it != std::sregex_iterator(); ++it)
    r.texts.push_back(Trimmed((*it)[1]));
  if (find(R"(Extension blocks: (\d+))")) r.extensions = std::stoi(m[1]);
  if (find(R"(DTD 1: +(\d+)x(\d+)i? +([\d.]+) Hz)")) {
    r.dtd_width = std::stoi(m[1]);
    r.dtd_height = std::stoi(m[2]);
    r.dtd_hz = std::stod(m[3]);
  }
  std::string block0 = base.substr(0, base.find("Checksum:") + 40);
  r.checksum_ok = block0.find("should be") == std::string::npos;
  return r;
}

std::vector<std::filesystem::path> CorpusEdids() {
  std::vector<std::filesystem::path> out;
  for (const auto& e : std::filesystem::directory_iterator(std::string(PCINFO_TEST_DATA) + "/edid"))
    if (e.path().extension() == ".bin") out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(Edid, EveryCorpusMonitorDecodesAsEdidDecodeReadsIt) {
  auto files = CorpusEdids();
  ASSERT_EQ(files.size(), 15u);
  for (const auto& bin : files) {
    SCOPED_TRACE(bin.filename().string());
    std::string bytes = Slurp(bin);
    Reference r = Read(Slurp(std::filesystem::path(bin).replace_extension(".txt")));
    auto e = DecodeEdid(bytes);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->size, bytes.size());
    EXPECT_EQ(e->manufacturer.value_or(""), r.manufacturer);
    EXPECT_EQ(e->product_code.value_or(99999), r.model);
    EXPECT_EQ(e->week.value_or(0), r.week);
    EXPECT_EQ(e->year.value_or(0), r.year);
    EXPECT_EQ(e->width_cm.value_or(0), r.width_cm);
    EXPECT_EQ(e->height_cm.value_or(0), r.height_cm);
    EXPECT_EQ(e->name.value_or(""), r.name);
    EXPECT_EQ(e->texts, r.texts);
    EXPECT_EQ(e->extensions.value_or(-1), r.extensions);
    EXPECT_EQ(e->checksum_ok, r.checksum_ok);
    ASSERT_TRUE(e->preferred.has_value());
    EXPECT_EQ(e->preferred->width, r.dtd_width);
    EXPECT_EQ(e->preferred->height, r.dtd_height);
    EXPECT_NEAR(e->preferred->refresh, r.dtd_hz, 0.001);
    // The file name holds the PnP ID and the product code the device id is made of.
    std::string stem = bin.stem().string();
    auto id = e->PnpId();
    ASSERT_TRUE(id.has_value());
    char code[8];
    std::snprintf(code, sizeof code, "%04X", r.model);
    EXPECT_EQ(*id, r.manufacturer + code);
    // The model users see: the product name, else a laptop panel's last text.
    EXPECT_EQ(e->ModelName().value_or(""), !r.name.empty() ? r.name : r.texts.empty() ? "" : r.texts.back());
  }
}

TEST(Edid, DellMonitorByteByByte) {
  auto e = DecodeEdid(Slurp(std::string(PCINFO_TEST_DATA) + "/edid/Digital_Dell_DEL40A6_D301AE358F74.bin"));
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->PnpId().value_or(""), "DEL40A6");  // bytes 8-11: 10 ac a6 40
  EXPECT_EQ(e->name.value_or(""), "DELL P2714T");
  EXPECT_EQ(e->serial_text.value_or(""), "3K25738A328S");
  EXPECT_EQ(e->version.value_or(0), 1);
  EXPECT_EQ(e->revision.value_or(0), 3);
  EXPECT_TRUE(e->digital.value_or(false));
  EXPECT_EQ(e->min_vertical_hz.value_or(0), 56);  // range limits: 56-76 Hz, 170 MHz
  EXPECT_EQ(e->max_vertical_hz.value_or(0), 76);
  EXPECT_EQ(e->max_pixel_clock_mhz.value_or(0), 170);
  EXPECT_EQ(e->preferred->width_mm, 598);
  EXPECT_EQ(e->preferred->height_mm, 336);
}

// Odd input gives what can be read, never a read past the end.
TEST(Edid, TruncatedEmptyAndCorruptInput) {
  std::string full = Slurp(std::string(PCINFO_TEST_DATA) + "/edid/Digital_Dell_DEL40A6_D301AE358F74.bin");
  ASSERT_EQ(full.size(), 256u);
  struct Case {
    const char* what;
    std::string bytes;
    bool decodes;
    bool has_name;
    bool checksum_ok;
  };
  std::string bad_sum = full.substr(0, 128);
  bad_sum[127] = static_cast<char>(bad_sum[127] + 1);
  std::string not_edid = full;
  not_edid[3] = 0;
  const Case cases[] = {
      {"empty", "", false, false, false},
      {"header only", full.substr(0, 8), true, false, false},
      {"seven bytes", full.substr(0, 7), false, false, false},
      {"cut inside the name descriptor", full.substr(0, 100), true, false, false},
      {"base block alone", full.substr(0, 128), true, true, true},
      {"129 bytes", full.substr(0, 129), true, true, true},
      {"bad checksum", bad_sum, true, true, false},
      {"broken header", not_edid, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A copy on the heap of exactly this size, so that a sanitizer sees any read past it.
    std::unique_ptr<char[]> heap(new char[c.bytes.size() + 1]);
    std::copy(c.bytes.begin(), c.bytes.end(), heap.get());
    auto e = DecodeEdid(std::string_view(heap.get(), c.bytes.size()));
    ASSERT_EQ(e.has_value(), c.decodes);
    if (!e) continue;
    EXPECT_EQ(e->name.has_value(), c.has_name);
    EXPECT_EQ(e->checksum_ok, c.checksum_ok);
  }
  auto header = DecodeEdid(full.substr(0, 8));
  EXPECT_FALSE(header->manufacturer.has_value());
  EXPECT_FALSE(header->preferred.has_value());
  EXPECT_FALSE(header->extensions.has_value());
  auto cut = DecodeEdid(full.substr(0, 100));  // the first descriptor (the DTD at 54-71) is whole
  EXPECT_EQ(cut->PnpId().value_or(""), "DEL40A6");
  ASSERT_TRUE(cut->preferred.has_value());
  EXPECT_EQ(cut->preferred->width, 1920);
  EXPECT_FALSE(cut->extensions.has_value());
}

// Text with control characters and no line feed keeps its printable part only.
TEST(Edid, DescriptorTextKeepsPrintableAscii) {
  std::string b(128, '\0');
  const unsigned char header[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
  std::copy(header, header + 8, b.begin());
  b[54 + 3] = static_cast<char>(0xFC);
  std::string text =
      "AB\x01\x7F\xC3"
      "CD          ";
  std::copy(text.begin(), text.begin() + 13, b.begin() + 54 + 5);
  b[72 + 3] = static_cast<char>(0xFE);
  std::fill(b.begin() + 72 + 5, b.begin() + 72 + 18, ' ');  // blanks only: no text
  auto e = DecodeEdid(b);
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->name.value_or(""), "ABCD");
  EXPECT_TRUE(e->texts.empty());
  EXPECT_FALSE(e->manufacturer.has_value());  // 0x0000 is no letter triple
  EXPECT_FALSE(e->preferred.has_value());     // no detailed timing in the first descriptor
}

}  // namespace
