#include <gtest/gtest.h>

#include <optional>

#include "wmi/provider.h"

namespace {

struct MonikerCase {
  const char* moniker;
  std::optional<std::string> ns;
};

class Monikers : public ::testing::TestWithParam<MonikerCase> {};

TEST_P(Monikers, NameTheirNamespace) {
  EXPECT_EQ(wmi::NamespaceOfMoniker(GetParam().moniker), GetParam().ns) << GetParam().moniker;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Monikers,
    ::testing::Values(MonikerCase{"winmgmts:\\\\.\\root\\cimv2", "root\\cimv2"},
                      MonikerCase{"WINMGMTS:\\\\.\\ROOT\\CIMV2", "ROOT\\CIMV2"},
                      MonikerCase{"winmgmts:\\\\.\\root\\wmi", "root\\wmi"},
                      MonikerCase{"winmgmts:\\\\.\\root\\", "root\\"},  // empty namespace below root
                      MonikerCase{"Winmgmts:", "root\\cimv2"},          // default namespace
                      MonikerCase{"winmgmts:\\\\.\\root", "root"},
                      MonikerCase{"winmgmts:\\\\remote\\root\\cimv2", std::nullopt},
                      MonikerCase{"winmgmts:\\\\.\\rootx\\cimv2", std::nullopt},
                      MonikerCase{"wmi:\\\\.\\root\\cimv2", std::nullopt}, MonikerCase{"", std::nullopt}));

}  // namespace
