// What the command line sets up for one run: the device, the line, the
// format, the logs. Each value that is given takes the place of what
// Tarnwick.cfg or the profile says, for that run only. RunSetup lays them
// over the record at start-up and takes them off again before the record is
// saved; the profile's entries they stand for are changed in memory only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/message_box.h"
#include "settings/display_options.h"
#include "settings/settings.h"

namespace tarnwick {

enum class FlowControl { kNone, kRtsCts, kDsrDtr };

struct RunSettings {
  // What the record's COM number opens, as TARNWICK_COMn names it: a path,
  // rfc2217://HOST:PORT or tcp://HOST:PORT. Empty: as the profile says.
  std::string strDevice;
  // A rate from the baud list becomes the record's index; any other is the
  // COM number's typed rate, as Port Settings keeps one.
  std::optional<std::uint32_t> nBaud;
  std::optional<std::int32_t> nDataBits;       // 5..8
  std::optional<std::int32_t> nParityIndex;    // the record's parity list
  std::optional<std::int32_t> nStopBitsIndex;  // 0: 1, 1: 1.5, 2: 2 stop bits
  std::optional<FlowControl> flow;
  std::optional<std::int32_t> nUnitFormatIndex;  // UnitFormat
  std::optional<std::int32_t> nUnitBytes;        // 1..4
  bool bReverseBytes = false;
  std::optional<std::int32_t> nColumns;
  std::optional<std::int32_t> nRows;
  // A path, or "-" for standard output; the log is switched on.
  std::optional<std::string> strRawLog;
  std::optional<std::string> strTextLog;
  // Arrival times in the view's gutter and in the text log, in this style.
  std::optional<TimestampStyle> timestamps;
  std::optional<std::int32_t> nLineEnds;  // LineEndsMode
  std::optional<std::int32_t> nPauseBreakMs;
  // TEXT: the encoding, SGR colours, how control characters look.
  std::optional<TextEncoding> encoding;
  bool bAnsi = false;
  std::optional<ControlCharacters> controls;

  // Whether anything is given: then the run needs no Tarnwick.cfg.
  bool SetsUpRun() const { return *this != RunSettings{}; }
  // The display options given, over the profile's.
  void ApplyTo(DisplayOptions& options) const;

  friend bool operator==(const RunSettings&, const RunSettings&) = default;
};

class RunSetup {
 public:
  explicit RunSetup(RunSettings run = {}) : m_run(std::move(run)) {}

  const RunSettings& Run() const { return m_run; }

  // Start-up: Tarnwick.cfg from startDir into record, then the run's
  // settings over it. A file that is simply missing is not reported when
  // the run is set up; any other failure shows LoadConfig's warning through
  // boxes. The device and a rate beside the list go to the record's COM
  // number in memory. Returns false when the file could not be read and the
  // run sets nothing up: the window then asks for the port settings.
  // Call after the profile's per-port entries are loaded.
  bool Load(SETTINGS& record, const std::string& startDir, MessageBoxes& boxes);

  // The record as Tarnwick.cfg is to keep it: each field that still holds
  // the run's value gets the file's value back; a field changed since (in a
  // dialog) keeps the change.
  SETTINGS RecordToSave(const SETTINGS& record) const;

 private:
  void LayOver(SETTINGS& record) const;

  RunSettings m_run;
  SETTINGS m_loaded = DefaultSettings();
  SETTINGS m_laidOver = DefaultSettings();
};

}  // namespace tarnwick
