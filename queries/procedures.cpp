#include "queries/procedures.h"

#include "queries/bios.h"
#include "queries/composite.h"
#include "wmi/attempt.h"
#include "wmi/text.h"

namespace queries {

std::string HeaderLine(std::string_view caption) {
  std::string line(caption);
  line.append(90, '-');
  return line;
}

const std::string& SeparatorLine() {
  static const std::string line(31, '-');
  return line;
}

const std::string& OpeningLine() {
  static const std::string line(25, '-');
  return line;
}

bool ForEachInstance(wmi::Provider& provider, std::string_view moniker,
                     const std::function<std::unique_ptr<wmi::ResultSet>(wmi::Connection&)>& query,
                     const std::function<void(const wmi::Instance&)>& each) {
  std::unique_ptr<wmi::Connection> connection;
  std::unique_ptr<wmi::ResultSet> results;
  std::optional<wmi::Instance> instance;
  bool started = wmi::Attempt([&] {
    connection = provider.Connect(moniker);
    results = query(*connection);
    instance = results->Next();
  });
  if (!started) return false;
  while (instance) {
    each(*instance);
    if (!wmi::Attempt([&] { instance = results->Next(); })) break;
  }
  return true;
}

void BeginOutput(Host& host, std::string_view caption) {
  if (host.IsAutoClear()) host.pane().Clear();
  host.pane().AppendMessage(HeaderLine(caption));
}

namespace {

void PrintBios(Pane& pane, const wmi::Instance& inst, const PropertyEntry& e) {
  std::int32_t upper = -1;
  if (!wmi::Attempt([&] { upper = wmi::UpperBound(inst.Get(e.property)); })) return;
  for (std::int32_t i = 0; i <= upper; ++i) {
    wmi::Attempt([&] {
      const wmi::Value& code = inst.GetElement(e.property, i);
      std::int32_t n = ToInt32(code);
      pane.AppendMessage(e.label + wmi::Convert(code) + " : " + GetBiosCharacteristics(n));
    });
  }
}

void PrintEach(Pane& pane, const wmi::Instance& inst, const PropertyEntry& e) {
  std::int32_t upper = -1;
  if (!wmi::Attempt([&] { upper = wmi::UpperBound(inst.Get(e.property)); })) return;
  for (std::int32_t i = 0; i <= upper; ++i)
    wmi::Attempt([&] { pane.AppendMessage(wmi::Join(e.label, inst.GetElement(e.property, i))); });
}

}  // namespace

void PrintEntries(Pane& pane, const wmi::Instance& inst, PropertyList list) {
  for (const PropertyEntry& e : list) {
    switch (e.form) {
      case PrintForm::Scalar:
        wmi::Attempt([&] { pane.AppendMessage(wmi::Join(e.label, inst.Get(e.property))); });
        break;
      case PrintForm::Each:
        PrintEach(pane, inst, e);
        break;
      case PrintForm::First:
        wmi::Attempt([&] { pane.AppendMessage(wmi::Join(e.label, inst.GetElement(e.property, 0))); });
        break;
      case PrintForm::Bios:
        PrintBios(pane, inst, e);
        break;
    }
  }
}

namespace {

std::unique_ptr<wmi::ResultSet> CategoryQuery(wmi::Connection& c, std::string_view text) {
  return c.ExecQuery(text, wmi::kCategoryFlags);
}

// The walk of the category procedures: a failed start leaves one separator.
void WalkCategory(Host& host, const Button& button, const std::function<void(const wmi::Instance&)>& each) {
  bool ok = ForEachInstance(
      host.provider(), kCimv2Moniker, [&](wmi::Connection& c) { return CategoryQuery(c, button.query); },
      [&](const wmi::Instance& inst) {
        host.pane().AppendMessage(SeparatorLine());
        each(inst);
      });
  if (!ok) host.pane().AppendMessage(SeparatorLine());
}

}  // namespace

void RunFixedList(Host& host, const Button& button) {
  BeginOutput(host, button.caption);
  if (button.procedure == Procedure::FixedListWithOpeningLine) host.pane().AppendMessage(OpeningLine());
  PropertyList list = PropertyListOf(button.control);
  WalkCategory(host, button, [&](const wmi::Instance& inst) {
    PrintEntries(host.pane(), inst, list);
    host.pane().ScrollToEnd();
  });
}

void RunAllPropertiesNullMarker(Host& host, const Button& button) {
  BeginOutput(host, button.caption);
  WalkCategory(host, button, [&](const wmi::Instance& inst) {
    for (const wmi::Property& p : inst.Properties()) {
      if (p.value.is_null())
        host.pane().AppendMessage(p.name + ":NULL");
      else
        wmi::Attempt([&] { host.pane().AppendMessage(p.name + ":" + wmi::Convert(p.value)); });
    }
  });
}

void RunAllPropertiesText(Host& host, const Button& button) {
  // Skip-on-failure from the first step: the clear and the header included.
  wmi::Attempt([&] { BeginOutput(host, button.caption); });
  WalkCategory(host, button, [&](const wmi::Instance& inst) {
    for (const wmi::Property& p : inst.Properties())
      wmi::Attempt([&] { host.pane().AppendMessage(wmi::Add(p.name + ":", p.value)); });
  });
}

void RunButton(Host& host, const Button& button) {
  switch (button.procedure) {
    case Procedure::FixedList:
    case Procedure::FixedListWithOpeningLine:
      RunFixedList(host, button);
      break;
    case Procedure::AllPropertiesNullMarker:
      RunAllPropertiesNullMarker(host, button);
      break;
    case Procedure::AllPropertiesText:
      RunAllPropertiesText(host, button);
      break;
    case Procedure::BaseBoardAdapters:
      RunBaseBoardAdapters(host, button);
      break;
    case Procedure::UsbDevices:
      RunUsbDevices(host, button);
      break;
    case Procedure::OperatingSystem:
      RunOperatingSystem(host, button);
      break;
    case Procedure::ClassDump:
      break;
  }
}

}  // namespace queries
