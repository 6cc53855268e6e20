// pcinfo_batch_timer.exe: AutoSave over the whole class list and 全自動収集, both
// with auto-clear off, on a capture, as pcinfo.exe runs them but with no
// window: the form's state, the pane as text, the dump files in INFO_DIR.
// Under Wine, what the batches cost apart from drawing (the queries on the
// capture, the dump files through Wine's file system); bench/wine_window.sh
// prints it beside the window's figures.
//   pcinfo_batch_timer CAPTURE INFO_DIR
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "browser/catalogue.h"
#include "browser/code_page.h"
#include "front/form.h"
#include "front/no_service.h"
#include "queries/pane.h"
#include "wmi/utf8_path.h"

namespace {

class Entries : public browser::ClassListBox {
 public:
  void AddItem(std::string_view name) override { names.emplace_back(name); }
  std::vector<std::string> names;
};

// The form with plain values for controls and nothing to draw.
class HeadlessForm : public front::Form {
 public:
  HeadlessForm(wmi::Provider& provider, std::filesystem::path info) : front::Form(provider, std::move(info)) {
    browser::LoadClassList(classes_);
  }
  queries::Pane& pane() override { return pane_; }
  int ClassCount() override { return static_cast<int>(classes_.names.size()); }
  int SelectedClassIndex() override { return selected_; }
  void SelectClass(int index) override {
    if (index == selected_) return;
    selected_ = index;
    if (index >= 0) browser::List1Click(*this);
  }
  std::string SelectedClass() override { return ClassEntry(selected_); }
  std::string SelectedNamespace() override { return "cimv2"; }
  void SetNamespaceListEnabled(bool) override {}
  void SetTestButtonEnabled(bool) override {}
  void SetAllGetEnabled(bool) override {}
  int AutoClearValue() override { return auto_clear_; }
  void SetAutoClearValue(int value) override { auto_clear_ = value; }

 protected:
  void PumpMessages() override {}
  std::string ClassEntry(int index) override {
    return index < 0 || index >= ClassCount() ? "" : classes_.names[static_cast<std::size_t>(index)];
  }
  void StatusChanged() override { (void)Status(); }  // worked out as the window does
  void TitleChanged() override {}
  void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }

 private:
  Entries classes_;
  queries::TextPane pane_;
  int selected_ = -1;
  int auto_clear_ = 1;
};

template <typename Batch>
bool Time(const char* name, const std::filesystem::path& capture, const std::filesystem::path& info, Batch batch) {
  front::NoServiceProvider machine;
  HeadlessForm form(machine, info);
  if (!form.OpenCapture(capture)) return false;
  form.SelectClass(0);  // as the window starts: the first class dumped
  form.SetAutoClearValue(0);
  const auto start = std::chrono::steady_clock::now();
  batch(form);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%s %.2f s, pane %zu bytes\n", name, took.count(), form.pane().Text().size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pcinfo_batch_timer CAPTURE INFO_DIR\n");
    return 2;
  }
  browser::AdoptUserLocale();
  const std::filesystem::path capture = wmi::PathFromUtf8(argv[1]), info = wmi::PathFromUtf8(argv[2]);
  const bool ok = Time("Command62", capture, info, [](HeadlessForm& f) { browser::AutoSaveClick(f); }) &&
                  Time("cmdAllGet", capture, info, [](HeadlessForm& f) { browser::AllGetClick(f); });
  return ok ? 0 : 1;
}
