#include "wmi/recorded/capture.h"

#include <gtest/gtest.h>

#include "wmi/error.h"

namespace {

using wmi::Value;

// The capture's rules, on a provider whose answers are known: classes in the
// order asked, a class named twice recorded once under its first spelling, a
// class that fails left out, an empty class kept empty.
TEST(Capture, RecordsWhatTheProviderAnswers) {
  auto source = std::make_shared<wmi::Snapshot>();
  source->namespaces.push_back(wmi::RecordedNamespace{
      "root\\cimv2",
      {wmi::RecordedClass{"Win32_Fan", {}},
       wmi::RecordedClass{"Win32_Bus",
                          {wmi::Instance({{"DeviceID", Value("PCI_BUS_0")}, {"BusNum", Value(0)}}),
                           wmi::Instance({{"DeviceID", Value("PCI_BUS_1")}, {"BusNum", Value(1)}})}}}});
  wmi::RecordedProvider provider(source);
  wmi::Snapshot snap =
      wmi::CaptureSnapshot(provider, "root\\cimv2", {"Win32_Bus", "Win32_NoSuchClass", "win32_bus", "Win32_Fan"});
  ASSERT_EQ(snap.namespaces.size(), 1u);
  EXPECT_EQ(snap.namespaces[0].name, "root\\cimv2");
  const auto& classes = snap.namespaces[0].classes;
  ASSERT_EQ(classes.size(), 2u);
  EXPECT_EQ(classes[0].name, "Win32_Bus");
  EXPECT_EQ(classes[1].name, "Win32_Fan");
  ASSERT_EQ(classes[0].instances.size(), 2u);
  EXPECT_EQ(classes[0].instances[1].Properties(), source->namespaces[0].classes[1].instances[1].Properties());
  EXPECT_TRUE(classes[1].instances.empty());
  try {
    wmi::CaptureSnapshot(provider, "root\\wmi", {"Win32_Bus"});
    ADD_FAILURE() << "a namespace the provider lacks was captured";
  } catch (const wmi::Error& e) {
    EXPECT_EQ(e.code(), wmi::ErrorCode::ConnectFailed);
  }
}

}  // namespace
