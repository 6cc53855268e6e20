#include "browser/browser.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "browser/dump_file.h"
#include "queries/procedures.h"
#include "wmi/attempt.h"
#include "wmi/text.h"

namespace browser {

namespace {

constexpr std::string_view kSkippedByAutoSave[] = {
    // Every file and folder of every disk.
    "CIM_LogicalFile",
    "CIM_DataFile",
    "CIM_Directory",
    "Win32_Directory",
    "Win32_ShortcutFile",
    "CIM_DirectoryContainsFile",
    "Win32_SubDirectory",
    "Win32_CIMLogicalDeviceCIMDataFile",
    // Every record of every event log.
    "Win32_NTLogEvent",
    "Win32_NTLogEventLog",
    "Win32_NTLogEventUser",
    "Win32_NTLogEventComputer",
    // Windows Installer checks, and repairs, every product; its other classes
    // are very slow.
    "Win32_Product",
    "Win32_ProductCheck",
    "Win32_ProductResource",
    "Win32_ProductSoftwareFeatures",
    "Win32_SoftwareFeature",
    "Win32_SoftwareElement",
    "Win32_Binary",
    "Win32_Property",
    "Win32_Patch",
    "Win32_PatchFile",
    "Win32_PatchPackage",
    // On a domain-joined PC, every account and group of the domain.
    "Win32_Account",
    "Win32_UserAccount",
    "Win32_Group",
    "Win32_GroupUser",
    "Win32_UserInDomain",
    "Win32_GroupInDomain",
    "Win32_SystemUsers",
    // Parents whose query returns the classes above with their own instances.
    "CIM_ManagedSystemElement",
    "CIM_LogicalElement",
    "CIM_Component",
    "CIM_Dependency",
    "CIM_Product",
    "CIM_ProductSoftwareFeatures",
};

// The walk's own skip list: the classes above and every class the service
// derives one of them from, asked once when the walk starts.
struct Caseless {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
  }
};
using ClassSet = std::set<std::string, Caseless>;
thread_local const ClassSet* g_walk_skips = nullptr;

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

  void Run(std::string_view title, std::string_view ns, std::string_view class_name,
           std::optional<std::string_view> file_stem) {
    queries::Pane& pane = w_.pane();
    if (w_.IsAutoClear()) pane.Clear();
    pane.AppendMessage(queries::HeaderLine(title));

    std::unique_ptr<wmi::Connection> connection;
    std::unique_ptr<wmi::ResultSet> results;
    wmi::Attempt([&] { connection = w_.provider().Connect(std::string(kRootMoniker) + std::string(ns)); });
    wmi::Attempt([&] {
      if (connection) results = connection->ExecQuery("Select * from " + std::string(class_name), wmi::kCategoryFlags);
    });

    // Only a query that ran gets a file: after a failed connection or query
    // the file of that name keeps what the last good dump wrote.
    std::optional<std::filesystem::path> path;
    if (auto dir = w_.InfoDirectory(); dir && results) {
      path = *dir / ((file_stem ? std::string(*file_stem) : w_.SelectedClass()) + ".txt");
      file_.Open(*path);
    }
    pane.SetVisible(false);

    std::optional<wmi::Instance> instance;
    if (!results || !wmi::Attempt([&] { instance = results->Next(); })) {
      // A failed connection or query still passes the instance loop once.
      pane.AppendMessage(queries::SeparatorLine());
      file_.Discard();
      path.reset();
    }
    while (instance) {
      pane.AppendMessage(queries::SeparatorLine());
      for (const wmi::Property& p : instance->Properties()) DumpProperty(p);
      if (!wmi::Attempt([&] { instance = results->Next(); })) {
        // Stopped (Esc, the window closed, the time bound) or failed midway:
        // the pane keeps the part, the file of that name keeps the last
        // whole dump.
        file_.Discard();
        path.reset();
        break;
      }
    }

    const bool written = !path || file_.Close();
    pane.SetVisible(true);
    if (!written) w_.DumpFileFailed(*path, file_.error());
  }

