// The last N samples of each channel, their numbering, and the CSV export.
#include "plot/channel_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plot/plot_csv.h"

namespace tarnwick {
namespace {

std::vector<Sample> Samples(int channel, int count, double first = 1, LineTime time = 0) {
  std::vector<Sample> out;
  for (int i = 0; i < count; ++i) {
    out.push_back(Sample{static_cast<std::uint8_t>(channel), first + i, time + i * 100});
  }
  return out;
}

std::vector<std::uint64_t> Numbers(const SampleRing& ring) {
  std::vector<std::uint64_t> numbers;
  for (std::size_t i = 0; i < ring.size(); ++i) numbers.push_back(ring[i].number);
  return numbers;
}

TEST(ChannelStore, KeepsTheLastDepthSamplesOfEachChannel) {
  ChannelStore store(10);
  store.Add(Samples(0, 25));
  store.Add(Samples(3, 4));
  EXPECT_EQ(store.ChannelCount(), 4);
  EXPECT_EQ(store.Received(), 29u);
  ASSERT_EQ(store.Channel(0).size(), 10u);
  EXPECT_EQ(store.Channel(0)[0].number, 16u);
  EXPECT_EQ(store.Channel(0).back().value, 25);
  EXPECT_TRUE(store.Channel(1).empty());
  EXPECT_EQ(Numbers(store.Channel(3)), (std::vector<std::uint64_t>{1, 2, 3, 4}));

  // A million samples in a small store stay a small store.
  store.Add(Samples(5, 1'000'000));
  EXPECT_EQ(store.Channel(5).size(), 10u);
  EXPECT_EQ(store.Channel(5).back().number, 1'000'000u);
}

TEST(ChannelStore, DepthIsBoundedAndShrinkingKeepsTheNewest) {
  struct Case {
    std::int64_t asked;
    std::size_t kept;
  };
  for (const Case& c : {Case{-5, kMinPlotDepth}, Case{0, kMinPlotDepth}, Case{500, 500},
                        Case{std::int64_t{1} << 40, kMaxPlotDepth}}) {
    EXPECT_EQ(CorrectPlotDepth(c.asked), c.kept) << c.asked;
  }
  ChannelStore store(1000);
  store.Add(Samples(0, 300));
  store.SetDepth(20);
  EXPECT_EQ(store.Depth(), 20u);
  ASSERT_EQ(store.Channel(0).size(), 20u);
  EXPECT_EQ(store.Channel(0)[0].number, 281u);
  store.Add(Samples(0, 5, 1000));
  EXPECT_EQ(store.Channel(0).size(), 20u);
  EXPECT_EQ(store.Channel(0).back().value, 1004);
  store.SetDepth(kMaxPlotDepth);
  store.Add(Samples(0, 5));
  EXPECT_EQ(store.Channel(0).size(), 25u);
}

TEST(ChannelStore, DroppedSamplesCountInTheNumberingAndClearStartsAfresh) {
  ChannelStore store;
  std::array<std::uint64_t, kMaxPlotChannels> dropped{};
  dropped[1] = 7;
  store.Add(Samples(0, 2), {});
  store.Add(Samples(1, 2), dropped);
  EXPECT_EQ(Numbers(store.Channel(0)), (std::vector<std::uint64_t>{1, 2}));
  EXPECT_EQ(Numbers(store.Channel(1)), (std::vector<std::uint64_t>{8, 9}));
  store.AddSkipped(SkipCounts{.nNotFinite = 2});
  store.Clear();
  EXPECT_TRUE(store.Empty());
  EXPECT_EQ(store.ChannelCount(), 0);
  EXPECT_EQ(store.Skipped(), SkipCounts{});
  store.Add(Samples(1, 1, 5, 4000));
  EXPECT_EQ(Numbers(store.Channel(1)), (std::vector<std::uint64_t>{1}));
  EXPECT_EQ(store.Origin(), 4000);
}

TEST(PlotCsv, OneRowPerSampleNumberWithEmptyCellsWhereAChannelHasNone) {
  ChannelStore store(kMinPlotDepth);
  store.Add({Sample{0, 1.5, 1000}, Sample{1, -2, 1000}, Sample{0, 0.1, 1250}});
  EXPECT_EQ(PlotCsv(store, false),
            "Sample,Channel 1,Channel 2\r\n"
            "1,1.5,-2\r\n"
            "2,0.1,\r\n");
  EXPECT_EQ(PlotCsv(store, true),
            "Sample,Channel 1 time (s),Channel 1,Channel 2 time (s),Channel 2\r\n"
            "1,0,1.5,0,-2\r\n"
            "2,0.25,0.1,,\r\n");
  // Only kept samples: the first ones went when the store was full.
  store.Add(Samples(0, static_cast<int>(kMinPlotDepth), 100, 2000));
  std::string expected = "Sample,Channel 1,Channel 2\r\n1,,-2\r\n";
  for (std::size_t i = 0; i < kMinPlotDepth; ++i) {
    expected += std::to_string(i + 3) + "," + std::to_string(100 + i) + ",\r\n";
  }
  EXPECT_EQ(PlotCsv(store, false), expected);
  EXPECT_EQ(PlotCsv(ChannelStore(), false), "Sample\r\n");
  // Channels the text named carry their names.
  std::array<std::string, kMaxPlotChannels> names;
  names[1] = "hum";
  store.AddNames(names);
  EXPECT_EQ(PlotCsv(store, false).substr(0, 22), "Sample,Channel 1,hum\r\n");
}

}  // namespace
}  // namespace tarnwick
