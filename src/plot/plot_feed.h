// The live plot's end of the receive path. The port worker hands it every read
// while the plot window is open; it takes the samples out on the worker thread
// and keeps them until the window collects them, one batch per frame.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "plot/plot_sample.h"
#include "plot/sample_extractor.h"
#include "port/receive_observer.h"

namespace tarnwick {

// What the window collects in one go.
struct SampleBatch {
  std::vector<Sample> samples;
  // Per channel, samples dropped before this batch's first one of that
  // channel, so sample numbers stay right.
  std::array<std::uint64_t, kMaxPlotChannels> dropped{};
  SkipCounts skipped;

  void clear() {
    samples.clear();
    dropped.fill(0);
    skipped = SkipCounts{};
  }
};

class PlotFeed : public ReceiveObserver {
 public:
  // The most samples waiting for the window; beyond it the oldest go. The
  // window collects 30 times a second, so this is far more than any serial
  // line brings meanwhile (6 MiB of samples).
  static constexpr std::size_t kMaxPending = std::size_t{1} << 18;

  explicit PlotFeed(std::size_t maxPending = kMaxPending) : m_nMaxPending(maxPending) {}

  void OnReceived(const std::uint8_t* data, std::size_t length, const ReadTime& time,
                  const SETTINGS& settings, const DisplayOptions& options,
                  ScreenModel* model) override;

  // Any thread: the samples taken since the last call, moved into batch
  // (whose previous content goes); false when there were none and nothing
  // was skipped.
  bool TakeBatch(SampleBatch& batch);
  // Any thread: forgets what waits, and the next read picks the stream up
  // afresh where the screen model stands (after a Clear, or when the window
  // starts listening again).
  void Restart();

 private:
  struct UnitLayout {
    std::int32_t nUnitLengthIndex = -1;
    std::int32_t nUnitFormatIndex = -1;
    std::int32_t bReverseBytes = -1;
    std::int32_t nColumns = -1;
    friend bool operator==(const UnitLayout&, const UnitLayout&) = default;
  };

  // Worker thread only.
  SampleExtractor m_extractor;
  std::uint64_t m_nSeenRestarts = ~std::uint64_t{0};
  UnitLayout m_layout;
  std::vector<Sample> m_scratch;

  std::atomic<std::uint64_t> m_nRestarts{0};
  const std::size_t m_nMaxPending;
  std::mutex m_csPending;  // guards the batch below
  SampleBatch m_pending;
};

}  // namespace tarnwick
