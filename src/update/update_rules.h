// What the check decides from a reply, the profile and a download: plain
// rules without any I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "update/update_reply.h"

namespace tarnwick {

// The question is asked at most once in this many seconds.
inline constexpr std::int32_t kAskInterval = 259200;
// A download larger than this is not an executable of ours.
inline constexpr std::uint64_t kMaxDownloadSize = 256ull * 1024 * 1024;

// The low 32 bits of a time in seconds since 1970, as the profile keeps it.
std::int32_t LowTime32(std::int64_t seconds);

// True when the last answer (lastRequest) lies less than kAskInterval before
// now, as a signed 32-bit difference.
bool AskedRecently(std::int32_t now, std::int32_t lastRequest);

enum class ReplyVerdict {
  kNotAReply,    // the first field is not "LastVer"
  kSameVersion,  // the latest version is ours
  kNoDownload,   // a new version, but no http(s) URL to fetch it from
  kAsk,          // a new version; ask the user first
  kUpdate,       // a new version; update without asking
};

ReplyVerdict JudgeReply(const UpdateReply& reply, std::string_view ownVersion);

// The question's text, filled with the own and the latest version.
std::string UpdateQuestionText(std::string_view ownVersion, std::string_view latestVersion);

// A Content-Length header's value: decimal digits only, with optional blanks
// around them. Anything else, or a number far too large to be a size, is no
// length.
std::optional<std::uint64_t> ParseContentLength(std::string_view header);

// What the first bytes of an executable must hold to run where this program
// runs: a prefix and, when not empty, a machine field at machineOffset.
struct ExecutableSignature {
  std::string prefix;
  std::size_t machineOffset = 0;
  std::string machine;
};
// How many first bytes of a download JudgeDownload needs at most.
inline constexpr std::size_t kExecutableHeadSize = 64;

// The running program's own: on ELF systems its magic, class and byte order,
// and its machine; on Windows "MZ".
ExecutableSignature OwnExecutableSignature();

enum class DownloadVerdict { kAccept, kNoLength, kLengthMismatch, kTooLarge, kNotExecutable };

// A download is installed only when its length header is present and usable,
// exactly size bytes came, and its first bytes (head) match own: an
// executable for another architecture would leave the user without a program.
DownloadVerdict JudgeDownload(const std::optional<std::string>& contentLength, std::uint64_t size,
                              std::string_view head, const ExecutableSignature& own);

}  // namespace tarnwick
