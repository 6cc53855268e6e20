// The SMBIOS walk on a table of a million tiny structures: it stops where the
// handles run out, and the structures view the table's one copy of its bytes.
#include "wmi/linux/smbios.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(SmbiosTable, AMillionTinyStructuresStopWhereTheHandlesRunOut) {
  constexpr std::uint32_t kCount = 1000000;
  std::vector<std::uint8_t> table;
  table.reserve(kCount * 6);
  for (std::uint32_t i = 0; i < kCount; ++i)  // type 17, length 4, a handle, no strings
    table.insert(table.end(), {17, 4, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0, 0});
  std::vector<std::uint8_t> entry(0x18, 0);
  const char anchor[] = "_SM3_";
  std::copy(anchor, anchor + 5, entry.begin());
  entry[7] = 3;
  entry[8] = 2;
  for (int b = 0; b < 4; ++b) entry[0x0C + b] = static_cast<std::uint8_t>(table.size() >> (8 * b));

  wmi::lx::SmbiosTable t = wmi::lx::ParseSmbios(entry, table);
  ASSERT_EQ(t.structures.size(), wmi::lx::SmbiosTable::kMaxStructures);
  ASSERT_TRUE(t.bytes);
  const std::uint8_t* begin = t.bytes->data();
  const std::uint8_t* end = begin + t.bytes->size();
  const wmi::lx::SmbiosStructure& last = t.structures.back();
  EXPECT_EQ(last.handle, wmi::lx::SmbiosTable::kMaxStructures - 1);
  EXPECT_EQ(last.Word(2), last.handle);
  EXPECT_TRUE(last.data.data() >= begin && last.data.data() + last.data.size() <= end);
  EXPECT_TRUE(last.strings.empty());
  // A copy of the table shares the bytes its structures view.
  wmi::lx::SmbiosTable copy = t;
  EXPECT_EQ(copy.structures.back().data.data(), last.data.data());
}

}  // namespace
