// The WQL reader and the moniker reader on any text: a refusal is a
// wmi::Error, a query that reads runs against a small snapshot, and what it
// reads back from its own literal is the text that was written into it.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "wmi/error.h"
#include "wmi/provider.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/wql.h"

namespace {

wmi::RecordedProvider& Provider() {
  static wmi::RecordedProvider provider(std::make_shared<const wmi::Snapshot>(wmi::ParseSnapshot(
      R"({"namespaces": {"root\\cimv2": {"Win32_PnPEntity": [{"DeviceID": "USB\\VID_1\\O'N", "Index": 3}],
          "Win32_Fan": []}, "root\\wmi": {}}})",
      "fuzz-fixture.json")));
  return provider;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);

  try {
    wmi::WqlQuery q = wmi::ParseWql(text);
    wmi::Instance instance({{q.where ? q.where->property : "Name", wmi::Value(text)}});
    if (q.where && !q.Matches(instance) && q.where->literal == text) std::abort();
  } catch (const wmi::Error&) {
  }

  // Any text as a literal reads back as itself.
  wmi::WqlQuery back = wmi::ParseWql("Select * From X Where Name = " + wmi::WqlStringLiteral(text));
  if (!back.where || back.where->literal != text) std::abort();

  try {
    auto connection = Provider().Connect(text);
    auto rs = connection->ExecQuery("Select * from Win32_PnPEntity", 48);
    while (rs->Next()) {
    }
  } catch (const wmi::Error&) {
  }
  try {
    auto connection = Provider().Connect("winmgmts:\\\\.\\root\\cimv2");
    auto rs = connection->ExecQuery(text, 48);
    while (rs->Next()) {
    }
  } catch (const wmi::Error&) {
  }
  return 0;
}
