#include "plot/plot_feed.h"

#include <algorithm>
#include <utility>

#include "display/screen_model.h"

namespace tarnwick {

void PlotFeed::OnReceived(const std::uint8_t* data, std::size_t length, const ReadTime& time,
                          const SETTINGS& settings, const DisplayOptions& options,
                          ScreenModel* model) {
  // After a restart, and when the unit layout changes under the stream, take
  // the model's place in it: columns then stay the ones the screen shows.
  const std::uint64_t restarts = m_nRestarts.load(std::memory_order_acquire);
  const UnitLayout layout{settings.nUnitLengthIndex, settings.nUnitFormatIndex,
                          settings.bReverseBytes, settings.nColumns};
  if (restarts != m_nSeenRestarts || !(layout == m_layout)) {
    if (model) {
      m_extractor.Resync(model->Position());
    } else {
      m_extractor.Reset();
    }
    m_nSeenRestarts = restarts;
    m_layout = layout;
  }
  m_scratch.clear();
  SkipCounts skipped;
  m_extractor.Take(data, length, time, settings, options, m_scratch, skipped);
  if (m_scratch.empty() && skipped == SkipCounts{}) return;

  std::lock_guard<std::mutex> lock(m_csPending);
  // Taken before a restart that came meanwhile: belongs to what was cleared.
  if (m_nRestarts.load(std::memory_order_relaxed) != restarts) return;
  m_pending.skipped += skipped;
  m_pending.samples.insert(m_pending.samples.end(), m_scratch.begin(), m_scratch.end());
  if (m_pending.samples.size() > m_nMaxPending) {
    // The window is not collecting: keep the newest half, count the rest.
    const std::size_t drop = m_pending.samples.size() - m_nMaxPending / 2;
    for (std::size_t i = 0; i < drop; ++i) ++m_pending.dropped[m_pending.samples[i].nChannel];
    m_pending.samples.erase(m_pending.samples.begin(),
                            m_pending.samples.begin() + static_cast<std::ptrdiff_t>(drop));
    m_pending.skipped.nDropped += drop;
  }
}

bool PlotFeed::TakeBatch(SampleBatch& batch) {
  batch.clear();
  std::lock_guard<std::mutex> lock(m_csPending);
  if (m_pending.samples.empty() && m_pending.skipped == SkipCounts{}) return false;
  // Swapping hands the window this batch's storage and keeps the last one's
  // capacity here, so a steady stream allocates nothing.
  std::swap(batch, m_pending);
  return true;
}

void PlotFeed::Restart() {
  std::lock_guard<std::mutex> lock(m_csPending);
  m_nRestarts.fetch_add(1, std::memory_order_release);
  m_pending.clear();
}

}  // namespace tarnwick
