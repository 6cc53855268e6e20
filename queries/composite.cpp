#include "queries/composite.h"

#include <optional>

#include "queries/procedures.h"
#include "queries/property_list.h"
#include "wmi/attempt.h"
#include "wmi/text.h"
#include "wmi/wql.h"

namespace queries {

namespace {
constexpr std::string_view kDefaultMoniker = "Winmgmts:";
}

void RunBaseBoardAdapters(Host& host, const Button& button) {
  BeginOutput(host, button.caption);
  Pane& pane = host.pane();
  // The direct reads are the on-board device list without its first entry, Caption.
  PropertyList direct = PropertyListOf("Command25").subspan(1);
  bool ok = ForEachInstance(
      host.provider(), kCimv2Moniker,
      [&](wmi::Connection& c) { return c.ExecQuery(button.query, wmi::kCategoryFlags); },
      [&](const wmi::Instance& inst) {
        pane.AppendMessage(SeparatorLine());
        for (std::string_view name : {"Name", "Caption", "CreationClassName"}) {
          wmi::Attempt([&] { pane.AppendMessage(wmi::Join(std::string(name) + ": ", inst.Item(name).value)); });
        }
        PrintEntries(pane, inst, direct);
        pane.ScrollToEnd();
      });
  if (!ok) pane.AppendMessage(SeparatorLine());
}

std::optional<std::string> DeviceIdOfDependent(std::string_view path) {
  // \\HOST\root\cimv2:Win32_PnPEntity.DeviceID="USB\\VID_046D&PID_C52B\\5&2A0F3A5&0&1": the key's
  // value follows the first "=", which no namespace or class name holds. A quoted value ends at the
  // first quotation mark that no backslash escapes; an unquoted one (a number) at a comma or the end.
  const auto eq = path.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::string_view rest = path.substr(eq + 1);
  if (rest.empty() || rest.front() != '"') return std::string(rest.substr(0, rest.find(',')));
  std::string id;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == '"') return id;
    if (rest[i] == '\\' && i + 1 < rest.size()) id += rest[i++];
    id += rest[i];
  }
  return std::nullopt;  // no closing quotation mark: not an object path
}

std::string DeviceQueryOf(std::string_view dependent_id) {
  std::string id;
  id.reserve(dependent_id.size());
  for (std::size_t i = 0; i < dependent_id.size(); ++i) {
    if (dependent_id[i] == '\\' && i + 1 < dependent_id.size()) ++i;
    id += dependent_id[i];
  }
  return "Select * From Win32_PnPEntity Where DeviceID = " + wmi::WqlStringLiteral(id);
}

namespace {

void PrintUsbDevice(Pane& pane, const wmi::Instance& device) {
  std::string description;
  wmi::Attempt([&] {
    const wmi::Value& d = device.Get("Description");
    if (!d.is_null()) description = wmi::Convert(d);
  });
  const wmi::Property* desc = device.Find("Description");
  if (desc && desc->value.kind() == wmi::Value::Kind::Text && desc->value.text() == "USB-6210")
    wmi::Attempt([&] { pane.AppendMessage(wmi::Convert(device.Item("Name").value)); });
  for (const wmi::Property& p : device.Properties()) {
    pane.AppendMessage(description + "," + p.name);
    wmi::Attempt([&] { pane.AppendMessage(wmi::Join(description + ",", p.value)); });
  }
  pane.ScrollToEnd();
}

}  // namespace

void RunUsbDevices(Host& host, const Button& button) {
  BeginOutput(host, button.caption);
  std::unique_ptr<wmi::Connection> connection;
  std::unique_ptr<wmi::ResultSet> associations;
  if (!wmi::Attempt([&] {
        connection = host.provider().Connect(kCimv2Moniker);
        associations = connection->ExecQuery(button.query);
      }))
    return;
  for (;;) {
    std::optional<wmi::Instance> association;
    if (!wmi::Attempt([&] { association = associations->Next(); }) || !association) break;
    std::optional<std::string> device_id;
    wmi::Attempt([&] { device_id = DeviceIdOfDependent(wmi::Convert(association->Get("Dependent"))); });
    if (!device_id) continue;
    std::unique_ptr<wmi::ResultSet> devices;
    if (!wmi::Attempt([&] { devices = connection->ExecQuery(DeviceQueryOf(*device_id)); })) continue;
    for (;;) {
      std::optional<wmi::Instance> device;
      if (!wmi::Attempt([&] { device = devices->Next(); }) || !device) break;
      PrintUsbDevice(host.pane(), *device);
    }
  }
}

void RunOperatingSystem(Host& host, const Button& button) {
  BeginOutput(host, button.caption);
  std::optional<wmi::Instance> last;
  wmi::Attempt([&] {
    auto connection = host.provider().Connect(kDefaultMoniker);
    auto instances = connection->InstancesOf("Win32_OperatingSystem", wmi::kReturnImmediately);
    while (auto inst = instances->Next()) last = std::move(inst);
  });
  if (!last) return;
  for (const wmi::Property& p : last->Properties()) {
    if (p.value.is_null()) continue;
    wmi::Attempt([&] { host.pane().AppendMessage(p.name + " = " + wmi::Convert(p.value)); });
  }
}

}  // namespace queries
