// The form frmWMIInfo as data, for every front-end that draws it: where its
// controls stand, in twips (1440 to the inch) relative to the window's client
// area or, for a category button, to its group frame; their captions, colours
// and fonts; and the order they are made in, which is their tab order.
#pragma once

#include <span>
#include <string_view>

namespace front {

inline constexpr char kWindowCaption[] = "PC情報収集プログラム";
// Text2's hint, two lines each ended by CR LF.
inline constexpr char kHint[] =
    "取得可能な情報が列挙されています。必要に応じて利用してください。\r\n"
    "ボタンを押すと、情報が表示されます。\r\n";
inline constexpr char kAllGetCaption[] = "全自動収集";
inline constexpr char kClearCaption[] = "自動クリア";
inline constexpr char kTestCaption[] = "テスト";
inline constexpr char kAutoSaveCaption[] = "AutoSave";
inline constexpr char kNamespace[] = "cimv2";  // List2's one entry

// Text2 and the group captions: light green.
struct Colour {
  int red, green, blue;
};
inline constexpr Colour kLightGreen{192, 255, 192};

// Text2 and the result pane: "ＭＳ ゴシック" 9 point. The buttons take the
// system's proportional UI face.
inline constexpr char kGothicFace[] = "ＭＳ ゴシック";
inline constexpr int kGothicPoints = 9;

inline constexpr int kTwipsPerInch = 1440;
// Twips to pixels at `dpi` dots per inch (15 twips a pixel at 96).
constexpr int TwipsToPixels(int twips, int dpi) { return twips * dpi / kTwipsPerInch; }

// What the batch state switches: 全自動収集 runs with auto-clear off and lets
// the window live meanwhile, so the switch waits with the button (a click
// would clear the pane half-way).
inline constexpr std::string_view kAllGetControls[] = {"cmdAllGet", "chkClear"};

struct Rect {
  int left, top, width, height;
};

// Design client area and the outer width the window opens with.
inline constexpr int kDesignWidth = 24210;
inline constexpr int kDesignHeight = 12660;
inline constexpr int kStartWidth = 16665;

inline constexpr int kButtonHeight = 300;  // every category button
inline constexpr int kLabelHeight = 300;   // every group caption label
inline constexpr int kLabelOffset = -15;   // a label's left and top inside its frame

struct Control {
  std::string_view name;
  Rect rect;
};

// Text2, rtxtMsg, cmdAllGet, chkClear, Command61, List2, List1, Command62.
// clang-format off
inline constexpr Control kControls[] = {
    {"Text2", {0, 0, 16365, 615}},
    {"rtxtMsg", {9480, 600, 6885, 12015}},
    {"cmdAllGet", {6930, 12090, 1215, 495}},
    {"chkClear", {8190, 12090, 1215, 495}},
    {"Command61", {16695, 150, 1215, 495}},
    {"List2", {18750, 180, 1215, 390}},
    {"List1", {16710, 705, 7455, 11730}},
    {"Command62", {21675, 210, 1215, 495}},
};
// clang-format on

// The status line below the groups, left of cmdAllGet: the batch progress bar
// and the status text (progress, where dumps go, dump files that failed).
// While no batch runs the text takes the whole line.
inline constexpr Rect kProgressRect{60, 12150, 2700, 375};
inline constexpr Rect kStatusBatchRect{2820, 12090, 4050, 495};
inline constexpr Rect kStatusIdleRect{60, 12090, 6810, 495};

struct GroupButton {
  std::string_view control;
  int left, top, width;
};

struct Group {
  std::string_view frame;
  std::string_view label;
  std::string_view caption;
  Rect rect;
  std::span<const GroupButton> buttons;
};

// The eighteen groups in the window's order, buttons row by row, left to right.
std::span<const Group> Groups();

// The rectangle of a control of kControls; nullptr for another name.
const Rect* ControlRect(std::string_view name);

// The form's named controls in the order they are made, which is the order
// Tab walks: Text2, each group (frame, label, its buttons), rtxtMsg,
// cmdAllGet, chkClear, Command61, List2, List1, Command62. A control's place
// in this list gives its control ID where the toolkit asks for one.
std::span<const std::string_view> TabOrder();
// The ID of a named control: kFirstControlId for the first of TabOrder, one
// more for each after it (the IDs below are the dialog keys' own, IDOK and
// IDCANCEL); 0 for another name.
inline constexpr int kFirstControlId = 101;
int ControlId(std::string_view name);

}  // namespace front
