// Modbus against pymodbus's own frames (run as a process): every request and
// response read and paired, exceptions named, a damaged reply marked; and the
// same conversation heard on one wire with no silences, cut by lengths and
// CRCs wherever the reads split it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/child_process.h"
#include "frames/frames_layer.h"
#include "frames/frames_test_support.h"

namespace tarnwick {
namespace {

using testing::At;
using testing::Bytes;
using testing::FromHex;

struct Reference {
  bool bRequest = false;
  Bytes frame;
  std::string unit, function;
  bool bSound = true;
  std::string values;  // blank-separated
};

// What modbus_reference.py prints, RTU or ASCII.
std::vector<Reference> ReferenceFrames(bool ascii) {
  std::vector<std::string> args{TARNWICK_TEST_SOURCE_DIR "/frames/modbus_reference.py"};
  if (ascii) args.push_back("ascii");
  testing::ChildProcess script("/usr/bin/python3", args, {}, {}, true);
  std::vector<Reference> frames;
  for (std::string line; !(line = script.ReadLine(20000)).empty();) {
    std::istringstream in(line);
    std::string role, frame, start, count, status, value;
    Reference r;
    in >> role >> frame >> r.unit >> r.function >> start >> count >> status;
    r.bRequest = role == "request";
    r.frame = ascii ? testing::FromText(frame + "\r\n") : FromHex(frame);
    r.bSound = status == "ok";
    while (in >> value) r.values += (r.values.empty() ? "" : " ") + value;
    frames.push_back(r);
  }
  EXPECT_EQ(script.Wait(20000), 0);
  return frames;
}

bool PymodbusInstalled() {
  return std::filesystem::exists("/usr/lib/python3/dist-packages/pymodbus");
}

class Recorder : public FrameListener {
 public:
  struct Heard {
    std::string hex;
    FrameStatus status;
    FrameRole role;
    FrameDescription description;
    std::optional<std::int64_t> pairMicros;
  };
  void OnFrame(const FrameView& frame, std::string_view, const FrameDescription& description,
               std::optional<std::int64_t> pairMicros) override {
    heard.push_back({HexText(frame.bytes), frame.status, frame.role, description, pairMicros});
  }
  std::vector<Heard> heard;
};

void Configure(FramesLayer& layer, FrameProtocol protocol) {
  FramesConfig config;
  config.setup.choice.protocol = protocol;
  config.setup.line.nBaud = 9600;
  ASSERT_TRUE(layer.Configure(config));
}

TEST(Modbus, ReadsAndPairsWhatPymodbusBuilt) {
  if (!PymodbusInstalled()) GTEST_SKIP() << "python3-pymodbus is not installed";
  for (const bool ascii : {false, true}) {
    const std::vector<Reference> frames = ReferenceFrames(ascii);
    ASSERT_EQ(frames.size(), 24u);
    FramesLayer layer;
    Recorder recorder;
    layer.SetListener(&recorder);
    Configure(layer, ascii ? FrameProtocol::kModbusAscii : FrameProtocol::kModbusRtu);
    // Each request sent, and its response 4.2 ms later.
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const ReadTime time =
          At(100 * static_cast<std::int64_t>(i / 2), frames[i].bRequest ? 0 : 4200);
      layer.Push(frames[i].bRequest ? LineDirection::kSent : LineDirection::kReceived,
                 frames[i].frame.data(), frames[i].frame.size(), time);
      layer.Work(time.steady);
    }
    ASSERT_EQ(recorder.heard.size(), frames.size()) << (ascii ? "ASCII" : "RTU");
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const Reference& sent = frames[i];
      const Recorder::Heard& heard = recorder.heard[i];
      SCOPED_TRACE((ascii ? "ASCII frame " : "RTU frame ") + std::to_string(i));
      EXPECT_EQ(heard.status, sent.bSound ? FrameStatus::kOk : FrameStatus::kBadChecksum);
      EXPECT_EQ(heard.description.address, sent.unit);
      if (!sent.bSound) {
        EXPECT_EQ(heard.description.values, "");  // a damaged reply's values are not told
        EXPECT_FALSE(heard.pairMicros);
        continue;
      }
      EXPECT_EQ(heard.role, sent.bRequest ? FrameRole::kRequest : FrameRole::kResponse);
      EXPECT_EQ(heard.description.function, sent.function);
      EXPECT_EQ(heard.description.values, sent.values);
      if (sent.bRequest) {
        EXPECT_FALSE(heard.pairMicros);
      } else {
        EXPECT_EQ(heard.pairMicros, 4200);
      }
    }
    EXPECT_EQ(recorder.heard[1].description.summary,
              "01 Read Holding Registers 0x006B x3 -> 3 values, 4.2 ms");
    EXPECT_EQ(recorder.heard[23].description.summary,
              "01 Read Holding Registers 0x1000 x2 -> exception 02 Illegal Data Address, 4.2 ms");
  }
}

TEST(Modbus, OneWireWithoutSilencesIsCutByLengthsWhereverTheReadsSplitIt) {
  if (!PymodbusInstalled()) GTEST_SKIP() << "python3-pymodbus is not installed";
  const std::vector<Reference> frames = ReferenceFrames(false);
  Bytes stream;
  std::vector<std::pair<std::string, FrameStatus>> expected;
  for (const Reference& frame : frames) {
    stream.insert(stream.end(), frame.frame.begin(), frame.frame.end());
    expected.emplace_back(HexText(frame.frame),
                          frame.bSound ? FrameStatus::kOk : FrameStatus::kBadChecksum);
  }
  for (std::size_t split = 1; split < stream.size(); ++split) {
    FramesLayer layer;
    Recorder recorder;
    layer.SetListener(&recorder);
    Configure(layer, FrameProtocol::kModbusRtu);
    // Both sides on the one receive line, in two reads at the same moment.
    layer.Push(LineDirection::kReceived, stream.data(), split, At(0));
    layer.Push(LineDirection::kReceived, stream.data() + split, stream.size() - split, At(0));
    layer.Work(At(0).steady);
    layer.Close();
    layer.Work(At(0).steady);
    std::vector<std::pair<std::string, FrameStatus>> heard;
    for (const Recorder::Heard& h : recorder.heard) heard.emplace_back(h.hex, h.status);
    ASSERT_EQ(heard, expected) << "split at " << split;
    // Where only one kind's length fits, a frame on one wire still finds
    // its role, and the pair its time.
    EXPECT_EQ(recorder.heard[0].role, FrameRole::kRequest);
    EXPECT_EQ(recorder.heard[1].description.summary,
              "01 Read Holding Registers 0x006B x3 -> 3 values, 0.0 ms");
  }
}

}  // namespace
}  // namespace tarnwick
