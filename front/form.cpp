#include "front/form.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <fstream>
#include <system_error>

#include "queries/summary.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/utf8_path.h"

namespace front {

namespace {

constexpr char kRefusedWhileBusy[] = "実行中の処理が終わってから記録を開いてください: ";
constexpr char kPerUserNotice[] = "プログラムの info フォルダーに書けないため、ダンプファイルはここに保存します: ";
constexpr char kStopping[] = "\n中止しています…";
constexpr char kEscStops[] = "\nEsc で中止";
constexpr char kStoppedAt[] = " で中止";  // after "AutoSave: 92 / 1211"

std::string FileNameOf(const std::filesystem::path& file) { return wmi::Utf8FromPath(file.filename()); }

}  // namespace

bool SaveTextFile(const std::filesystem::path& file, std::string_view bytes, std::string* error) {
  namespace fs = std::filesystem;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path part = file;
  part += ".part-" + std::to_string(stamp);
  bool written;
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    written = out.is_open() && static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) &&
              static_cast<bool>(out.flush());
  }
  std::error_code ec;
  if (written) {
    fs::rename(part, file, ec);
    if (!ec) return true;
  } else {
    ec = std::make_error_code(std::errc::io_error);
    if (!fs::exists(part)) ec = std::make_error_code(std::errc::no_such_file_or_directory);
  }
  std::error_code ignored;
  fs::remove(part, ignored);
  if (error) *error = ec.message();
  return false;
}

Form::Form(wmi::Provider& provider, std::filesystem::path info) : provider_(provider), info_(std::move(info)) {}

std::unique_ptr<wmi::Provider> Form::ReadCapture(const std::filesystem::path& file) {
  return wmi::RecordedProvider::FromFile(wmi::Utf8FromPath(file));
}

bool Form::OpenCapture(const std::filesystem::path& file) {
  return OpenCapture(file, [&file] { return ReadCapture(file); });
}

bool Form::OpenCapture(const std::filesystem::path& file, const std::function<std::unique_ptr<wmi::Provider>()>& read) {
  if (yield_depth_ > 0 || batch_depth_ > 0) {
    message_ = kRefusedWhileBusy + FileNameOf(file);
    StatusChanged();
    return false;
  }
  std::unique_ptr<wmi::Provider> opened;
  try {
    opened = read();
  } catch (const std::exception& e) {
    ShowError(kOpenFailed + std::string(e.what()));
    return false;
  }
  capture_ = std::move(opened);
  capture_name_ = FileNameOf(file);
  message_.clear();
  StatusChanged();
  TitleChanged();
  return true;
}

std::string Form::Title() const {
  std::string title = kWindowCaption;
  if (!capture_name_.empty()) title += " - " + capture_name_;
  return title;
}

void Form::ShowFocusedCaption(std::string_view caption) {
  if (focused_caption_ == caption) return;
  focused_caption_ = caption;
  StatusChanged();
}

void Form::ShowSummary() { queries::RunSummary(*this, queries::Language::Japanese); }

void Form::ShowNotice(std::string_view text) {
  notice_ = text;
  StatusChanged();
}

void Form::TellInfoFolder(const InfoFolder& folder) {
  if (!folder.per_user) return;
  ShowNotice(kPerUserNotice + wmi::Utf8FromPath(folder.path));
}

StatusLine Form::Status() const {
  StatusLine line;
  if (batch_depth_ > 0) {
    line.batch = true;
    line.progress_max = std::max(batch_total_, 1);
    line.progress_value = std::clamp(batch_step_, 0, line.progress_max);
    line.text_rect = kStatusBatchRect;
    line.text = batches_.back();
    if (batch_total_ > 0) {
      line.text += ' ';
      line.text += std::to_string(batch_step_);
      line.text += " / ";
      line.text += std::to_string(batch_total_);
    }
    Form& self = const_cast<Form&>(*this);  // reading the list changes nothing
    if (batches_.back() == kAutoSaveCaption && batch_step_ >= 1 && batch_step_ <= self.ClassCount()) {
      line.text += ' ';
      line.text += self.ClassEntry(batch_step_ - 1);
    }
    line.text += stop_requested_ ? kStopping : kEscStops;
  } else {
    line.text_rect = kStatusIdleRect;
    std::vector<std::string> lines;
    if (!focused_caption_.empty()) lines.push_back(focused_caption_);
    if (dump_failures_ > 0)
      lines.push_back("ダンプファイル " + std::to_string(dump_failures_) +
                      " 件を書けませんでした。最後: " + dump_failure_);
    if (!message_.empty()) lines.push_back(message_);
    if (!stopped_.empty()) lines.push_back(stopped_);
    if (!notice_.empty()) lines.push_back(notice_);
    for (std::size_t i = 0; i < lines.size(); ++i) line.text += (i ? "\n" : "") + lines[i];
  }
  return line;
}

bool Form::Escape() {
  if (batch_depth_ == 0) return false;
  stop_requested_ = true;
  StatusChanged();
  return true;
}

void Form::Close() { closing_ = true; }

void Form::Yield() {
  ++yield_depth_;
  PumpMessages();
  --yield_depth_;
}

std::optional<std::filesystem::path> Form::InfoDirectory() {
  // Made at run time when missing; a folder that cannot be made leaves the
  // dump to its pane output.
  std::error_code ec;
  std::filesystem::create_directories(info_, ec);
  return info_;
}

void Form::DumpFileFailed(const std::filesystem::path& file, const std::string& reason) {
  ++dump_failures_;
  dump_failure_ = wmi::Utf8FromPath(file) + ": " + reason;
  StatusChanged();
}

void Form::BatchStarted(std::string_view name) {
  if (batch_depth_++ == 0) {
    stop_requested_ = false;
    stopped_.clear();
    BusyChanged(true);
  }
  batches_.emplace_back(name);
  batch_step_ = 0;
  batch_total_ = 0;
  StatusChanged();
}

void Form::BatchProgress(int step, int total) {
  batch_step_ = step;
  batch_total_ = total;
  StatusChanged();
}

void Form::BatchEnded() {
  if (batch_depth_ == 0) return;
  // A batch stopped short of its last step: the status line keeps where.
  if (stop_requested_ && batch_depth_ == 1 && batch_total_ > 0 && batch_step_ < batch_total_)
    stopped_ = batches_.back() + ": " + std::to_string(batch_step_) + " / " + std::to_string(batch_total_) + kStoppedAt;
  batches_.pop_back();
  if (--batch_depth_ == 0) {
    stop_requested_ = false;
    BusyChanged(false);
    pane().ScrollToEnd();  // the batch's last output in view
  }
  StatusChanged();
}

}  // namespace front
