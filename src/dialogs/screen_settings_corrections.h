// What the Screen Settings command puts right in the record once the dialog
// has closed, whether by OK or by Cancel.
#pragma once

#include "settings/settings.h"

namespace tarnwick {

// In this order: FLOAT takes four-byte units; TEXT takes one-byte units;
// any other format with Columns 0 gets Columns 1 (TEXT keeps 0, line mode).
void CorrectScreenSettings(SETTINGS& settings);

}  // namespace tarnwick
