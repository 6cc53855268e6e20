#include "browser/browser.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "browser/dump_file.h"
#include "queries/procedures.h"
#include "wmi/attempt.h"
#include "wmi/text.h"

namespace browser {

namespace {

constexpr std::string_view kSkippedByAutoSave[] = {
    "CIM_LogicalFile",         "CIM_DataFile",         "CIM_Directory",
    "Win32_Directory",         "Win32_ShortcutFile",   "CIM_DirectoryContainsFile",
    "Win32_SubDirectory",      "Win32_CIMLogicalDeviceCIMDataFile",
    "Win32_NTLogEvent",        "Win32_NTLogEventLog",  "Win32_NTLogEventUser",
    "Win32_NTLogEventComputer", "Win32_Product",       "Win32_ProductCheck",
    "Win32_ProductResource",   "Win32_ProductSoftwareFeatures",
};

// Set by the AutoSave walk just before it moves the selection, and taken by
// the List1 click that the move raises: that one click, and no other (not a
// user's click taken during a yield), skips a harmful class.
thread_local bool g_autosave_step = false;

constexpr std::string_view kRootMoniker = "winmgmts:\\\\.\\root\\";
constexpr int kYieldEvery = 100;

// One dump's running state: the pane, the file and the yield counter.
class Dump {
 public:
  explicit Dump(Window& w) : w_(w) {}

  void Run(std::string_view title, std::string_view ns, std::string_view class_name) {
    queries::Pane& pane = w_.pane();
    if (w_.IsAutoClear()) pane.Clear();
    pane.AppendMessage(queries::HeaderLine(title));

    std::unique_ptr<wmi::Connection> connection;
    std::unique_ptr<wmi::ResultSet> results;
    wmi::Attempt([&] { connection = w_.provider().Connect(std::string(kRootMoniker) + std::string(ns)); });
    wmi::Attempt([&] {
      if (connection) results = connection->ExecQuery("Select * from " + std::string(class_name), wmi::kCategoryFlags);
    });

    if (auto dir = w_.InfoDirectory()) file_.Open(*dir / (w_.SelectedClass() + ".txt"));
    pane.SetVisible(false);

    std::optional<wmi::Instance> instance;
    if (!results || !wmi::Attempt([&] { instance = results->Next(); })) {
      // A failed connection or query still passes the instance loop once.
      pane.AppendMessage(queries::SeparatorLine());
    }
    while (instance) {
      pane.AppendMessage(queries::SeparatorLine());
      for (const wmi::Property& p : instance->Properties()) DumpProperty(p);
      if (!wmi::Attempt([&] { instance = results->Next(); })) break;
    }

    file_.Close();
    pane.SetVisible(true);
  }

 private:
  // One line to the pane, then the same line to the file.
  void Line(const std::string& text) {
    w_.pane().AppendMessage(text);
    file_.WriteLine(text);
  }

  void DumpProperty(const wmi::Property& p) {
    const std::string prefix = p.name + ":";
    if (p.value.is_null()) {
      Line(p.name + ":Null");
    } else if (std::int32_t upper = wmi::SafeUpperBound(p.value); upper != -1) {
      // The element loop runs on the yield counter itself and leaves it at the
      // number of elements.
      for (counter_ = 0; counter_ <= upper; ++counter_)
        wmi::Attempt([&] { Line(prefix + wmi::Convert(p.value.elements().at(static_cast<std::size_t>(counter_)))); });
    } else {
      wmi::Attempt([&] { Line(prefix + wmi::Convert(p.value)); });
    }
    ++counter_;
    if (counter_ % kYieldEvery == 0) w_.Yield();
  }

  Window& w_;
  DumpFile file_;
  std::int32_t counter_ = 0;
};

}  // namespace

void DumpWmiClass(Window& w, std::string_view title, std::string_view ns, std::string_view class_name) {
  Dump(w).Run(title, ns, class_name);
}

void Command61Click(Window& w) {
  w.SetNamespaceListEnabled(false);
  w.SetTestButtonEnabled(false);
  const std::string ns = w.SelectedNamespace();
  const std::string class_name = w.SelectedClass();
  DumpWmiClass(w, "", ns, class_name);
  w.SetTestButtonEnabled(true);
  w.SetNamespaceListEnabled(true);
}

void List1Click(Window& w) {
  const bool autosave_step = std::exchange(g_autosave_step, false);
  if (autosave_step && IsSkippedByAutoSave(w.SelectedClass())) return;
  Command61Click(w);
}

bool IsSkippedByAutoSave(std::string_view class_name) {
  for (std::string_view skipped : kSkippedByAutoSave)
    if (wmi::EqualsIgnoreCase(skipped, class_name)) return true;
  return false;
}

void Command63Click(Window& w) {
  w.SetNamespaceListEnabled(false);
  w.SetTestButtonEnabled(false);
  DumpWmiClass(w, "", "cimv2", "Win32_Battery");
  w.SetTestButtonEnabled(true);
  w.SetNamespaceListEnabled(true);
}

void RunCategoryButton(Window& w, const queries::Button& button) {
  if (button.procedure == queries::Procedure::ClassDump)
    Command63Click(w);
  else
    queries::RunButton(w, button);
}

void AllGetClick(Window& w) {
  const int saved = w.AutoClearValue();
  w.SetAutoClearValue(static_cast<int>(queries::CheckState::Unchecked));
  w.SetAllGetEnabled(false);
  for (const queries::Button& b : queries::BatchButtons()) RunCategoryButton(w, b);
  w.SetAllGetEnabled(true);
  w.SetAutoClearValue(saved);
}

void AutoSaveClick(Window& w) {
  // With the last entry selected there is no entry after it: nothing to do.
  while (w.SelectedClassIndex() < w.ClassCount() - 1) {
    g_autosave_step = true;
    w.SelectClass(w.SelectedClassIndex() + 1);
    g_autosave_step = false;  // in case the move raised no click
    w.Yield();
  }
}

}  // namespace browser
