// Whether each caption of the form can be read whole on its control, for
// every front-end: the front-end measures in its own face and knows its
// controls' margins; this lists the captions and decides. A caption that does
// not fit keeps its whole text as the control's tooltip, and the status line
// shows it while the control has the focus.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

namespace front {

struct CaptionPlace {
  enum class Kind { Button, Label, CheckBox };
  std::string_view control;  // "Command48", "Label6", "cmdAllGet"
  std::string_view caption;
  int width;  // twips
  Kind kind;
};

// Every category button and group label (groups in the window's order), then
// cmdAllGet, chkClear, Command61 and Command62.
std::vector<CaptionPlace> CaptionPlaces();

// Pixels: the caption's width in the control's face, and the width the
// control leaves for its text.
using MeasureCaption = std::function<int(const CaptionPlace&)>;
using CaptionRoom = std::function<int(const CaptionPlace&)>;

inline bool CaptionFits(const CaptionPlace& place, const CaptionRoom& room, const MeasureCaption& measure) {
  return measure(place) <= room(place);
}

// The places whose captions do not fit.
std::vector<CaptionPlace> CutCaptions(const CaptionRoom& room, const MeasureCaption& measure);

}  // namespace front
