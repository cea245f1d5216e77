#include "mqtt/mqtt_url.h"

#include <array>

namespace tarnwick {

namespace {

struct Scheme {
  std::string_view prefix;
  bool tls;
};
constexpr std::array<Scheme, 2> kSchemes = {{{"mqtt://", false}, {"mqtts://", true}}};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c) != prefix[i]) return false;
  }
  return true;
}

const Scheme* SchemeOf(std::string_view name) {
  for (const Scheme& scheme : kSchemes) {
    if (StartsWithNoCase(name, scheme.prefix)) return &scheme;
  }
  return nullptr;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX sequences decoded; nothing when one is malformed.
std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

// Well-formed UTF-8 without overlong forms or surrogates, as MQTT requires
// of topics.
bool ValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, c = lead & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF)) {
      return false;
    }
    i += static_cast<std::size_t>(length);
  }
  return true;
}

// Checks a decoded prefix; empty when it may stand in front of topic names.
std::string PrefixProblem(std::string_view prefix) {
  if (prefix.empty()) return "the URL names no topic prefix: add /PREFIX after the broker";
  if (prefix.find('\0') != std::string_view::npos) return "the topic prefix contains a NUL";
  if (prefix.find_first_of("+#") != std::string_view::npos)
    return "the topic prefix contains a wildcard ('+' or '#')";
  if (prefix.front() == '$')
    return "the topic prefix begins with '$', which brokers keep for themselves";
  if (prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string_view::npos)
    return "the topic prefix has an empty level";
  if (!ValidUtf8(prefix)) return "the topic prefix is not valid UTF-8";
  // A topic is at most 65535 bytes; room is left for the names under it.
  if (prefix.size() > 65000) return "the topic prefix is too long";
  return {};
}

bool ParsePort(std::string_view text, int* port) {
  if (text.empty() || text.size() > 5 || text[0] == '0') return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *port = value;
  return value <= 65535;
}

bool ValidHost(std::string_view host) {
  if (host.empty()) return false;
  for (const char c : host) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@' || c == '[' || c == ']' ||
        c == '%' || c == '?' || c == '#')
      return false;
  }
  return true;
}

std::optional<MqttUrl> Fail(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return std::nullopt;
}

}  // namespace

std::string MqttUrl::Text() const {
  std::string text = bTls ? "mqtts://" : "mqtt://";
  if (!strUser.empty()) text += strUser + "@";
  text += strHost.find(':') != std::string::npos ? "[" + strHost + "]" : strHost;
  text += ":" + std::to_string(nPort) + "/" + strPrefix;
  return text;
}

bool IsMqttUrl(std::string_view name) { return SchemeOf(name) != nullptr; }

std::optional<MqttUrl> ParseMqttUrl(std::string_view text, std::string* error) {
  const Scheme* scheme = SchemeOf(text);
  if (scheme == nullptr) return Fail(error, "not an MQTT URL: use mqtt://HOST[:PORT]/PREFIX");
  MqttUrl url;
  url.bTls = scheme->tls;
  std::string_view rest = text.substr(scheme->prefix.size());

  std::string_view query;
  if (const std::size_t mark = rest.find('?'); mark != std::string_view::npos) {
    query = rest.substr(mark + 1);
    rest = rest.substr(0, mark);
  }
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos)
    return Fail(error, "the URL names no topic prefix: add /PREFIX after the broker");
  std::string_view authority = rest.substr(0, slash);
  const std::string_view path = rest.substr(slash + 1);

  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view user = authority.substr(0, at);
    authority = authority.substr(at + 1);
    if (user.find(':') != std::string_view::npos) {
      return Fail(error,
                  "a password is never taken from the URL: set TARNWICK_MQTT_PASSWORD or "
                  "TARNWICK_MQTT_PASSWORD_FILE");
    }
    const std::optional<std::string> decoded = PercentDecoded(user);
    if (!decoded || decoded->empty() || decoded->find('\0') != std::string::npos ||
        !ValidUtf8(*decoded)) {
      return Fail(error, "the user name in the URL is malformed");
    }
    url.strUser = *decoded;
  }

  std::string_view host = authority;
  std::optional<std::string_view> port;
  if (authority.starts_with('[')) {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return Fail(error, "the broker's address is malformed");
    host = authority.substr(1, close - 1);
    const std::string_view after = authority.substr(close + 1);
    if (host.find(':') == std::string_view::npos || (!after.empty() && !after.starts_with(':')))
      return Fail(error, "the broker's address is malformed");
    if (!after.empty()) port = after.substr(1);
  } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    if (port->find(':') != std::string_view::npos)
      return Fail(error, "an IPv6 address of the broker needs brackets: mqtt://[ADDRESS]:PORT/");
  }
  if (!ValidHost(host)) return Fail(error, "the URL names no valid broker host");
  url.strHost = std::string(host);
  url.nPort = url.bTls ? kMqttsPort : kMqttPort;
  if (port && !ParsePort(*port, &url.nPort))
    return Fail(error, "the broker's port is not a number from 1 to 65535");

  const std::optional<std::string> prefix = PercentDecoded(path);
  if (!prefix) return Fail(error, "the topic prefix has a malformed %-escape");
  if (std::string problem = PrefixProblem(*prefix); !problem.empty())
    return Fail(error, std::move(problem));
  url.strPrefix = *prefix;

  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (!pair.starts_with("cafile="))
      return Fail(error, "the URL may carry only cafile=PATH after '?'");
    const std::optional<std::string> file = PercentDecoded(pair.substr(7));
    if (!file || file->empty() || file->find('\0') != std::string::npos)
      return Fail(error, "the CA file in the URL is malformed");
    if (!url.bTls) return Fail(error, "a CA file needs TLS: use mqtts://");
    url.strCaFile = *file;
  }
  return url;
}

}  // namespace tarnwick
