#include "settings/settings.h"

#include <cstring>

namespace tarnwick {

void SetDefaultSettings(SETTINGS& settings) {
  std::memset(&settings, 0, sizeof settings);
  settings.nBaudIndex = 6;      // 9600
  settings.nDataBitsIndex = 3;  // 8 bits
  settings.bSaveRaw = 0;
  settings.lfFont.lfHeight = 20;
  settings.crBackground = 0xFFFFFF;
  settings.nColumns = 8;
  settings.nRows = 8;
  settings.chDelimiter = 0x20;
  settings.bSaveText = 0;
}

SETTINGS DefaultSettings() {
  SETTINGS settings;
  SetDefaultSettings(settings);
  return settings;
}

}  // namespace tarnwick
