// The rows a frames pane shows: the store's frames of some statuses and
// directions, by index. The list follows the store incrementally, so its
// upkeep costs the frames added since the last look; with no filter at all
// it holds nothing and an index is a number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frames/frame_store.h"

namespace tarnwick {

struct FrameFilterSpec {
  std::uint32_t nStatuses = (1u << kFrameStatusCount) - 1;  // a bit per FrameStatus
  bool bReceived = true;
  bool bSent = true;

  static FrameFilterSpec BadOnly();
  bool All() const { return nStatuses == (1u << kFrameStatusCount) - 1 && bReceived && bSent; }
  bool Matches(FrameStatus status, LineDirection direction) const;
  friend bool operator==(const FrameFilterSpec&, const FrameFilterSpec&) = default;
};

// One per pane, on the pane's thread.
class FrameFilter {
 public:
  // The list is built anew at the next Update.
  void Set(const FrameFilterSpec& spec);
  const FrameFilterSpec& Spec() const { return m_spec; }

  // Frames the store added since are matched, those it let go are forgotten.
  void Update(const FrameStore& store);

  std::size_t Size() const;
  std::uint64_t NumberAt(std::size_t index) const;
  // The numbers of rows first .. first + count - 1 that exist.
  void Numbers(std::size_t first, std::size_t count, std::vector<std::uint64_t>& out) const;

 private:
  FrameFilterSpec m_spec;
  std::vector<std::uint64_t> m_numbers;  // from m_nHead on
  std::size_t m_nHead = 0;
  std::uint64_t m_nNext = 0;  // the first number not looked at yet
  std::uint64_t m_nClears = 0;
  FrameStore::Counts m_counts;
};

}  // namespace tarnwick
