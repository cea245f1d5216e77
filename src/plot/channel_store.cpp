#include "plot/channel_store.h"

#include <algorithm>

namespace tarnwick {

std::size_t CorrectPlotDepth(std::int64_t depth) {
  return static_cast<std::size_t>(std::clamp<std::int64_t>(
      depth, static_cast<std::int64_t>(kMinPlotDepth), static_cast<std::int64_t>(kMaxPlotDepth)));
}

void SampleRing::push_back(const StoredSample& sample, std::size_t capacity) {
  if (m_count < m_slots.size()) {
    m_slots[(m_head + m_count) % m_slots.size()] = sample;
    ++m_count;
    return;
  }
  if (m_slots.size() < capacity) {
    // Full but allowed to grow: unroll into a larger ring.
    std::vector<StoredSample> slots(
        std::min(capacity, std::max<std::size_t>(64, 2 * m_slots.size())));
    for (std::size_t i = 0; i < m_count; ++i) slots[i] = (*this)[i];
    slots[m_count++] = sample;
    m_slots = std::move(slots);
    m_head = 0;
    return;
  }
  // At capacity: the newest takes the oldest's place.
  m_slots[m_head] = sample;
  m_head = (m_head + 1) % m_slots.size();
}

void SampleRing::Shrink(std::size_t capacity) {
  if (m_slots.size() <= capacity) return;
  const std::size_t keep = std::min(m_count, capacity);
  std::vector<StoredSample> slots;
  slots.reserve(keep);
  for (std::size_t i = m_count - keep; i < m_count; ++i) slots.push_back((*this)[i]);
  m_slots = std::move(slots);
  m_head = 0;
  m_count = keep;
}

void SampleRing::clear() {
  m_slots = {};
  m_head = 0;
  m_count = 0;
}

void ChannelStore::SetDepth(std::int64_t depth) {
  m_nDepth = CorrectPlotDepth(depth);
  for (SampleRing& ring : m_channels) ring.Shrink(m_nDepth);
}

void ChannelStore::Add(const std::vector<Sample>& samples,
                       const std::array<std::uint64_t, kMaxPlotChannels>& dropped) {
  for (int c = 0; c < kMaxPlotChannels; ++c) m_numbers[c] += dropped[c];
  for (const Sample& sample : samples) {
    const int c = sample.nChannel;
    if (c >= kMaxPlotChannels) continue;
    if (m_nReceived == 0) m_origin = sample.time;
    ++m_nReceived;
    m_channels[c].push_back(StoredSample{++m_numbers[c], sample.value, sample.time}, m_nDepth);
    m_nChannels = std::max(m_nChannels, c + 1);
  }
}

void ChannelStore::AddNames(const std::array<std::string, kMaxPlotChannels>& names) {
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (!names[c].empty()) m_names[c] = names[c];
  }
}

std::string ChannelStore::ChannelName(int channel) const {
  const std::string& name = m_names[static_cast<std::size_t>(channel)];
  return name.empty() ? "Channel " + std::to_string(channel + 1) : name;
}

void ChannelStore::Clear() {
  for (SampleRing& ring : m_channels) ring.clear();
  for (std::string& name : m_names) name.clear();
  m_numbers.fill(0);
  m_nChannels = 0;
  m_nReceived = 0;
  m_skipped = SkipCounts{};
  m_origin = 0;
}

}  // namespace tarnwick
