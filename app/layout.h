// Where the controls of frmWMIInfo stand, in twips (1440 to the inch),
// relative to the window's client area, or, for a category button, to its
// group frame. Data only; the window turns it into widgets.
#pragma once

#include <span>
#include <string_view>

namespace app {

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

}  // namespace app
