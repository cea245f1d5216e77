// The screen model: received bytes gathered into units, formatted, and kept as
// display lines. The view owns it and draws from it; the port worker feeds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "display/output_file.h"
#include "display/repaint_sink.h"
#include "settings/settings.h"

namespace tarnwick {

// One display line: bytes with an explicit length; any byte value may occur.
using DisplayLine = std::string;

class ScreenModel {
 public:
  // settings is the live record, read at every complete unit; sink may be null.
  ScreenModel(const SETTINGS& settings, RepaintSink* sink);
  ScreenModel(const ScreenModel&) = delete;
  ScreenModel& operator=(const ScreenModel&) = delete;

  // Worker thread. One received byte.
  void AddReceivedByte(std::uint8_t b);
  // Worker thread. A run of received bytes with m_csLines taken once: leaves
  // the state, lines, text log and repaint areas that one AddReceivedByte per
  // byte would leave. Lines closed in the run reach the text log together
  // before this returns.
  void AddReceivedBytes(const std::uint8_t* data, std::size_t length);

  // UI thread. Writes the pending line to the text log (when bSaveText), drops
  // the partial unit and every line. underLock runs while m_csLines is still
  // held (the view resets the byte counters there). Then repaints the whole view.
  void Clear(const std::function<void()>& underLock = {});

  // UI thread. Every line followed by CR LF, oldest first (no trailing zero).
  std::string CopyAllText() const;

  // UI thread, for drawing: calls visit(line) for every line, oldest first,
  // under m_csLines, then stores the last line's rectangle computed by the
  // paint. lastLine is called under the same lock once all lines were visited.
  void VisitLines(const std::function<void(const DisplayLine&)>& visit,
                  const std::function<Rect()>& lastLine);

  std::size_t LineCount() const;
  std::vector<DisplayLine> Lines() const;  // a copy, for tests and tools
  Rect LastLineRect() const;
  void SetLastLineRect(const Rect& rect);

 private:
  // implementation members go here
};

}  // namespace tarnwick
