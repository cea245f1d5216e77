#include "update/update_reply.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tarnwick {

std::string RequestUrl(std::string_view baseUrl, std::int32_t uid) {
  char uidText[16];
  std::snprintf(uidText, sizeof uidText, "&uid=%X",
                static_cast<unsigned>(static_cast<std::uint32_t>(uid)));
  return std::string(baseUrl) + uidText;
}

std::string ReadField(const std::uint8_t (&buffer)[kReplySize], char delimiter, std::size_t& pos) {
  std::string field;
  while (pos < kReplySize) {
    const char byte = static_cast<char>(buffer[pos++]);
    if (byte == delimiter) break;
    field.push_back(byte);
  }
  return field;
}

std::string_view FieldText(const std::string& field) { return std::string_view(field.c_str()); }

std::int32_t FieldInteger(std::string_view text) {
  std::size_t i = 0;
  // The blanks that "%d" skips.
  while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr && text[i] != '\0') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value == kLimit ? kLimit - 1 : value);
}

bool IsHttpUrl(std::string_view url) {
  std::size_t schemeEnd = 0;
  for (std::string_view scheme : {"http://", "https://"}) {
    if (url.size() < scheme.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < scheme.size() && same; ++i) {
      const char c = url[i];
      same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == scheme[i];
    }
    if (same) schemeEnd = scheme.size();
  }
  if (schemeEnd == 0) return false;
  // A host, and nothing a request line could not carry.
  if (url.size() == schemeEnd || url[schemeEnd] == '/') return false;
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

UpdateReply ParseReply(const std::uint8_t (&buffer)[kReplySize]) {
  UpdateReply reply;
  std::size_t pos = 0;
  reply.lastVer = FieldText(ReadField(buffer, ';', pos));
  reply.version = FieldText(ReadField(buffer, ';', pos));
  reply.askFirst = FieldInteger(FieldText(ReadField(buffer, ';', pos)));
  reply.downloadUrl = FieldText(ReadField(buffer, ';', pos));
  return reply;
}

void CopyReply(std::string_view body, std::uint8_t (&buffer)[kReplySize]) {
  std::memset(buffer, 0, sizeof buffer);
  if (!body.empty()) std::memcpy(buffer, body.data(), std::min(body.size(), kReplySize));
}

}  // namespace tarnwick
