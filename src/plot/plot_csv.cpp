#include "plot/plot_csv.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tarnwick {
namespace {

void AppendNumber(std::string& out, double value) {
  char text[32];
  // The shortest text that reads back as the same double.
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

void AppendInteger(std::string& out, std::uint64_t value) {
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

}  // namespace

std::string PlotCsv(const ChannelStore& store, bool withSeconds) {
  const int channels = store.ChannelCount();
  std::string out = "Sample";
  for (int c = 0; c < channels; ++c) {
    const std::string name = store.ChannelName(c);
    if (withSeconds) out += "," + name + " time (s)";
    out += "," + name;
  }
  out += "\r\n";

  // The rings are in number order: walk them together from the lowest number.
  std::uint64_t first = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t last = 0;
  for (int c = 0; c < channels; ++c) {
    const SampleRing& ring = store.Channel(c);
    if (ring.empty()) continue;
    first = std::min(first, ring[0].number);
    last = std::max(last, ring.back().number);
  }
  if (first > last) return out;
  std::vector<std::size_t> next(static_cast<std::size_t>(channels), 0);
  for (std::uint64_t number = first; number <= last; ++number) {
    std::string row;
    AppendInteger(row, number);
    bool any = false;
    for (int c = 0; c < channels; ++c) {
      const SampleRing& ring = store.Channel(c);
      std::size_t& i = next[static_cast<std::size_t>(c)];
      const bool has = i < ring.size() && ring[i].number == number;
      if (withSeconds) {
        row += ',';
        if (has) AppendNumber(row, (ring[i].time - store.Origin()) / 1000.0);
      }
      row += ',';
      if (has) {
        AppendNumber(row, ring[i].value);
        ++i;
        any = true;
      }
    }
    // Numbers no channel kept (dropped while the window lagged) get no row.
    if (any) {
      out += row;
      out += "\r\n";
    }
  }
  return out;
}

}  // namespace tarnwick
