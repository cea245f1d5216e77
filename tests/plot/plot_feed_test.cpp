// The worker's side of the plot: batches for the window, a bounded queue, and
// following the stream where the screen model stands.
#include "plot/plot_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "display/screen_model.h"
#include "plot/channel_store.h"
#include "plot/plot_test_support.h"

namespace tarnwick {
namespace {

using testing::Bytes;
using testing::PlotSettings;
using testing::Point;
using testing::Points;
using testing::ReadAt;
using testing::TextBytes;

struct FeedRig {
  explicit FeedRig(const SETTINGS& s, std::size_t maxPending = PlotFeed::kMaxPending)
      : settings(s), live(settings), model(live, nullptr), feed(maxPending) {}

  // As the worker delivers a read: to the screen model, which the feed
  // follows while the window listens.
  void Receive(const Bytes& bytes, bool observed = true) {
    model.AddReceivedBytes(bytes.data(), bytes.size(), ReadAt(0), observed ? &feed : nullptr);
  }
  std::vector<Point> Take() {
    SampleBatch batch;
    feed.TakeBatch(batch);
    return Points(batch.samples);
  }

  SETTINGS settings;
  LiveSettings live;
  ScreenModel model;
  PlotFeed feed;
};

TEST(PlotFeed, HandsOverWhatCameSinceTheLastBatch) {
  FeedRig rig(PlotSettings(kFormatDec, 1, 2));
  rig.Receive({1, 2, 3});
  rig.Receive({4});
  EXPECT_EQ(rig.Take(), (std::vector<Point>{{0, 1}, {1, 2}, {0, 3}, {1, 4}}));
  SampleBatch batch;
  EXPECT_FALSE(rig.feed.TakeBatch(batch));
  EXPECT_TRUE(batch.samples.empty());
}

TEST(PlotFeed, StartingMidStreamFollowsTheScreensColumns) {
  FeedRig rig(PlotSettings(kFormatDec, 1, 3));
  rig.Receive({9, 9, 9, 9}, false);  // before the window opened: one unit on the second line
  rig.Receive({2, 3, 4});
  EXPECT_EQ(rig.Take(), (std::vector<Point>{{1, 2}, {2, 3}, {0, 4}}));
}

TEST(PlotFeed, RestartForgetsWhatWaitsAndResyncs) {
  FeedRig rig(PlotSettings(kFormatText, 1, 0));
  rig.Receive(TextBytes("1,2\r\n3,"));
  rig.feed.Restart();
  rig.model.Clear();
  rig.Receive(TextBytes("4\r\n5,6\r\n"));
  // After the Clear the screen starts a new line with "4": it is whole.
  EXPECT_EQ(rig.Take(), (std::vector<Point>{{0, 4}, {0, 5}, {1, 6}}));
}

TEST(PlotFeed, AFormatChangeIsPickedUpFromTheScreen) {
  FeedRig rig(PlotSettings(kFormatDec, 1, 2));
  rig.Receive({1});
  rig.settings = PlotSettings(kFormatHex, 2, 2);
  rig.live.Publish();
  rig.Receive({0xFF, 0xFF, 0x00, 0x01});
  EXPECT_EQ(rig.Take(), (std::vector<Point>{{0, 1}, {1, 65535}, {0, 1}}));

  // Shorter units than the bytes held: the next byte completes one, as on
  // the screen, which shows " 0 7" on a new line.
  FeedRig shrink(PlotSettings(kFormatDec, 4, 2));
  shrink.Receive({0, 0, 1});
  shrink.settings = PlotSettings(kFormatDec, 2, 2);
  shrink.live.Publish();
  shrink.Receive({5, 0, 7});
  EXPECT_EQ(shrink.model.Lines(), (std::vector<std::string>{" 0 7"}));
  EXPECT_EQ(shrink.Take(), (std::vector<Point>{{0, 0}, {1, 7}}));
}

TEST(PlotFeed, AQueueTheWindowDoesNotCollectStaysBoundedAndNumbered) {
  FeedRig rig(PlotSettings(kFormatDec, 1, 1), 100);
  Bytes bytes(1000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i % 100);
  rig.Receive(bytes);
  SampleBatch batch;
  ASSERT_TRUE(rig.feed.TakeBatch(batch));
  EXPECT_LE(batch.samples.size(), 100u);
  EXPECT_EQ(batch.skipped.nDropped, 1000 - batch.samples.size());
  ChannelStore store;
  store.Add(batch.samples, batch.dropped);
  EXPECT_EQ(store.Channel(0).back().number, 1000u);
  EXPECT_EQ(store.Channel(0).back().value, 99);
}

// The worker feeding while the window collects and clears: every batch holds
// whole lines in order, and nothing is left behind a restart.
TEST(PlotFeed, FeedingCollectingAndRestartingAtOnce) {
  FeedRig rig(PlotSettings(kFormatDec, 1, 2));
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 20000; ++i) rig.Receive({1, 2});
    done = true;
  });
  SampleBatch batch;
  std::size_t taken = 0;
  for (int round = 0; !done; ++round) {
    if (rig.feed.TakeBatch(batch)) {
      taken += batch.samples.size();
      for (std::size_t i = 0; i < batch.samples.size(); ++i) {
        ASSERT_EQ(batch.samples[i].nChannel, i % 2);
        ASSERT_EQ(batch.samples[i].value, 1.0 + double(i % 2));
      }
    }
    if (round % 50 == 0) rig.feed.Restart();
  }
  worker.join();
  rig.feed.TakeBatch(batch);
  EXPECT_GT(taken + batch.samples.size(), 0u);
  rig.feed.Restart();
  EXPECT_FALSE(rig.feed.TakeBatch(batch));
}

}  // namespace
}  // namespace tarnwick
