// Writes the Tarnwick.cfg that bench/line_rates.py runs the program with: the
// defaults, then COM1, HEX in 1-byte units, 16 columns, ROWS rows (25 unless
// given), and both logs on into the given files.
//
// Usage: line_rates_config DIRECTORY RAW_LOG TEXT_LOG [ROWS]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "settings/settings.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: line_rates_config DIRECTORY RAW_LOG TEXT_LOG [ROWS]\n");
    return 2;
  }
  tarnwick::SETTINGS settings = tarnwick::DefaultSettings();
  settings.nPortIndex = 0;
  settings.nUnitFormatIndex = tarnwick::kFormatHex;
  settings.nUnitLengthIndex = 0;
  settings.nColumns = 16;
  settings.nRows = argc == 5 ? std::atoi(argv[4]) : 25;
  settings.bSaveRaw = 1;
  settings.bSaveText = 1;
  std::snprintf(settings.szRawFile, sizeof settings.szRawFile, "%s", argv[2]);
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", argv[3]);
  std::ofstream out(std::string(argv[1]) + "/Tarnwick.cfg", std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&settings), sizeof settings);
  return out.good() ? 0 : 1;
}
