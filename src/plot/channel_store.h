// The samples the plot shows: the last N of each channel, numbered from 1 in
// the order they arrived since the last Clear, and the channels' names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plot/plot_sample.h"

namespace tarnwick {

inline constexpr std::size_t kDefaultPlotDepth = 10'000;
inline constexpr std::size_t kMinPlotDepth = 10;
// 16 channels of this many samples stay well under 100 MB with the plot's
// own copy.
inline constexpr std::size_t kMaxPlotDepth = 100'000;

std::size_t CorrectPlotDepth(std::int64_t depth);

struct StoredSample {
  std::uint64_t number = 0;  // 1 for the channel's first sample since Clear
  double value = 0;
  LineTime time = 0;
};

// One channel's last samples, oldest first, in a ring that grows up to its
// capacity as samples come.
class SampleRing {
 public:
  std::size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  const StoredSample& operator[](std::size_t i) const {
    return m_slots[(m_head + i) % m_slots.size()];
  }
  const StoredSample& back() const { return (*this)[m_count - 1]; }
  void push_back(const StoredSample& sample, std::size_t capacity);
  // Keeps the newest capacity samples.
  void Shrink(std::size_t capacity);
  void clear();

 private:
  std::vector<StoredSample> m_slots;
  std::size_t m_head = 0;
  std::size_t m_count = 0;
};

class ChannelStore {
 public:
  explicit ChannelStore(std::size_t depth = kDefaultPlotDepth)
      : m_nDepth(CorrectPlotDepth(depth)) {}

  std::size_t Depth() const { return m_nDepth; }
  // Corrected into kMinPlotDepth..kMaxPlotDepth; a smaller one drops the oldest.
  void SetDepth(std::int64_t depth);

  // Each sample joins its channel; dropped[c] samples of channel c that came
  // before them are counted in the numbering.
  void Add(const std::vector<Sample>& samples,
           const std::array<std::uint64_t, kMaxPlotChannels>& dropped = {});
  void AddSkipped(const SkipCounts& skipped) { m_skipped += skipped; }
  // The names the text gave the channels; an empty one leaves its channel's.
  void AddNames(const std::array<std::string, kMaxPlotChannels>& names);
  void Clear();

  const SampleRing& Channel(int channel) const { return m_channels[channel]; }
  // The channel's name as the text gave it last, else "Channel n" (from 1).
  std::string ChannelName(int channel) const;
  // One past the highest channel that ever had a sample since Clear.
  int ChannelCount() const { return m_nChannels; }
  // All samples taken since Clear, kept or not.
  std::uint64_t Received() const { return m_nReceived; }
  const SkipCounts& Skipped() const { return m_skipped; }
  // The time of the first sample since Clear: where the seconds axis starts.
  LineTime Origin() const { return m_origin; }
  bool Empty() const { return m_nReceived == 0; }

 private:
  std::size_t m_nDepth;
  std::array<SampleRing, kMaxPlotChannels> m_channels{};
  std::array<std::uint64_t, kMaxPlotChannels> m_numbers{};
  std::array<std::string, kMaxPlotChannels> m_names;
  int m_nChannels = 0;
  std::uint64_t m_nReceived = 0;
  SkipCounts m_skipped;
  LineTime m_origin = 0;
};

}  // namespace tarnwick
