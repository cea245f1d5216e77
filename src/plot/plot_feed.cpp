#include "plot/plot_feed.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tarnwick {

void PlotFeed::BeginRead() {
  if (m_bReadBegun) return;
  m_bReadBegun = true;
  m_nReadRestarts = m_nRestarts.load(std::memory_order_acquire);
}

void PlotFeed::OnUnitPlaced(const UnitSettings& settings, const PlacedUnit& unit) {
  // Only received data is plotted; TEXT is read by the line, "Unknown
  // Format" not at all.
  if (unit.direction != LineDirection::kReceived || !settings.bPlainFormat ||
      settings.nFormat == kFormatText) {
    return;
  }
  BeginRead();
  if (unit.nColumn >= kMaxPlotChannels) {
    ++m_scratchSkipped.nBeyondChannels;
    return;
  }
  const double value = UnitNumber(settings, unit.nBits);
  if (!std::isfinite(value)) {
    ++m_scratchSkipped.nNotFinite;
    return;
  }
  m_scratch.push_back(Sample{static_cast<std::uint8_t>(unit.nColumn), value, unit.time});
}

void PlotFeed::OnLineCompleted(const UnitSettings& settings, const CompletedLine& line) {
  if (line.direction != LineDirection::kReceived || settings.nFormat != kFormatText) {
    return;
  }
  BeginRead();
  for (const char c : line.text) m_fields.Add(c);
  m_fields.EndLine(
      [&](int channel, double value, std::string_view name) {
        m_scratch.push_back(Sample{static_cast<std::uint8_t>(channel), value, line.time});
        if (!name.empty()) m_scratchNames[static_cast<std::size_t>(channel)].assign(name);
      },
      m_scratchSkipped);
}

void PlotFeed::OnReadPlaced() {
  if (!m_bReadBegun) return;
  m_bReadBegun = false;
  {
    std::lock_guard<std::mutex> lock(m_csPending);
    // Taken before a restart that came meanwhile: belongs to what was cleared.
    if (m_nRestarts.load(std::memory_order_relaxed) == m_nReadRestarts) {
      m_pending.skipped += m_scratchSkipped;
      for (std::size_t c = 0; c < m_scratchNames.size(); ++c) {
        if (!m_scratchNames[c].empty()) m_pending.names[c].swap(m_scratchNames[c]);
      }
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
  }
  m_scratch.clear();
  m_scratchSkipped = SkipCounts{};
  for (std::string& name : m_scratchNames) name.clear();
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
