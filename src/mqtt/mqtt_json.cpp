#include "mqtt/mqtt_json.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "display/ansi_code_page.h"

namespace tarnwick {

namespace {

using Json = nlohmann::json;

// The screen's code page to UTF-8: every byte has a character there.
std::string ShownText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char byte : text) {
    const char16_t c = AnsiToUnicode(static_cast<std::uint8_t>(byte));
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string HexText(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const std::uint8_t b : bytes) {
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

const char* DirectionName(LineDirection direction) {
  return direction == LineDirection::kSent ? "tx" : "rx";
}

// Strings from outside (a device name, a frame's summary) may not be UTF-8:
// such bytes become U+FFFD rather than a JSON error.
std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string IsoTime(LineTime ms) {
  // Calendar arithmetic only: gmtime_r would take the C library's time-zone
  // lock, which the logs' local times hold on the worker's thread.
  using namespace std::chrono;
  const sys_time<milliseconds> time{milliseconds(ms)};
  const sys_days day = floor<days>(time);
  const year_month_day date(day);
  const hh_mm_ss<milliseconds> clock(time - day);
  char text[64];
  std::snprintf(
      text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
      static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
      static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

std::string LinesJson(const std::vector<PublishedLine>& lines) {
  Json array = Json::array();
  for (const PublishedLine& line : lines) {
    Json object = {{"time", IsoTime(line.time)},
                   {"direction", DirectionName(line.direction)},
                   {"text", ShownText(line.text)},
                   {"hex", HexText(line.bytes)}};
    if (line.bBytesCut) object["bytes_cut"] = true;
    array.push_back(std::move(object));
  }
  return Dump(array);
}

std::string FrameJson(const FrameFields& frame) {
  Json object = {{"time", IsoTime(frame.time)},
                 {"direction", DirectionName(frame.direction)},
                 {"protocol", frame.protocol},
                 {"status", frame.status},
                 {"length", frame.length},
                 {"summary", frame.summary},
                 {"hex", frame.hex},
                 {"address", frame.address},
                 {"function", frame.function},
                 {"values", frame.values},
                 {"pair_ms", nullptr}};
  if (frame.pairMs) object["pair_ms"] = *frame.pairMs;
  return Dump(object);
}

std::string StatusJson(const CaptureStatusReport& status) {
  Json json{{"state", status.bOnline ? "online" : "offline"},
            {"device", status.device},
            {"line", status.line},
            {"port", status.port},
            {"rx_bytes", status.rxBytes},
            {"tx_bytes", status.txBytes},
            {"published", status.published},
            {"dropped", status.dropped},
            {"accept_send", status.bAcceptSend},
            {"send_refused", status.sendRefused}};
  if (status.time != 0) json["time"] = IsoTime(status.time);
  return Dump(json);
}

std::optional<CaptureStatusReport> ParseStatusJson(std::string_view payload) {
  const Json json = Json::parse(payload, nullptr, false);
  if (!json.is_object()) return std::nullopt;
  const auto state = json.find("state");
  if (state == json.end() || !state->is_string()) return std::nullopt;
  CaptureStatusReport status;
  status.bOnline = *state == "online";
  const auto text = [&](const char* key, std::string& out) {
    if (const auto it = json.find(key); it != json.end() && it->is_string()) out = *it;
  };
  const auto count = [&](const char* key, std::uint64_t& out) {
    if (const auto it = json.find(key); it != json.end() && it->is_number_unsigned()) out = *it;
  };
  text("device", status.device);
  text("line", status.line);
  text("port", status.port);
  count("rx_bytes", status.rxBytes);
  count("tx_bytes", status.txBytes);
  count("published", status.published);
  count("dropped", status.dropped);
  count("send_refused", status.sendRefused);
  if (const auto it = json.find("accept_send"); it != json.end() && it->is_boolean())
    status.bAcceptSend = *it;
  return status;
}

}  // namespace tarnwick
