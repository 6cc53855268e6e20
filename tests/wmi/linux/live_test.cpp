// The live backend on this machine: the real system calls answer, and every
// class the backend knows is answered without failing.
#include "wmi/live.h"

#include <gtest/gtest.h>

#include "wmi/linux/linux_provider.h"
#include "wmi/linux/system.h"

namespace {

TEST(Live, RealSystemCalls) {
  auto sys = wmi::lx::MakeRealSystem();
  auto u = sys->Uname();
  ASSERT_TRUE(u.has_value());
  EXPECT_EQ(u->sysname, "Linux");
  bool loopback = false;
  for (const auto& a : sys->InterfaceAddresses())
    if (a.address == "127.0.0.1") loopback = a.prefix == 8;
  EXPECT_TRUE(loopback);
  auto root = sys->FileSystem("/");
  ASSERT_TRUE(root.has_value());
  EXPECT_GT(root->size, 0u);
  EXPECT_LE(root->available, root->size);
  EXPECT_FALSE(sys->FileSystem("/no/such/mount").has_value());
  EXPECT_GT(sys->Now().value_or(0), 1600000000);
  // The system's PCI ID database (package pci.ids) names Intel.
  EXPECT_EQ(sys->PciNames(0x8086, 0xFFFF).vendor, std::optional<std::string>("Intel Corporation"));
  EXPECT_FALSE(sys->PciNames(0x0BAD, 0x0001).vendor.has_value());
}

TEST(Live, EveryKnownClassAnswers) {
  auto provider = wmi::MakeLiveProvider();
  auto c = provider->Connect("winmgmts:\\\\.\\root\\cimv2");
  for (const std::string& cls : wmi::lx::KnownClassNames()) {
    EXPECT_NO_THROW({
      auto rs = c->ExecQuery("Select * from " + cls);
      while (rs->Next()) {
      }
    }) << cls;
  }
  auto rs = c->ExecQuery("Select * from Win32_OperatingSystem");
  EXPECT_TRUE(rs->Next().has_value());
}

}  // namespace
