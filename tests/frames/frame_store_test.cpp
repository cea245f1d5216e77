// The frames store's two rings, and the filtered rows a pane reads.
#include "frames/frame_store.h"

#include <gtest/gtest.h>

#include "frames/frame_filter.h"

namespace tarnwick {
namespace {

// Frame n: size bytes (0: n % 7 + 1), each of value n; odd frames answer the one before.
std::size_t SizeOf(std::uint64_t n, std::size_t size) { return size > 0 ? size : n % 7 + 1; }

void AddFrames(FrameStore& store, std::uint64_t from, std::uint64_t to, std::size_t size = 0) {
  for (std::uint64_t n = from; n < to; ++n) {
    const std::vector<std::uint8_t> bytes(SizeOf(n, size), static_cast<std::uint8_t>(n));
    FrameView view;
    view.bytes = bytes;
    view.time = static_cast<LineTime>(n);
    view.nOffset = 10 * n;
    view.status = static_cast<FrameStatus>(n % kFrameStatusCount);
    view.direction = n % 3 == 0 ? LineDirection::kSent : LineDirection::kReceived;
    if (n % 2 == 1) {
      ASSERT_EQ(store.Add(view, 100 * n, n - 1), n);
    } else {
      ASSERT_EQ(store.Add(view), n);
    }
  }
}

TEST(FrameStore, TheOldestFramesGoWhenEitherRingIsFull) {
  const struct {
    std::size_t maxFrames, maxBytes;
    std::uint64_t added;
    std::size_t size;
    std::uint64_t firstHeld;
  } cases[] = {
      {1000, 1 << 20, 500, 0, 0},
      {100, 1 << 20, 250, 0, 150},  // the records' ring, grown and then wrapped
      {1000, 64, 40, 4, 24},        // the arena's: 64 bytes hold 16 frames of 4
      {1000, 10, 13, 4, 11},        // 10 hold two of 4: a third would cross the end
      {5, 9, 13, 3, 10},            // the arena is full before the ring
      {5, 100, 13, 3, 8},           // the ring before the arena
  };
  for (const auto& c : cases) {
    FrameStore store(c.maxFrames, c.maxBytes);
    AddFrames(store, 0, c.added, c.size);
    const FrameStore::Counts counts = store.GetCounts();
    EXPECT_EQ(counts.nFrames, c.added);
    EXPECT_EQ(counts.nFirst, c.firstHeld) << c.maxFrames << " " << c.maxBytes;
    EXPECT_EQ(counts.nHeld, c.added - c.firstHeld);
    std::uint64_t expected = c.firstHeld;
    store.VisitRange(0, c.added, [&](const StoredFrame& frame) {
      const std::uint64_t n = frame.nNumber;
      EXPECT_EQ(n, expected++);
      EXPECT_EQ(frame.view.bytes.size(), SizeOf(n, c.size)) << n;
      for (const std::uint8_t b : frame.view.bytes) EXPECT_EQ(b, static_cast<std::uint8_t>(n)) << n;
      EXPECT_EQ(frame.view.status, static_cast<FrameStatus>(n % kFrameStatusCount));
      EXPECT_EQ(frame.view.nOffset, 10 * n);
      // A response knows its time, and its request's bytes while they are held.
      EXPECT_EQ(frame.pair.micros.has_value(), n % 2 == 1);
      EXPECT_EQ(frame.pair.request.empty(), n % 2 == 0 || n - 1 < c.firstHeld) << n;
      if (!frame.pair.request.empty()) {
        EXPECT_EQ(frame.pair.request[0], static_cast<std::uint8_t>(n - 1));
      }
    });
    EXPECT_EQ(expected, c.added);
  }
}

TEST(FrameFilter, RowsFollowTheStoreAsFramesComeAndGo) {
  auto statuses = [](std::initializer_list<FrameStatus> list) {
    std::uint32_t bits = 0;
    for (const FrameStatus s : list) bits |= 1u << static_cast<int>(s);
    return bits;
  };
  const struct {
    FrameFilterSpec spec;
    std::vector<std::uint64_t> first;  // rows of frames 0..11
    std::vector<std::uint64_t> later;  // after frames 12..23, with 10 frames held
  } cases[] = {
      {{}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {14, 15, 16, 17, 18, 19, 20, 21, 22, 23}},
      {FrameFilterSpec::BadOnly(), {1, 3, 4, 5, 7, 9, 10, 11}, {15, 16, 17, 19, 21, 22, 23}},
      {{statuses({FrameStatus::kOk}), true, false}, {}, {}},  // frames 0, 6, 12, 18 were sent
      {{statuses({FrameStatus::kOk, FrameStatus::kNoChecksum}), false, true}, {0, 6}, {18}},
      {{FrameFilterSpec{}.nStatuses, false, true}, {0, 3, 6, 9}, {15, 18, 21}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    FrameStore store(10, 1 << 20);
    FrameFilter filter;
    filter.Set(cases[i].spec);
    std::vector<std::uint64_t> rows;
    AddFrames(store, 0, 10);
    filter.Update(store);  // then two more frames push the first two out
    AddFrames(store, 10, 12);
    filter.Update(store);
    std::vector<std::uint64_t> all = cases[i].first;
    std::erase_if(all, [](std::uint64_t n) { return n < 2; });
    filter.Numbers(0, 100, rows);
    EXPECT_EQ(rows, all) << "case " << i;
    AddFrames(store, 12, 24);
    filter.Update(store);
    filter.Numbers(0, 100, rows);
    EXPECT_EQ(rows, cases[i].later) << "case " << i;
    ASSERT_EQ(filter.Size(), cases[i].later.size());
    if (!rows.empty()) {
      EXPECT_EQ(filter.NumberAt(rows.size() - 1), rows.back());
    }
    store.Clear();
    filter.Update(store);
    EXPECT_EQ(filter.Size(), 0u) << "case " << i;
  }
}

}  // namespace
}  // namespace tarnwick
