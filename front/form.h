// What frmWMIInfo does that is not drawing, shared by every front-end: the
// provider in use (this machine or an opened capture) and the title that names
// it, where dump files go, the batch state (progress, Esc, closing), and the
// status line's text. A front-end derives from Form, draws the controls, and
// redraws the title and the status line when told.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/window.h"
#include "front/info_folder.h"
#include "front/layout.h"
#include "wmi/provider.h"

namespace front {

// What the status line below the groups shows.
struct StatusLine {
  bool batch = false;  // a batch runs: the progress bar shows
  int progress_max = 1;
  int progress_value = 0;
  Rect text_rect;    // twips, where the text stands
  std::string text;  // UTF-8, lines separated by '\n'
};

// Texts the front-ends show (UTF-8).
inline constexpr char kOpenFailed[] = "記録ファイルを開けません。表示は変わりません。\n\n";
inline constexpr char kSaveTitle[] = "結果を保存";
inline constexpr char kSaveFailed[] = "保存できません: ";
inline constexpr char kSaveDefaultName[] = "pcinfo.txt";
inline constexpr char kSaveMenu[] = "名前を付けて保存(&S)...";
inline constexpr char kFindMenu[] = "検索(&F)...";
inline constexpr char kSummaryMenu[] = "概要(&O)";  // with Ctrl+I
inline constexpr char kFindCaption[] = "検索:";
inline constexpr char kFindPrevious[] = "前へ";
inline constexpr char kFindNext[] = "次へ";
inline constexpr char kFindNone[] = "なし";

// Writes `bytes` to `file`, replacing the old file only once the new one is
// complete (a file beside it, then renamed). False, with why in `error`, when
// it cannot; the old file is then as it was.
bool SaveTextFile(const std::filesystem::path& file, std::string_view bytes, std::string* error);

class Form : public browser::Window {
 public:
  // `provider` is this machine's WMI; `info` is the folder dump files go into
  // (made when missing).
  Form(wmi::Provider& provider, std::filesystem::path info);

  // Makes every button, dump and batch read the capture in `file` (a recorded
  // snapshot) instead of this machine; the title names the file. A file that
  // cannot be read gives one error and changes nothing. Refused while an
  // operation runs (from inside its yield), which the status line says.
  bool OpenCapture(const std::filesystem::path& file);
  // The same, the capture's provider given by `read`, which throws as
  // ReadCapture does (a reading begun earlier, on a thread of its own).
  bool OpenCapture(const std::filesystem::path& file, const std::function<std::unique_ptr<wmi::Provider>()>& read);
  // Reads the capture in `file`; throws std::exception with the reason when
  // it cannot.
  static std::unique_ptr<wmi::Provider> ReadCapture(const std::filesystem::path& file);
  // The file name of the capture shown (UTF-8), "" for this machine.
  const std::string& CaptureName() const { return capture_name_; }
  // The window's title: the caption, and the capture's name when one is open.
  std::string Title() const;

  // A line in the status text that stays while no batch runs.
  void ShowNotice(std::string_view text);
  // Tells, in the status text, where dump files go when the folder beside the
  // program could not be used.
  void TellInfoFolder(const InfoFolder& folder);
  // The focused control's whole caption where the control cuts it, "" when
  // the focus leaves it: the status line shows it while no batch runs.
  void ShowFocusedCaption(std::string_view caption);
  StatusLine Status() const;

  // Ctrl+I and the pane's menu: the system summary in the pane, headed "概要"
  // like a button's output.
  void ShowSummary();

  bool BatchRunning() const { return batch_depth_ > 0; }
  // Esc: stops the running batch after the class or button at hand. False
  // when no batch runs (the key is then the front-end's own).
  bool Escape();
  // The window is closing: a running batch stops, and nothing starts anew.
  void Close();
  bool Closing() const { return closing_; }

  // browser::Window
  wmi::Provider& provider() override { return capture_ ? *capture_ : provider_; }
  // Events taken in PumpMessages run inside the operation that yields.
  void Yield() override;
  std::optional<std::filesystem::path> InfoDirectory() override;
  void DumpFileFailed(const std::filesystem::path& file, const std::string& reason) override;
  void BatchStarted(std::string_view name) override;
  void BatchProgress(int step, int total) override;
  void BatchEnded() override;
  bool StopRequested() override { return stop_requested_ || closing_; }

 protected:
  // Processes the pending window messages once.
  virtual void PumpMessages() = 0;
  // The text of entry `index` of List1.
  virtual std::string ClassEntry(int index) = 0;
  // Redraw the status line from Status(), the title from Title().
  virtual void StatusChanged() = 0;
  virtual void TitleChanged() = 0;
  // A message the user must read (a capture that cannot be opened).
  virtual void ShowError(const std::string& text) = 0;
  // A batch starts (true) or the last one ends (false): the busy cursor.
  virtual void BusyChanged(bool busy) { (void)busy; }

  wmi::Provider& machine_provider() { return provider_; }

 private:
  wmi::Provider& provider_;
  std::unique_ptr<wmi::Provider> capture_;  // the opened capture, when one is
  std::string capture_name_;
  std::filesystem::path info_;

  std::string notice_;  // stays while no batch runs
  std::string focused_caption_;
  std::string message_;       // the last refused action
  std::string stopped_;       // where the last batch was stopped, "" when it ran to its end
  std::string dump_failure_;  // the last dump file that could not be written
  int dump_failures_ = 0;
  std::vector<std::string> batches_;  // names of the running batches, nested
  int batch_depth_ = 0;
  int batch_step_ = 0, batch_total_ = 0;
  bool stop_requested_ = false;
  bool closing_ = false;
  int yield_depth_ = 0;
};

}  // namespace front
