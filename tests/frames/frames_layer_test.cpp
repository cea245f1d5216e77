// The frames layer end to end on custom rules: the CSV file as a spreadsheet
// reads it, pairs and their times, what a change of configuration keeps.
#include "frames/frames_layer.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>

#include "frames/frame_rules_text.h"
#include "frames/frames_test_support.h"
#include "port/scoped_env.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::At;
using testing::FromHex;

// A time zone half an hour off the hour, for this test only.
class ZoneForTest {
 public:
  ZoneForTest() { ::tzset(); }
  ~ZoneForTest() {
    m_zone.reset();
    ::tzset();
  }

 private:
  std::optional<testing::ScopedEnv> m_zone{std::in_place, "TZ", "<+0530>-5:30"};
};

FramesConfig LabRules(const std::string& csv) {
  FramesConfig config;
  config.setup.choice = {FrameProtocol::kCustom, "lab"};
  // STX, payload, XOR of the payload, ETX.
  config.setup.customRules =
      *ParseFrameRules("start=02 end=03 check=xor8 check-from=1 check-trailer=1").rules;
  config.csvPath = csv;
  return config;
}

void Push(FramesLayer& layer, LineDirection direction, const std::string& hex,
          const ReadTime& time) {
  const testing::Bytes bytes = FromHex(hex);
  layer.Push(direction, bytes.data(), bytes.size(), time);
  layer.Work(time.steady);
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FramesLayer, TheCsvHoldsEveryFrameInTheOrderItCompleted) {
  ZoneForTest zone;
  testing::TempDir dir;
  const std::string csv = dir.File("frames.csv");
  const std::string header =
      "time,direction,protocol,status,length,summary,hex,address,function,values,pair_ms\r\n";
  const std::string rows =
      "2024-05-01T17:30:00.000+05:30,tx,lab,ok,6,3 bytes: 31 32 33,02 31 32 33 30 03,,,31 32 "
      "33,\r\n"
      "2024-05-01T17:30:00.005+05:30,rx,lab,ok,6,\"3 bytes: 34 2C 35, 4.2 ms\",02 34 2C 35 2D 03,,,"
      "34 2C 35,4.200\r\n"
      "2024-05-01T17:30:00.010+05:30,rx,lab,bad checksum,4,1 byte: 31,02 31 00 03,,,,\r\n"
      "2024-05-01T17:30:00.020+05:30,rx,lab,incomplete,2,2 bytes,02 39,,,,\r\n";
  // A second run appends to the file it finds: no second header.
  for (const std::string& expected : {header + rows, header + rows + rows}) {
    FramesLayer layer;
    ASSERT_TRUE(layer.Configure(LabRules(csv)));
    Push(layer, LineDirection::kSent, "02 31 32", At(0));
    Push(layer, LineDirection::kSent, "33 30 03", At(0, 800));
    Push(layer, LineDirection::kReceived, "02 34 2C 35 2D 03", At(0, 5000));
    Push(layer, LineDirection::kReceived, "02 31 00 03", At(10));
    Push(layer, LineDirection::kReceived, "02 39", At(20));
    layer.Close();
    layer.Work(At(30).steady);
    EXPECT_EQ(FileText(csv), expected);
    const FrameStore::Counts counts = layer.Store().GetCounts();
    EXPECT_EQ(counts.nFrames, 4u);
    EXPECT_EQ(counts.nBad, 2u);
  }
  EXPECT_EQ(FramesCsvWriter::TargetOf("-"), "/dev/stdout");
}

TEST(FramesLayer, FieldsAreQuotedAsRfc4180Says) {
  const struct {
    const char* field;
    const char* written;
  } cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
  };
  for (const auto& c : cases) {
    std::string out;
    AppendCsvField(out, c.field);
    EXPECT_EQ(out, c.written);
  }
}

TEST(FramesLayer, AChangeOfProtocolStartsAfreshAndAChangeOfCsvKeepsTheFrames) {
  testing::TempDir dir;
  FramesLayer layer;
  FramesConfig config = LabRules("");
  ASSERT_TRUE(layer.Configure(config));
  EXPECT_EQ(layer.GatherLimit().count(), 0);
  Push(layer, LineDirection::kReceived, "02 31 31 03 02 33", At(0));
  const auto codec = layer.Codec();
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->Name(), "lab");

  // Rules that cannot cut frames change nothing.
  FramesConfig broken = config;
  broken.setup.customRules.end = {0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03,
                                  0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03};
  EXPECT_FALSE(layer.Configure(broken));

  config.csvPath = dir.File("later.csv");
  ASSERT_TRUE(layer.Configure(config));
  Push(layer, LineDirection::kReceived, "34 03", At(1));  // completes the held frame
  EXPECT_EQ(layer.Store().GetCounts().nFrames, 2u);
  EXPECT_EQ(layer.Codec(), codec);
  EXPECT_NE(FileText(config.csvPath).find(",02 33 34 03,"), std::string::npos);

  // Custom rules do not time the line: its speed changes nothing.
  config.setup.line.nBaud = 57600;
  ASSERT_TRUE(layer.Configure(config));
  layer.Work(At(2).steady);
  EXPECT_EQ(layer.Store().GetCounts().nFrames, 2u);

  config.setup.choice = {FrameProtocol::kModbusRtu, {}};
  config.setup.line.nBaud = 9600;
  ASSERT_TRUE(layer.Configure(config));
  EXPECT_EQ(layer.GatherLimit().count(), 364);  // a tenth of 3.5 characters
  layer.Work(At(2).steady);
  EXPECT_EQ(layer.Store().GetCounts().nFrames, 0u);
  EXPECT_EQ(layer.Codec()->Name(), "modbus-rtu");

  config.setup.choice = {};
  ASSERT_TRUE(layer.Configure(config));
  EXPECT_FALSE(layer.Active());
  Push(layer, LineDirection::kReceived, "01 03 00 6B 00 03 74 17", At(3));
  EXPECT_EQ(layer.Store().GetCounts().nFrames, 0u);
  EXPECT_EQ(layer.Codec(), nullptr);
}

}  // namespace
}  // namespace tarnwick
