// The frames kept for the pane and the export: a ring of up to a million
// frames. Each costs a 40-byte record and its bytes in one shared arena (a
// ring of its own); when either is full the oldest frames go. Frames are
// numbered from 0 in the order they completed; numbers stay with their
// frames as older ones go. Any thread; the worker adds, the window reads
// what it shows, each in one short hold of the lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "frames/frame_codec.h"

namespace tarnwick {

struct StoredFrame {
  std::uint64_t nNumber = 0;
  FrameView view;
  FramePair pair;  // its request's bytes while the store still holds them
};

class FrameStore {
 public:
  static constexpr std::size_t kDefaultMaxFrames = 1'000'000;
  static constexpr std::size_t kDefaultMaxBytes = std::size_t{64} << 20;

  explicit FrameStore(std::size_t maxFrames = kDefaultMaxFrames,
                      std::size_t maxBytes = kDefaultMaxBytes);

  // Adds a frame; requestNumber: the request it answers. Returns its number.
  // A frame longer than the whole arena keeps its first maxBytes bytes.
  std::uint64_t Add(const FrameView& frame, std::optional<std::int64_t> pairMicros = std::nullopt,
                    std::optional<std::uint64_t> requestNumber = std::nullopt);
  // Forgets every frame and the counts; numbers go on.
  void Clear();

  struct Counts {
    std::uint64_t nFrames = 0;  // since the last Clear, held or not
    std::uint64_t nBad = 0;     // of those, bad (IsBadFrame)
    std::uint64_t nFirst = 0;   // the oldest held frame's number
    std::size_t nHeld = 0;
    std::uint64_t nClears = 0;  // grows with every Clear
  };
  Counts GetCounts() const;

  // Calls visit for each held frame among numbers, in their order, under
  // the lock: the bytes are valid during the call only.
  void Visit(std::span<const std::uint64_t> numbers,
             const std::function<void(const StoredFrame&)>& visit) const;
  // The same for count frames from number first on.
  void VisitRange(std::uint64_t first, std::size_t count,
                  const std::function<void(const StoredFrame&)>& visit) const;

  // What the store has reserved, for measurements.
  std::size_t ReservedBytes() const;

 private:
  struct Record {
    std::uint64_t nArena;  // where its bytes begin, counted since the arena began
    std::uint64_t nOffset;
    std::int64_t nTime;  // LineTime of its first byte
    std::uint32_t nLength;
    std::int32_t nPairMicros;  // -1: no pair
    std::uint32_t nPairBack;   // how many frames back its request is (0: none)
    std::uint8_t nDirection;
    std::uint8_t nStatus;
    std::uint8_t nRole;
    std::uint8_t nSpare = 0;
  };
  static_assert(sizeof(Record) == 40);

  const Record& At(std::uint64_t number) const;
  void DropOldest();
  void Grow();
  StoredFrame Stored(std::uint64_t number) const;

  const std::size_t m_nMaxFrames;
  const std::size_t m_nMaxBytes;

  mutable std::mutex m_cs;
  std::vector<Record> m_records;  // a ring: m_nCount records from m_nHead on
  std::size_t m_nHead = 0;
  std::size_t m_nCount = 0;
  std::uint64_t m_nFirstNumber = 0;
  std::vector<std::uint8_t> m_arena;  // grows up to m_nMaxBytes, then wraps
  std::uint64_t m_nArenaEnd = 0;
  std::uint64_t m_nFrames = 0;
  std::uint64_t m_nBad = 0;
  std::uint64_t m_nClears = 0;
};

}  // namespace tarnwick
