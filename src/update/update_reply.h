// The version-check page's reply: semicolon-ended fields in the first 1024
// bytes of the body, and the request URL that asks for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// Only this much of a reply is looked at.
inline constexpr std::size_t kReplySize = 1024;

// The base URL followed by "&uid=%X": the identifier in upper-case
// hexadecimal without leading zeros (a negative one as its 32-bit pattern).
std::string RequestUrl(std::string_view baseUrl, std::int32_t uid);

// The next field from pos: bytes up to the delimiter, which is skipped, or up
// to the end of the buffer. NULs are kept; pos ends past what was taken.
std::string ReadField(const std::uint8_t (&buffer)[kReplySize], char delimiter, std::size_t& pos);

// A field as it is compared and converted: its text up to the first NUL.
std::string_view FieldText(const std::string& field);

// "%d" reading of a field: leading blanks, an optional sign, digits; no
// digits gives 0. Out-of-range values saturate, so that digits that are not
// all zero never read as zero.
std::int32_t FieldInteger(std::string_view text);

// True for an absolute http or https URL with a host.
bool IsHttpUrl(std::string_view url);

// The four fields of a reply, as text up to their first NUL.
struct UpdateReply {
  std::string lastVer;        // must be "LastVer"
  std::string version;        // the latest version
  std::int32_t askFirst = 0;  // non-zero: ask the user before updating
  std::string downloadUrl;    // the new executable
};

UpdateReply ParseReply(const std::uint8_t (&buffer)[kReplySize]);

// Fills buffer with the first kReplySize bytes of body and NULs after them,
// so that a last field without its semicolon ends where the body ends.
void CopyReply(std::string_view body, std::uint8_t (&buffer)[kReplySize]);

}  // namespace tarnwick
