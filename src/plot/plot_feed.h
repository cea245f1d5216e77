// The live plot's end of the receive path. While the plot window is open the
// worker hands it to the screen model with every read; it takes its samples
// from what the model places: in HEX, BINARY, DEC and FLOAT the unit in
// column k of a line is the next sample of channel k; in TEXT each line the
// screen completes is split into fields and the number in field k is the next
// sample of channel k, named by the label the text gives it ("temp=22"). It
// keeps them until the window collects them, one batch per frame.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "display/screen_observer.h"
#include "plot/plot_sample.h"
#include "plot/text_fields.h"

namespace tarnwick {

// What the window collects in one go.
struct SampleBatch {
  std::vector<Sample> samples;
  // Per channel, samples dropped before this batch's first one of that
  // channel, so sample numbers stay right.
  std::array<std::uint64_t, kMaxPlotChannels> dropped{};
  SkipCounts skipped;
  // Per channel, the name the text gave its latest sample in this batch;
  // empty where it gave none.
  std::array<std::string, kMaxPlotChannels> names;

  void clear() {
    samples.clear();
    dropped.fill(0);
    skipped = SkipCounts{};
    for (std::string& name : names) name.clear();
  }
};

class PlotFeed : public ScreenObserver {
 public:
  // The most samples waiting for the window; beyond it the oldest go. The
  // window collects 30 times a second, so this is far more than any serial
  // line brings meanwhile (6 MiB of samples).
  static constexpr std::size_t kMaxPending = std::size_t{1} << 18;

  explicit PlotFeed(std::size_t maxPending = kMaxPending) : m_nMaxPending(maxPending) {}

  // ScreenObserver, worker thread.
  void OnUnitPlaced(const UnitSettings& settings, const PlacedUnit& unit) override;
  void OnLineCompleted(const UnitSettings& settings, const CompletedLine& line) override;
  void OnReadPlaced() override;

  // Any thread: the samples taken since the last call, moved into batch
  // (whose previous content goes); false when there were none and nothing
  // was skipped.
  bool TakeBatch(SampleBatch& batch);
  // Any thread: forgets what waits, and what the read in progress took.
  void Restart();

 private:
  void BeginRead();

  // Worker thread only: the read in progress.
  std::vector<Sample> m_scratch;
  SkipCounts m_scratchSkipped;
  std::array<std::string, kMaxPlotChannels> m_scratchNames;
  bool m_bReadBegun = false;
  std::uint64_t m_nReadRestarts = 0;
  TextFieldSplitter m_fields;

  std::atomic<std::uint64_t> m_nRestarts{0};
  const std::size_t m_nMaxPending;
  std::mutex m_csPending;  // guards the batch below
  SampleBatch m_pending;
};

}  // namespace tarnwick
