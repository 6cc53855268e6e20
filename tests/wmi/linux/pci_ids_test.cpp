// Names read through libpci from a pci.ids file: a file libpci cannot parse
// gives no names and leaves the program running.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "wmi/linux/system.h"

namespace {

TEST(PciIds, AFileLibpciCannotParseGivesNoNames) {
  auto dir = std::filesystem::temp_directory_path() / ("pcinfo-pci-ids-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  struct Case {
    const char* name;
    const char* text;
    std::optional<std::string> vendor, device;
  } cases[] = {
      {"good.ids", "8086  Intel Corporation\n\t1237  440FX - 82441FX PMC [Natoma]\n", "Intel Corporation",
       "440FX - 82441FX PMC [Natoma]"},
      {"bad-hex.ids", "8086  Intel Corporation\nzzzz  Broken\n", std::nullopt, std::nullopt},
      {"bad-order.ids", "\t1237  a device before its vendor\n", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    auto path = dir / c.name;
    std::ofstream(path) << c.text;
    wmi::lx::IdNames n = wmi::lx::PciNamesFromIdsFile(path.string(), 0x8086, 0x1237);
    EXPECT_EQ(n.vendor, c.vendor) << c.name;
    EXPECT_EQ(n.device, c.device) << c.name;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
