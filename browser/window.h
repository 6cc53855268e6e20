// What the class browser and the batch commands need of the main window: the
// query host (pane, provider, auto-clear), the class and namespace lists, the
// few controls they enable and disable, and the message pump. The Qt window
// implements it; so do the console companion and the tests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "queries/host.h"

namespace browser {

class Window : public queries::Host {
 public:
  // Processes the pending window messages once and returns. Events taken here
  // run inside the operation that yields.
  virtual void Yield() = 0;

  // The class list List1. Setting the selection raises List1's click, which
  // runs List1Click before SelectClass returns.
  virtual int ClassCount() = 0;
  virtual int SelectedClassIndex() = 0;  // -1 when nothing is selected
  virtual void SelectClass(int index) = 0;
  virtual std::string SelectedClass() = 0;  // "" when nothing is selected

  // The namespace list List2: the entry at its selected index ("" when none).
  virtual std::string SelectedNamespace() = 0;

  virtual void SetNamespaceListEnabled(bool enabled) = 0;  // List2
  virtual void SetTestButtonEnabled(bool enabled) = 0;     // Command61
  virtual void SetAllGetEnabled(bool enabled) = 0;         // cmdAllGet

  // The auto-clear switch chkClear: 0 not ticked, 1 ticked, 2 grayed.
  virtual int AutoClearValue() = 0;
  virtual void SetAutoClearValue(int value) = 0;

  // The folder dump files go into (the `info` folder beside the program), or
  // nullopt where dumps write no file.
  virtual std::optional<std::filesystem::path> InfoDirectory() = 0;

  // A dump's file could not be written (`reason` says why, in the words of the
  // system); the file of that name, if any, is as it was before the dump.
  // Called once per dump, after the pane has its whole output.
  virtual void DumpFileFailed(const std::filesystem::path& file, const std::string& reason) {
    (void)file;
    (void)reason;
  }

  // The batch commands report how far they are: BatchStarted before the first
  // step, BatchProgress before each step (step counts from 1 up to total),
  // BatchEnded after the last step or after a stop. A batch started inside
  // another one's yield reports the same way, nested.
  virtual void BatchStarted(std::string_view /*name*/) {}
  virtual void BatchProgress(int /*step*/, int /*total*/) {}
  virtual void BatchEnded() {}
  // True once the user asked the running batch to stop (Esc, closing the
  // window): the batch ends after the class or button at hand.
  virtual bool StopRequested() { return false; }

  bool IsAutoClear() override { return queries::IsTicked(AutoClearValue()); }
};

}  // namespace browser
