// frmWMIInfo, the program's one window: the hint text, the eighteen category
// groups, the result pane, the batch button and auto-clear switch, and the
// class browser right of the visible width.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/result_pane.h"
#include "app/wait_pump.h"
#include "front/form.h"
#include "front/info_folder.h"
#include "front/layout.h"
#include "wmi/provider.h"

namespace app {

using front::kWindowCaption;

// "ＭＳ ゴシック" 9 point, or the installed Japanese gothic face closest to it:
// the font of Text2 and the result pane.
QFont GothicFont();
// The proportional Japanese UI face, 9 point (the system's own on Windows):
// the font of the buttons, labels and lists.
QFont UiFont();

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

// A list box that always shows one entry selected once it has a current
// entry: Ctrl+click or Ctrl+Space on the selected entry leaves it selected.
class ListBox : public QListWidget {
 public:
  explicit ListBox(QWidget* parent = nullptr);

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event = nullptr) const override;
};

// A command button that Enter presses as well as Space, as on Windows.
class CommandButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class FrmWmiInfo : public QWidget, public front::Form {
 public:
  // `provider` is this machine's WMI; `info` is the folder dump files go into
  // (the `info` folder beside the program, or the per-user one); it is made
  // when missing. Sets the provider's wait hook (WaitPump) until the window
  // is destroyed.
  FrmWmiInfo(wmi::Provider& provider, std::filesystem::path info, QWidget* parent = nullptr);
  ~FrmWmiInfo() override;

  // front::Form::OpenCapture on a file name as Qt gives it.
  using front::Form::OpenCapture;
  bool OpenCapture(const QString& file);
  // The capture file shown, "" for this machine.
  QString CaptureName() const { return QString::fromStdString(front::Form::CaptureName()); }

  // A line in the status text that stays while no batch runs (where dumps
  // go, for one).
  using front::Form::ShowNotice;
  void ShowNotice(const QString& text) { front::Form::ShowNotice(text.toStdString()); }
  QString StatusText() const;

  // Ctrl+S: asks for a file and saves the pane's text there (UTF-8, CR LF).
  // SavePaneTo writes it; false (with the reason) when it cannot.
  void SavePane();
  bool SavePaneTo(const QString& file, QString* error);
  // Ctrl+F: shows the find bar. FindInPane selects the next (or previous)
  // match of the find bar's text, wrapping round, and highlights every match;
  // false when there is none.
  void ShowFindBar();
  bool FindInPane(bool backward);

  QAction* SaveAction() const { return act_save_; }
  QAction* FindAction() const { return act_find_; }
  // Gives every button, group label and check box whose caption its width
  // cuts in its present font the whole caption as its tooltip, shown in the
  // status line while it has the focus. Run once the window has been drawn
  // (CaptionsMarked() is then true); again after a change of font.
  void MarkCutCaptions();
  bool CaptionsMarked() const { return captions_measured_; }
  // Gives the class list's entries their one size, measured from the widest
  // name, having first made the class browser LoadForShow left out. Run once
  // the window has been drawn (ClassListSized() is then true); until then the
  // entries are as high and at least as wide.
  void SizeClassList();
  bool ClassListSized() const { return class_list_sized_; }

  // Start-up: fills the class list, selects its first entry (which dumps it),
  // adds "cimv2" to the namespace list and selects it, sets the width.
  void Load();
  // Load as the program opens its window: the first entry is dumped as by
  // Load, but the class browser (Command61, List2, List1 with its find field,
  // Command62), which lies beyond the window's width, is made only once the
  // window has been drawn, its list whole, measured and selected as by Load.
  // Anything that wants it sooner (the window widened onto it, the browser's
  // own calls) makes it first. ClassListSized() is true once it is done.
  void LoadForShow();

  // Twips to pixels with the screen's logical DPI.
  int TwipsX(int twips) const;
  int TwipsY(int twips) const;

  // browser::Window
  queries::Pane& pane() override { return *rtxt_msg_; }
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

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // A message the user must read (a capture that cannot be opened, a save
  // that failed): a warning box.
  virtual void ShowError(const QString& text);

  // front::Form
  void PumpMessages() override;
  std::string ClassEntry(int index) override;
  void StatusChanged() override { UpdateStatus(); }
  void TitleChanged() override { UpdateTitle(); }
  void ShowError(const std::string& text) override { ShowError(QString::fromStdString(text)); }
  void BusyChanged(bool busy) override;

 private:
  void BuildControls();
  void BuildStatusLine();
  void BuildFindBar();
  void BuildFindBarOnce();
  QRect Place(int left, int top, int width, int height) const;
  QRect Place(const front::Rect& r) const { return Place(r.left, r.top, r.width, r.height); }
  void ApplyStartWidth();
  void PlaceControl(QWidget* w, std::string_view name);
  std::array<QWidget*, 5> BuildClassBrowser();  // the five, in the form's order
  void CompleteClassBrowser();                  // made, filled and selected, once
  void UpdateTitle();
  void UpdateStatus();
  void HideFindBar();
  void HighlightMatches(const QString& needle);
  void EscapePressed();

  wmi::Provider& provider_;
  QPlainTextEdit* text2_ = nullptr;
  ResultPane* rtxt_msg_ = nullptr;
  QPushButton* cmd_all_get_ = nullptr;
  AutoClearBox* chk_clear_ = nullptr;
  QPushButton* command61_ = nullptr;
  QPushButton* command62_ = nullptr;
  QListWidget* list1_ = nullptr;
  QListWidget* list2_ = nullptr;
  bool width_applied_on_show_ = false;
  bool captions_marked_ = false;     // marking asked for, after the first paint
  bool captions_measured_ = false;   // MarkCutCaptions has run
  bool class_list_sized_ = false;    // SizeClassList has run
  bool loaded_ = false;              // Load or LoadForShow has run
  bool first_dump_ = false;          // LoadForShow's dump, before the class browser is made
  int row_before_press_ = -1;        // List1's selection when the mouse went down
  WaitPump* wait_pump_ = nullptr;

  // Status line.
  QProgressBar* prg_batch_ = nullptr;
  QLabel* lbl_status_ = nullptr;

  // Save and find.
  QAction* act_save_ = nullptr;
  QAction* act_find_ = nullptr;
  QFrame* fra_find_ = nullptr;
  QLineEdit* txt_find_ = nullptr;
  QLabel* lbl_find_ = nullptr;
};

}  // namespace app
