#include "update/update_rules.h"

#ifndef _WIN32
// The start of the program's own image, which is its ELF header.
extern "C" const char __ehdr_start[];
#endif

namespace tarnwick {

std::int32_t LowTime32(std::int64_t seconds) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds)));
}

bool AskedRecently(std::int32_t now, std::int32_t lastRequest) {
  // Wrapping difference: unsigned subtraction, then the signed view of it.
  const auto elapsed = static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                                 static_cast<std::uint32_t>(lastRequest));
  return elapsed < kAskInterval;
}

ReplyVerdict JudgeReply(const UpdateReply& reply, std::string_view ownVersion) {
  if (reply.lastVer != "LastVer") return ReplyVerdict::kNotAReply;
  if (reply.version == ownVersion) return ReplyVerdict::kSameVersion;
  // Asking about an update that cannot be fetched would only waste an answer.
  if (!IsHttpUrl(reply.downloadUrl)) return ReplyVerdict::kNoDownload;
  return reply.askFirst != 0 ? ReplyVerdict::kAsk : ReplyVerdict::kUpdate;
}

std::string UpdateQuestionText(std::string_view ownVersion, std::string_view latestVersion) {
  std::string text = "There is a new version available !\r\n\r\nYour version: ";
  text += ownVersion;
  text += "\r\nLast version:";
  text += latestVersion;
  text += "\r\n\r\nWhould you like to update now ?";
  return text;
}

std::optional<std::uint64_t> ParseContentLength(std::string_view header) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!header.empty() && blank(header.front())) header.remove_prefix(1);
  while (!header.empty() &&
         (blank(header.back()) || header.back() == '\r' || header.back() == '\n'))
    header.remove_suffix(1);
  if (header.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : header) {
    if (c < '0' || c > '9') return std::nullopt;
    // Far beyond any size that is accepted; stop before the value could wrap.
    if (value > kMaxDownloadSize * 1024) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

ExecutableSignature OwnExecutableSignature() {
#ifdef _WIN32
  return {"MZ", 0, {}};
#else
  // The linker maps the program's own ELF header here.
  const auto* header = __ehdr_start;
  // e_ident: magic, class and data (byte order); e_machine follows e_type.
  constexpr std::size_t kIdentUsed = 6;
  constexpr std::size_t kMachineOffset = 18;
  return {std::string(header, kIdentUsed), kMachineOffset, std::string(header + kMachineOffset, 2)};
#endif
}

DownloadVerdict JudgeDownload(const std::optional<std::string>& contentLength, std::uint64_t size,
                              std::string_view head, const ExecutableSignature& own) {
  if (size > kMaxDownloadSize) return DownloadVerdict::kTooLarge;
  if (!contentLength) return DownloadVerdict::kNoLength;
  const std::optional<std::uint64_t> length = ParseContentLength(*contentLength);
  if (!length) return DownloadVerdict::kNoLength;
  if (*length > kMaxDownloadSize) return DownloadVerdict::kTooLarge;
  if (*length != size) return DownloadVerdict::kLengthMismatch;
  if (head.substr(0, own.prefix.size()) != own.prefix) return DownloadVerdict::kNotExecutable;
  if (!own.machine.empty() && (head.size() < own.machineOffset ||
                               head.substr(own.machineOffset, own.machine.size()) != own.machine)) {
    return DownloadVerdict::kNotExecutable;
  }
  return DownloadVerdict::kAccept;
}

}  // namespace tarnwick
