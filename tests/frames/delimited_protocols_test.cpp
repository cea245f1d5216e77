// NMEA sentences with their published checksums, and COBS and SLIP payloads,
// streamed through the frames layer and split at every byte boundary.
#include <gtest/gtest.h>

#include "frames/frames_layer.h"
#include "frames/frames_test_support.h"

namespace tarnwick {
namespace {

using testing::Bytes;
using testing::FromHex;
using testing::FromText;

struct Read {
  FrameStatus status;
  std::string address, function, values;
  friend bool operator==(const Read&, const Read&) = default;
};

std::ostream& operator<<(std::ostream& out, const Read& r) {
  return out << '{' << FrameStatusText(r.status) << " '" << r.address << "' '" << r.function
             << "' '" << r.values << "'}";
}

class Reads : public FrameListener {
 public:
  void OnFrame(const FrameView& frame, std::string_view, const FrameDescription& d,
               std::optional<std::int64_t>) override {
    reads.push_back({frame.status, d.address, d.function, d.values});
  }
  std::vector<Read> reads;
};

std::vector<Read> ReadStream(FrameProtocol protocol, const Bytes& stream, std::size_t split) {
  FramesLayer layer;
  Reads listener;
  layer.SetListener(&listener);
  FramesConfig config;
  config.setup.choice.protocol = protocol;
  EXPECT_TRUE(layer.Configure(config));
  const ReadTime time = testing::At(0);
  layer.Push(LineDirection::kReceived, stream.data(), split, time);
  layer.Push(LineDirection::kReceived, stream.data() + split, stream.size() - split, time);
  layer.Work(time.steady);
  layer.Close();
  layer.Work(time.steady);
  return listener.reads;
}

TEST(DelimitedProtocols, SentencesAndPayloadsReadTheSameWhereverReadsSplitThem) {
  constexpr FrameStatus kOk = FrameStatus::kOk;
  const struct {
    FrameProtocol protocol;
    Bytes stream;
    std::vector<Read> reads;
  } cases[] = {
      {FrameProtocol::kNmea,
       FromText(
           // The tail of a sentence heard from its middle.
           "038,N*1A\r\n"
           "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
           "!AIVDM,1,1,,B,177KQJ5000G?tO`K>RA1wUbN0TKH,0*5C\r\n"
           // LF alone, as some devices end them.
           "$GPGLL,4916.45,N,12311.12,W,225444,A,*1D\n"
           "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B\r\n"
           "$PGRME,15.0,M,45.0,M,25.0,M\r\n"
           "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"
           // Cut off by the next sentence's start.
           "$GPVTG,054.7,T,034.4,M,005.5,N$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,"
           "230394,003.1,W*6A\r\n"),
       {{FrameStatus::kIncomplete, "", "", ""},
        {kOk, "GP", "GGA", "123519 4807.038 N 01131.000 E 1 08 0.9 545.4 M 46.9 M  "},
        {kOk, "AI", "VDM", "1 1  B 177KQJ5000G?tO`K>RA1wUbN0TKH 0"},
        {kOk, "GP", "GLL", "4916.45 N 12311.12 W 225444 A "},
        {FrameStatus::kBadChecksum, "GP", "RMC",
         "123519 A 4807.038 N 01131.000 E 022.4 084.4 230394 003.1 W"},
        {FrameStatus::kNoChecksum, "P", "GRME", "15.0 M 45.0 M 25.0 M"},
        {kOk, "GP", "GSA", "A 3 04 05  09 12   24     2.5 1.3 2.1"},
        {FrameStatus::kIncomplete, "GP", "VTG", "054.7 T 034.4 M 005.5 N"},
        {kOk, "GP", "RMC", "123519 A 4807.038 N 01131.000 E 022.4 084.4 230394 003.1 W"}}},
      {FrameProtocol::kCobs,
       // 11 22 00 33; 00; nothing; a code that runs past the frame; a frame cut off.
       FromHex("03 11 22 02 33 00  01 01 00  01 00  05 11 22 00  02 44"),
       {{kOk, "", "", "11 22 00 33"},
        {kOk, "", "", "00"},
        {kOk, "", "", ""},
        {FrameStatus::kBadEncoding, "", "", ""},
        {FrameStatus::kIncomplete, "", "", ""}}},
      {FrameProtocol::kSlip,
       // END before and after; 01 C0 02 DB escaped; an escape of nothing known.
       FromHex("C0 01 DB DC 02 DB DD C0 C0 03 DB 05 C0 10 C0"),
       {{kOk, "", "", "01 C0 02 DB"},
        {FrameStatus::kBadEncoding, "", "", ""},
        {kOk, "", "", "10"}}},
  };
  for (const auto& c : cases) {
    for (std::size_t split = 0; split <= c.stream.size(); ++split)
      ASSERT_EQ(ReadStream(c.protocol, c.stream, split), c.reads)
          << static_cast<int>(c.protocol) << " split at " << split;
  }
}

}  // namespace
}  // namespace tarnwick
