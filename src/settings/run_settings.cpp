#include "settings/run_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "dialogs/screen_settings_corrections.h"
#include "platform/com_names.h"
#include "port/line_tables.h"
#include "settings/config_file.h"

namespace tarnwick {
namespace {

// Positions in the DTR and RTS control lists.
constexpr std::int32_t kLineEnable = 1;
constexpr std::int32_t kLineHandshake = 2;

// A line that was the flow control's hand goes on raised as a plain line.
void NoHandshake(std::int32_t& lineIndex) {
  if (lineIndex == kLineHandshake) lineIndex = kLineEnable;
}

void SetPath(char (&buffer)[kPathBufferSize], const std::string& path) {
  std::memset(buffer, 0, sizeof buffer);
  std::memcpy(buffer, path.data(), std::min(path.size(), sizeof buffer - 1));
}

// A field of the record: its value goes back to the file's when it is still
// the run's.
template <typename T>
void PutBack(T SETTINGS::*field, SETTINGS& record, const SETTINGS& run, const SETTINGS& loaded) {
  if (std::memcmp(&(record.*field), &(run.*field), sizeof(T)) == 0) {
    std::memcpy(&(record.*field), &(loaded.*field), sizeof(T));
  }
}

}  // namespace

void RunSettings::ApplyTo(DisplayOptions& options) const {
  if (timestamps) {
    options.bShowTimestamps = true;
    options.bTimestampsInLog = true;
    options.timestampStyle = *timestamps;
  }
  if (nLineEnds) options.nLineEnds = *nLineEnds;
  if (nPauseBreakMs) options.nPauseBreakMs = *nPauseBreakMs;
  if (encoding) options.textEncoding = *encoding;
  if (bAnsi) options.bAnsiColours = true;
  if (controls) options.controlCharacters = *controls;
}

bool RunSetup::Load(SETTINGS& record, const std::string& startDir, MessageBoxes& boxes) {
  std::error_code error;
  const bool missing = !std::filesystem::exists(ConfigFilePath(startDir), error) && !error;
  const bool loaded = m_run.SetsUpRun() && missing ? false : LoadConfig(record, startDir, boxes);
  m_loaded = record;
  LayOver(record);
  m_laidOver = record;
  return loaded || m_run.SetsUpRun();
}

void RunSetup::LayOver(SETTINGS& record) const {
  const RunSettings& run = m_run;
  const int comNumber = CheckedLineIndexes(record).nPortIndex + 1;
  if (!run.strDevice.empty()) SetRunComDevice(comNumber, run.strDevice);
  if (run.nBaud) {
    const auto listed = std::find(kBaudRates.begin(), kBaudRates.end(), *run.nBaud);
    if (listed != kBaudRates.end()) {
      record.nBaudIndex = static_cast<std::int32_t>(listed - kBaudRates.begin());
    }
    // The COM number's typed rate wins over the index: replaced for the run.
    SetProfileComBaud(comNumber, listed != kBaudRates.end() ? 0 : *run.nBaud);
  }
  if (run.nDataBits) record.nDataBitsIndex = *run.nDataBits - 5;
  if (run.nParityIndex) record.nParityIndex = *run.nParityIndex;
  if (run.nStopBitsIndex) record.nStopBitsIndex = *run.nStopBitsIndex;
  if (run.flow) {
    record.bUseCts = *run.flow == FlowControl::kRtsCts ? 1 : 0;
    record.bUseDsr = *run.flow == FlowControl::kDsrDtr ? 1 : 0;
    NoHandshake(record.nRtsIndex);
    NoHandshake(record.nDtrIndex);
    if (*run.flow == FlowControl::kRtsCts) record.nRtsIndex = kLineHandshake;
    if (*run.flow == FlowControl::kDsrDtr) record.nDtrIndex = kLineHandshake;
  }
  if (run.nUnitFormatIndex) record.nUnitFormatIndex = *run.nUnitFormatIndex;
  if (run.nUnitBytes) record.nUnitLengthIndex = *run.nUnitBytes - 1;
  if (run.bReverseBytes) record.bReverseBytes = 1;
  if (run.nColumns) record.nColumns = *run.nColumns;
  if (run.nRows) record.nRows = *run.nRows;
  // As Screen Settings leaves them: FLOAT in 4-byte units, TEXT in 1-byte
  // units, other formats with at least one column.
  if (run.nUnitFormatIndex || run.nUnitBytes || run.nColumns) CorrectScreenSettings(record);
  if (run.strRawLog) {
    record.bSaveRaw = 1;
    SetPath(record.szRawFile, *run.strRawLog);
  }
  if (run.strTextLog) {
    record.bSaveText = 1;
    SetPath(record.szTextFile, *run.strTextLog);
  }
}

SETTINGS RunSetup::RecordToSave(const SETTINGS& record) const {
  SETTINGS saved = record;
  // Every field LayOver may write.
  PutBack(&SETTINGS::nBaudIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nDataBitsIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nStopBitsIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nParityIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::bUseDsr, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::bUseCts, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nDtrIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nRtsIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::bSaveRaw, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nColumns, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nRows, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::bReverseBytes, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nUnitLengthIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::nUnitFormatIndex, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::bSaveText, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::szTextFile, saved, m_laidOver, m_loaded);
  PutBack(&SETTINGS::szRawFile, saved, m_laidOver, m_loaded);
  return saved;
}

}  // namespace tarnwick
