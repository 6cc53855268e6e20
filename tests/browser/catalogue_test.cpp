#include "browser/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using browser::ClassCatalogue;

// The list order: case ignored, the underscore before every digit and letter.
int Rank(char c) {
  if (c == '_') return -1;
  return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

bool Before(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (Rank(a[i]) != Rank(b[i])) return Rank(a[i]) < Rank(b[i]);
  return a.size() < b.size();
}

class RecordingList : public browser::ClassListBox {
 public:
  void AddItem(std::string_view name) override { items.emplace_back(name); }
  std::vector<std::string> items;
};

TEST(Catalogue, HoldsTheNamesOnceEachInListOrder) {
  auto names = ClassCatalogue();
  ASSERT_EQ(names.size(), 1211u);
  std::set<std::string_view> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());
  for (std::size_t i = 1; i < names.size(); ++i)
    EXPECT_TRUE(Before(names[i - 1], names[i])) << i << ": " << names[i - 1] << " / " << names[i];
}

struct Position {
  std::size_t entry;  // counted from 1, as the list shows it
  std::string_view name;
};

void PrintTo(const Position& p, std::ostream* os) { *os << "entry " << p.entry << ": " << p.name; }

class CatalogueEntry : public testing::TestWithParam<Position> {};

TEST_P(CatalogueEntry, StandsAtItsPlace) { EXPECT_EQ(ClassCatalogue()[GetParam().entry - 1], GetParam().name); }

INSTANTIATE_TEST_SUITE_P(Landmarks, CatalogueEntry,
                         testing::Values(Position{1, "__AbsoluteTimerInstruction"}, Position{2, "__ACE"},
                                         Position{54, "CIM_Action"}, Position{340, "MSFT_ExtendedStatus"},
                                         Position{442, "NTEventlogProviderConfig"}, Position{451, "StdRegProv"},
                                         Position{452, "Win32_1394Controller"}, Position{466, "Win32_Battery"},
                                         Position{848, "Win32_PerfRawData"}, Position{1037, "Win32_PhysicalMedia"},
                                         Position{1211, "Win32_WMISetting"}));

struct Pair {
  std::string_view first, second;
};

void PrintTo(const Pair& p, std::ostream* os) { *os << p.first << " before " << p.second; }

class CatalogueOrder : public testing::TestWithParam<Pair> {};

TEST_P(CatalogueOrder, FirstStandsBeforeSecond) {
  auto names = ClassCatalogue();
  auto a = std::find(names.begin(), names.end(), GetParam().first);
  auto b = std::find(names.begin(), names.end(), GetParam().second);
  ASSERT_NE(a, names.end());
  ASSERT_NE(b, names.end());
  EXPECT_LT(a, b);
}

INSTANTIATE_TEST_SUITE_P(Rules, CatalogueOrder,
                         testing::Values(Pair{"Win32_PerfFormattedData_ASPNET_ASPNETApplications",
                                              "Win32_PerfFormattedData_ASPNET2050727_ASPNETAppsv2050727"},
                                         Pair{"__AbsoluteTimerInstruction", "__ACE"},
                                         Pair{"MSFT_WMI_GenericNonCOMEvent", "MSFT_WmiCancelNotificationSink"}));

TEST(LoadClassList, AppendsEveryNameAfterWhatTheListHolds) {
  RecordingList list;
  list.items.push_back("already there");
  browser::LoadClassList(list);
  ASSERT_EQ(list.items.size(), 1212u);
  EXPECT_EQ(list.items[0], "already there");
  for (std::size_t i = 0; i < ClassCatalogue().size(); ++i) ASSERT_EQ(list.items[i + 1], ClassCatalogue()[i]) << i;
}

}  // namespace