 private:
  // One line to the pane, then the same line to the file, escaped alike.
  void Line(const std::string& text) {
    const std::string line = wmi::EscapeLine(text);
    w_.pane().AppendMessage(line);
    file_.WriteLine(line);
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

// The window as the category procedures of a batch see it: its pane yields to
// the message pump after every 100 lines, as a dump does after every 100
// properties.
class YieldingHost : public queries::Host, public queries::Pane {
 public:
  explicit YieldingHost(Window& w) : w_(w) {}

  queries::Pane& pane() override { return *this; }
  wmi::Provider& provider() override { return w_.provider(); }
  bool IsAutoClear() override { return w_.IsAutoClear(); }

  void AppendMessage(const std::string& line) override {
    w_.pane().AppendMessage(line);
    if (++lines_ % kYieldEvery == 0) w_.Yield();
  }
  void Clear() override { w_.pane().Clear(); }
  void ScrollToEnd() override { w_.pane().ScrollToEnd(); }
  void SetVisible(bool visible) override { w_.pane().SetVisible(visible); }
  std::string Text() const override { return w_.pane().Text(); }

 private:
  Window& w_;
  long lines_ = 0;
};

}  // namespace

void DumpWmiClass(Window& w, std::string_view title, std::string_view ns, std::string_view class_name) {
  Dump(w).Run(title, ns, class_name, std::nullopt);
}

void DumpWmiClass(Window& w, std::string_view title, std::string_view ns, std::string_view class_name,
                  std::string_view file_stem) {
  Dump(w).Run(title, ns, class_name, file_stem);
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
  if (autosave_step) {
    const std::string name = w.SelectedClass();
    if (IsSkippedByAutoSave(name) || (g_walk_skips && g_walk_skips->count(name))) return;
  }
  Command61Click(w);
}

std::vector<std::string> ParentsOfSkippedClasses(wmi::Provider& provider, std::string_view ns) {
  // Each class of the namespace with its superclass, from one schema query.
  std::map<std::string, std::string, Caseless> superclass;
  wmi::Attempt([&] {
    auto results = provider.Connect(std::string(kRootMoniker) + std::string(ns))
                       ->ExecQuery("Select * from meta_class", wmi::kCategoryFlags);
    while (auto c = results->Next()) {
      const wmi::Property* name = c->Find("__CLASS");
      const wmi::Property* parent = c->Find("__SUPERCLASS");
      if (name && parent && name->value.kind() == wmi::Value::Kind::Text &&
          parent->value.kind() == wmi::Value::Kind::Text && !parent->value.text().empty())
        superclass[name->value.text()] = parent->value.text();
    }
  });
  ClassSet parents;
  for (std::string_view skipped : kSkippedByAutoSave) {
    // A chain longer than the classes it could hold is a loop in a broken schema.
    auto at = superclass.find(std::string(skipped));
    for (std::size_t steps = 0; at != superclass.end() && steps <= superclass.size(); ++steps) {
      if (!IsSkippedByAutoSave(at->second)) parents.insert(at->second);
      at = superclass.find(at->second);
    }
  }
  return {parents.begin(), parents.end()};
}

bool IsSkippedByAutoSave(std::string_view class_name) {
  for (std::string_view skipped : kSkippedByAutoSave)
    if (wmi::EqualsIgnoreCase(skipped, class_name)) return true;
  return false;
}

void Command63Click(Window& w) {
  w.SetNamespaceListEnabled(false);
  w.SetTestButtonEnabled(false);
  DumpWmiClass(w, "", "cimv2", "Win32_Battery", "Win32_Battery");
  w.SetTestButtonEnabled(true);
  w.SetNamespaceListEnabled(true);
}

namespace {
// A category button's procedure, writing through `host` (the window itself, or
// the batch's yielding host); the battery button's dump goes to the window.
void RunButtonOn(Window& w, queries::Host& host, const queries::Button& button) {
  if (button.procedure == queries::Procedure::ClassDump)
    Command63Click(w);
  else
    queries::RunButton(host, button);
}
}  // namespace

void RunCategoryButton(Window& w, const queries::Button& button) { RunButtonOn(w, w, button); }

void AllGetClick(Window& w) {
  const int saved = w.AutoClearValue();
  w.SetAutoClearValue(static_cast<int>(queries::CheckState::Unchecked));
  w.SetAllGetEnabled(false);
  w.BatchStarted("全自動収集");
  YieldingHost host(w);
  const auto buttons = queries::BatchButtons();
  int step = 0;
  for (const queries::Button& b : buttons) {
    w.BatchProgress(++step, static_cast<int>(buttons.size()));
    RunButtonOn(w, host, b);
    w.Yield();
    if (w.StopRequested()) break;
  }
  w.BatchEnded();
  w.SetAllGetEnabled(true);
  w.SetAutoClearValue(saved);
}

void AutoSaveClick(Window& w) {
  // With the last entry selected there is no entry after it: nothing to do.
  if (w.SelectedClassIndex() >= w.ClassCount() - 1) return;
  w.BatchStarted("AutoSave");
  const std::vector<std::string> parents = ParentsOfSkippedClasses(w.provider(), w.SelectedNamespace());
  const ClassSet walk_skips(parents.begin(), parents.end());
  const ClassSet* outer = std::exchange(g_walk_skips, &walk_skips);
  while (w.SelectedClassIndex() < w.ClassCount() - 1) {
    const int next = w.SelectedClassIndex() + 1;
    w.BatchProgress(next + 1, w.ClassCount());
    g_autosave_step = true;
    w.SelectClass(next);
    g_autosave_step = false;  // in case the move raised no click
    w.Yield();
    if (w.StopRequested()) break;
  }
  g_walk_skips = outer;
  w.BatchEnded();
}

}  // namespace browser
