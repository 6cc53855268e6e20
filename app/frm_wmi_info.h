// frmWMIInfo, the program's one window: the hint text, the eighteen category
// groups, the result pane, the batch button and auto-clear switch, and the
// class browser right of the visible width.
#pragma once

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "app/result_pane.h"
#include "app/wait_pump.h"
#include "browser/window.h"
#include "wmi/provider.h"

namespace app {

inline constexpr char kWindowCaption[] = "PC情報収集プログラム";

// The auto-clear switch: a click ticks or unticks it; grayed is set only
// from code.
class AutoClearBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;
  int Value() const;  // 0 not ticked, 1 ticked, 2 grayed
  void SetValue(int value);

 protected:
  void nextCheckState() override;
};

class FrmWmiInfo : public QWidget, public browser::Window {
 public:
  // `info` is the folder dump files go into (the `info` folder beside the
  // program).
  // Sets the provider's wait hook (WaitPump) until the window is destroyed.
  FrmWmiInfo(wmi::Provider& provider, std::filesystem::path info, QWidget* parent = nullptr);
  ~FrmWmiInfo() override;

  // Start-up: fills the class list, selects its first entry (which dumps it),
  // adds "cimv2" to the namespace list and selects it, sets the width.
  void Load();

  // Twips to pixels with the screen's logical DPI.
  int TwipsX(int twips) const;
  int TwipsY(int twips) const;

  // browser::Window
  queries::Pane& pane() override { return *rtxt_msg_; }
  wmi::Provider& provider() override { return provider_; }
  void Yield() override;
  int ClassCount() override;
  int SelectedClassIndex() override;
  void SelectClass(int index) override;
  std::string SelectedClass() override;
  std::string SelectedNamespace() override;
  void SetNamespaceListEnabled(bool enabled) override;
  void SetTestButtonEnabled(bool enabled) override;
  void SetAllGetEnabled(bool enabled) override;
  int AutoClearValue() override;
  void SetAutoClearValue(int value) override;
  std::optional<std::filesystem::path> InfoDirectory() override { return info_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QRect Place(int left, int top, int width, int height) const;
  void ApplyStartWidth();

  wmi::Provider& provider_;
  std::filesystem::path info_;
  QPlainTextEdit* text2_ = nullptr;
  ResultPane* rtxt_msg_ = nullptr;
  QPushButton* cmd_all_get_ = nullptr;
  AutoClearBox* chk_clear_ = nullptr;
  QPushButton* command61_ = nullptr;
  QPushButton* command62_ = nullptr;
  QListWidget* list1_ = nullptr;
  QListWidget* list2_ = nullptr;
  bool width_applied_on_show_ = false;
  int row_before_press_ = -1;  // List1's selection when the mouse went down
  WaitPump* wait_pump_ = nullptr;
};

}  // namespace app
