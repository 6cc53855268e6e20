#include "front/captions.h"

#include "front/layout.h"
#include "queries/buttons.h"

namespace front {

std::vector<CaptionPlace> CaptionPlaces() {
  std::vector<CaptionPlace> places;
  for (const Group& g : Groups()) {
    places.push_back({g.label, g.caption, g.rect.width, CaptionPlace::Kind::Label});
    for (const GroupButton& b : g.buttons)
      if (const queries::Button* row = queries::FindButton(b.control))
        places.push_back({b.control, row->caption, b.width, CaptionPlace::Kind::Button});
  }
  const auto width = [](std::string_view name) { return ControlRect(name)->width; };
  places.push_back({"cmdAllGet", kAllGetCaption, width("cmdAllGet"), CaptionPlace::Kind::Button});
  places.push_back({"chkClear", kClearCaption, width("chkClear"), CaptionPlace::Kind::CheckBox});
  places.push_back({"Command61", kTestCaption, width("Command61"), CaptionPlace::Kind::Button});
  places.push_back({"Command62", kAutoSaveCaption, width("Command62"), CaptionPlace::Kind::Button});
  return places;
}

std::vector<CaptionPlace> CutCaptions(const CaptionRoom& room, const MeasureCaption& measure) {
  std::vector<CaptionPlace> cut;
  for (const CaptionPlace& p : CaptionPlaces())
    if (!CaptionFits(p, room, measure)) cut.push_back(p);
  return cut;
}

}  // namespace front
