// Follows the received stream as the screen model lays it out (units, their
// column on the line, line ends, line breaks after pauses) and takes the
// plot's samples from it: in HEX, BINARY, DEC and FLOAT the unit in column k
// of a line is the next sample of channel k; in TEXT each completed line is
// split into fields and the number in field k is the next sample of channel k.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/read_time.h"
#include "display/screen_model.h"
#include "display/unit_arrival.h"
#include "plot/plot_sample.h"
#include "plot/text_fields.h"
#include "settings/display_options.h"
#include "settings/settings.h"

namespace tarnwick {

class SampleExtractor {
 public:
  // Picks the stream up where the screen model stands. A text line already
  // begun is not plotted: its first fields went by unseen.
  void Resync(const ScreenModel::StreamPosition& position);
  // The stream from its start: nothing assembled, no line begun.
  void Reset() { Resync(ScreenModel::StreamPosition{}); }

  // One read's bytes. Samples go to out; values passed over to skipped.
  void Take(const std::uint8_t* data, std::size_t length, const ReadTime& time,
            const SETTINGS& settings, const DisplayOptions& options, std::vector<Sample>& out,
            SkipCounts& skipped);

 private:
  // The screen model's reading of the settings, so both lay units out alike.
  using Layout = ScreenModel::UnitSettings;
  void TakeUnit(const Layout& layout, std::uint8_t last, bool afterPause, std::vector<Sample>& out,
                SkipCounts& skipped);
  void TakeNumber(const Layout& layout, std::vector<Sample>& out, SkipCounts& skipped);
  void EndTextLine(std::vector<Sample>& out, SkipCounts& skipped);

  std::uint8_t m_unitBytes[4] = {};
  int m_nUnitFill = 0;
  std::int32_t m_nUnitsOnLine = 0;
  bool m_bLineShowsText = false;
  // TEXT: the line being split, its time, and whether its start was seen.
  TextFieldSplitter m_fields;
  bool m_bTextLineOpen = false;
  bool m_bTextLineWhole = false;
  LineTime m_lineTime = 0;
  UnitArrival m_arrival;
};

}  // namespace tarnwick
