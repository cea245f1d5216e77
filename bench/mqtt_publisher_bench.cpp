// What publishing costs the port worker's thread: 16 MiB of text lines per
// iteration, in 4 KiB reads as the worker hands them over, placed by the
// screen model alone, with an observer that takes nothing, and with the MQTT
// publisher as its observer. The
// publisher's broker is a port nobody listens on, so what the benchmark
// measures is the worker's side (units and lines gathered, one queue push per
// read), not the network; its thread drops what it cannot send.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "display/screen_model.h"
#include "mqtt/mosquitto/mosquitto_client.h"
#include "mqtt/mqtt_publisher.h"

namespace tarnwick {
namespace {

constexpr std::size_t kTotalBytes = 16u << 20;
constexpr std::size_t kReadBytes = 4096;

std::vector<std::uint8_t> TextLines() {
  std::vector<std::uint8_t> data(kTotalBytes);
  std::mt19937 random(7);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(' ' + random() % 95);
    if (random() % 50 == 0 && i + 1 < data.size()) {
      data[i] = '\r';
      data[++i] = '\n';
    }
  }
  return data;
}

// An observer that takes nothing: what being observed costs the model itself.
class NoObserver : public ScreenObserver {
  void OnUnitPlaced(const UnitSettings&, const PlacedUnit&) override {}
  void OnLineCompleted(const UnitSettings&, const CompletedLine&) override {}
};

// observer 0: none, 1: one that takes nothing, 2: the publisher.
void ReceivePath(benchmark::State& state) {
  const bool publishing = state.range(0) == 2;
  NoObserver nothing;
  const std::vector<std::uint8_t> data = TextLines();
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatText;
  settings.nColumns = 0;
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  MqttPublisher publisher(*ParseMqttUrl("mqtt://127.0.0.1:9/bench/board", nullptr), "",
                          MosquittoClientFactory());
  std::string error;
  if (publishing && !publisher.Start(&error)) state.SkipWithError(error.c_str());
  for (auto _ : state) {
    for (std::size_t at = 0; at < data.size(); at += kReadBytes) {
      model.AddReceivedBytes(data.data() + at, kReadBytes, ReadTime::Now(),
                             publishing            ? static_cast<ScreenObserver*>(&publisher)
                             : state.range(0) == 1 ? &nothing
                                                   : nullptr);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotalBytes));
  publisher.Stop(0);
}
BENCHMARK(ReceivePath)->ArgName("observer")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
