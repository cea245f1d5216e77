// The frames layer holding a million frames: a Modbus RTU conversation
// (Read Holding Registers of 10 registers, request sent, response received)
// pushed in 4 KiB reads per direction with no silences, as a flood would
// come, so every frame is found by its length and CRC. Reports the rate,
// the resident memory of the store, and the cost of what a pane does: a
// filter over all frames, and describing the 40 rows in sight.
//
// Usage: frames_bench [FRAMES] [CSV]   (1000000 frames, no CSV unless given)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "frames/checksum.h"
#include "frames/frame_filter.h"
#include "frames/frames_layer.h"

namespace {

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void AppendWithCrc(std::vector<std::uint8_t>& out, std::vector<std::uint8_t> frame) {
  const std::uint32_t crc = tarnwick::ComputeChecksum(tarnwick::ChecksumKind::kCrc16Modbus, frame);
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  out.insert(out.end(), frame.begin(), frame.end());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick;
  const long frames = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  FramesConfig config;
  config.setup.choice.protocol = FrameProtocol::kModbusRtu;
  config.setup.line.nBaud = 115200;
  if (argc > 2) config.csvPath = argv[2];
  FramesLayer layer;
  layer.Configure(config);

  // 4 KiB of requests and 4 KiB of the responses to them, one in 100 damaged.
  std::vector<std::uint8_t> requests, responses;
  long perBlock = 0;
  while (responses.size() < 4096 - 25) {
    const auto unit = static_cast<std::uint8_t>(1 + perBlock % 247);
    AppendWithCrc(requests, {unit, 3, 0, static_cast<std::uint8_t>(perBlock), 0, 10});
    std::vector<std::uint8_t> response{unit, 3, 20};
    for (int r = 0; r < 20; ++r) response.push_back(static_cast<std::uint8_t>(r * perBlock));
    AppendWithCrc(responses, response);
    if (perBlock % 100 == 99) responses[responses.size() - 5] ^= 0x40;
    ++perBlock;
  }

  const long before = ResidentKb();
  const auto start = std::chrono::steady_clock::now();
  std::size_t bytes = 0;
  auto now = std::chrono::steady_clock::now();
  for (long sent = 0; sent < frames; sent += 2 * perBlock) {
    // A request and its answer alternate as they would on the line: a read
    // of each direction, one whole block at a time.
    ReadTime time{std::chrono::system_clock::now(), now};
    layer.Push(LineDirection::kSent, requests.data(), requests.size(), time);
    layer.Push(LineDirection::kReceived, responses.data(), responses.size(), time);
    layer.Work(now);
    bytes += requests.size() + responses.size();
  }
  const double fillMs = MsSince(start);
  const long after = ResidentKb();
  const FrameStore::Counts counts = layer.Store().GetCounts();
  std::printf("%llu frames (%llu bad), %zu held, %.1f MB in %.0f ms: %.0f frames/s, %.1f MB/s\n",
              static_cast<unsigned long long>(counts.nFrames),
              static_cast<unsigned long long>(counts.nBad), counts.nHeld, bytes / 1e6, fillMs,
              1000.0 * static_cast<double>(counts.nFrames) / fillMs,
              static_cast<double>(bytes) / 1e3 / fillMs);
  std::printf(
      "resident: %ld kB before, %ld kB after: %.1f MB, %.1f bytes a frame; store reserves %.1f "
      "MB\n",
      before, after, (after - before) / 1024.0,
      1024.0 * static_cast<double>(after - before) / static_cast<double>(counts.nHeld),
      layer.Store().ReservedBytes() / 1048576.0);

  FrameFilter filter;
  filter.Set(FrameFilterSpec::BadOnly());
  auto timed = std::chrono::steady_clock::now();
  filter.Update(layer.Store());
  std::printf("bad-only filter over all frames: %zu rows in %.1f ms\n", filter.Size(),
              MsSince(timed));

  // A pane in the middle of the frames: 40 rows, described.
  const auto codec = layer.Codec();
  FrameDescription description;
  std::size_t described = 0;
  timed = std::chrono::steady_clock::now();
  const int kPaints = 100;
  for (int paint = 0; paint < kPaints; ++paint) {
    layer.Store().VisitRange(counts.nFirst + counts.nHeld / 2, 40, [&](const StoredFrame& frame) {
      codec->Describe(frame.view, frame.pair, description);
      described += description.summary.size();
    });
  }
  std::printf("40 rows described: %.3f ms a paint (%zu characters)\n", MsSince(timed) / kPaints,
              described / kPaints);
  return 0;
}
