// Settings that show HEX units and log into a test's own directory: the
// setup every end-to-end logging test starts from.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {

// HEX, with the raw log "raw.log" and the text log "text.log" in dir when asked.
inline SETTINGS HexLoggingSettings(const TempDir& dir, bool saveRaw, bool saveText) {
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.bSaveRaw = saveRaw ? 1 : 0;
  settings.bSaveText = saveText ? 1 : 0;
  std::snprintf(settings.szRawFile, sizeof settings.szRawFile, "%s", dir.File("raw.log").c_str());
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s",
                dir.File("text.log").c_str());
  return settings;
}

// Writes the record as the start directory's configuration file; returns its bytes.
inline std::vector<unsigned char> WriteConfigFile(const TempDir& dir, const SETTINGS& settings) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&settings);
  std::vector<unsigned char> config(bytes, bytes + sizeof settings);
  WriteBytes(dir.File("Tarnwick.cfg"), config);
  return config;
}

}  // namespace tarnwick::testing
