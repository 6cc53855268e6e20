#include "browser/browser.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "browser/dump_file.h"
#include "queries/procedures.h"
#include "wmi/attempt.h"
#include "wmi/text.h"

namespace browser {

namespace {

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

    // Only a query that ran gets a file: after a failed connection or query
    // the file of that name keeps what the last good dump wrote.
    std::optional<std::filesystem::path> path;
    if (auto dir = w_.InfoDirectory(); dir && results) {
      path = *dir / (w_.SelectedClass() + ".txt");
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
      if (!wmi::Attempt([&] { instance = results->Next(); })) break;
    }

    const bool written = !path || file_.Close();
    pane.SetVisible(true);
    if (!written) w_.DumpFileFailed(*path, file_.error());
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

void List1Click(Window& w) { Command61Click(w); }

void Command63Click(Window& w) {
  w.SetNamespaceListEnabled(false);
  w.SetTestButtonEnabled(false);
  DumpWmiClass(w, "", "cimv2", "Win32_Battery");
  w.SetTestButtonEnabled(true);
  w.SetNamespaceListEnabled(true);
}

void RunCategoryButton(Window& w, const queries::Button& button) {
  if (!queries::RunButton(w, button)) Command63Click(w);
}

void AllGetClick(Window& w) {
  const int saved = w.AutoClearValue();
  w.SetAutoClearValue(static_cast<int>(queries::CheckState::Unchecked));
  w.SetAllGetEnabled(false);
  for (int n = 1; n <= 60; ++n) {
    if (const queries::Button* b = queries::FindButton("Command" + std::to_string(n))) RunCategoryButton(w, *b);
  }
  w.SetAllGetEnabled(true);
  w.SetAutoClearValue(saved);
}

void AutoSaveClick(Window& w) {
  // With the last entry selected there is no entry after it: nothing to do.
  while (w.SelectedClassIndex() < w.ClassCount() - 1) {
    w.SelectClass(w.SelectedClassIndex() + 1);
    w.Yield();
  }
}

}  // namespace browser
