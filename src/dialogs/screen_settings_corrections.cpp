#include "dialogs/screen_settings_corrections.h"

namespace tarnwick {

void CorrectScreenSettings(SETTINGS& settings) {
  if (settings.nUnitFormatIndex == kFormatFloat) settings.nUnitLengthIndex = 3;
  if (settings.nUnitFormatIndex == kFormatText) {
    settings.nUnitLengthIndex = 0;
  } else if (settings.nColumns == 0) {
    settings.nColumns = 1;
  }
}

}  // namespace tarnwick
