// Where the controls that the program creates again stand, in the main window's client pixels:
// named once for the window's build, the run's view and the main loop's reset and Store score.
#pragma once

#include <cstdint>

#include "ui/ui.h"

namespace ui {

struct Place {
  std::int64_t x, y, width, height;
};

constexpr Place DriveUnderTestPlace = {180, 136, 145, 20};  // as built, and throughout a run
constexpr Place ScorePlace = {195, 202, 130, 30};           // as built, in a run and after a reset
constexpr Place StoredScorePlace = {195, 325, 130, 30};     // as built
// These two lie off the places above on purpose: after a reset the drive text stands 10 px to the
// right of where it was built, and a stored score 5 px up and to the left. The window has always
// looked so after a stopped run and after Store score. They are not typos: do not align them.
constexpr Place DriveUnderTestAfterReset = {190, 136, 145, 20};
constexpr Place StoredScoreShown = {190, 320, 130, 30};

// A centred text at the place, replacing any control of that number.
inline void CreateCentredText(std::int64_t number, const Place& place, const wchar_t* text) {
  (void)CreateTextControl(number, place.x, place.y, place.width, place.height, text, true);
}

}  // namespace ui
