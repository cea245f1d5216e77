// Modbus RTU on a real line: the silences that end frames and what they
// cannot end, and the silence's length at the line's settings.
#include "frames/modbus_rtu_cutter.h"

#include <gtest/gtest.h>

#include "frames/checksum.h"
#include "frames/frame_protocol.h"
#include "frames/frames_test_support.h"
#include "frames/modbus_codec.h"

namespace tarnwick {
namespace {

using testing::At;
using testing::Bytes;
using testing::FromHex;

Bytes WithCrc(const std::string& hex) {
  Bytes frame = FromHex(hex);
  const std::uint32_t crc = ComputeChecksum(ChecksumKind::kCrc16Modbus, frame);
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

TEST(ModbusRtuCutter, SilencesEndOnlyWhatNoLengthCompletes) {
  const std::string request = "01 03 00 6B 00 03 74 17";
  const std::string own = HexText(WithCrc("01 41 AA BB 00 CC"));
  struct Step {
    std::int64_t us;
    std::string bytes;  // empty: a tick
  };
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::pair<std::string, FrameStatus>> frames;
    std::optional<std::int64_t> dueUs;
  } cases[] = {
      {"a frame cut short, a silence, a request",
       {{0, "01 03 06 02 2B 00"}, {20000, request}},
       {{"01 03 06 02 2B 00", FrameStatus::kIncomplete}, {request, FrameStatus::kOk}},
       std::nullopt},
      {"a late read inside a frame",
       {{0, "01 03 00 6B"}, {20000, "00 03 74 17"}},
       {{request, FrameStatus::kOk}},
       std::nullopt},
      {"a frame cut short waits for its patience",
       {{0, "01 03 00"}, {4000, ""}, {499000, ""}},
       {},
       500000},
      {"then goes",
       {{0, "01 03 00"}, {4000, ""}, {500000, ""}},
       {{"01 03 00", FrameStatus::kIncomplete}},
       std::nullopt},
      {"noise before a request in one read",
       {{0, "FF 77 " + request}},
       {{"FF 77", FrameStatus::kIncomplete}, {request, FrameStatus::kOk}},
       std::nullopt},
      {"a damaged frame ends at the silence after it",
       {{0, "01 03 00 6B 00 03 74 18"}, {3645, ""}, {3646, ""}},
       {{"01 03 00 6B 00 03 74 18", FrameStatus::kBadChecksum}},
       std::nullopt},
      {"a function of the device's own, found by its CRC",
       {{0, own + " " + request}},
       {{own, FrameStatus::kOk}, {request, FrameStatus::kOk}},
       std::nullopt},
  };
  const ModbusRtuCodec codec;
  for (const auto& c : cases) {
    ModbusRtuCutter cutter(LineDirection::kReceived, false, std::chrono::microseconds(3646));
    testing::CollectingSink sink;
    for (const Step& step : c.steps) {
      if (step.bytes.empty()) {
        cutter.Tick(At(0, step.us).steady, sink);
      } else {
        cutter.Feed(FromHex(step.bytes), At(0, step.us), sink);
      }
    }
    std::vector<std::pair<std::string, FrameStatus>> frames;
    for (const testing::Cut& cut : sink.cuts)
      frames.emplace_back(cut.hex, codec.Check(FromHex(cut.hex), cut.cut));
    EXPECT_EQ(frames, c.frames) << c.what;
    const auto due = cutter.TickDue();
    EXPECT_EQ(due.has_value(), c.dueUs.has_value()) << c.what;
    if (due && c.dueUs) {
      EXPECT_EQ(*due, At(0, *c.dueUs).steady) << c.what;
    }
  }
}

TEST(ModbusRtuCutter, TheSilenceIsThreeAndAHalfCharactersUpTo19200Baud) {
  const struct {
    std::uint32_t baud;
    std::uint8_t dataBits, parity, stopBits;  // as the DCB has them
    std::int64_t micros;
  } cases[] = {
      {9600, 8, 0, 0, 3646},   // 10 bits a character
      {19200, 8, 2, 0, 2006},  // even parity: 11 bits, rounded up
      {1200, 7, 0, 2, 29167},  // two stop bits: 10 bits
      {4800, 5, 0, 1, 5469},   // one and a half stop bits: 7.5 bits
      {38400, 8, 0, 0, 1750},  // above 19200: fixed
      {115200, 8, 1, 2, 1750},
  };
  for (const auto& c : cases) {
    DCB dcb{};
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.dataBits;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stopBits;
    EXPECT_EQ(ModbusRtuSilence(LineTimingOf(dcb)).count(), c.micros) << c.baud;
  }
}

}  // namespace
}  // namespace tarnwick
