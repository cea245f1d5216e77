// libFuzzer target for the version-check reply: any bytes as the page's body
// go through the 1024-byte cut, the field reader and every decision taken
// from a reply; a download judged with the same bytes as its body.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/update_reply.h"
#include "update/update_rules.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  std::uint8_t buffer[tarnwick::kReplySize];
  tarnwick::CopyReply(body, buffer);

  // Field by field, as the check reads them: never past the buffer.
  std::size_t pos = 0;
  std::size_t total = 0;
  for (int field = 0; field < 6; ++field) {
    const std::size_t before = pos;
    const std::string text = tarnwick::ReadField(buffer, ';', pos);
    Check(pos <= tarnwick::kReplySize);
    // The bytes taken are the field, plus the semicolon that ended it.
    Check(pos - before == text.size() || pos - before == text.size() + 1);
    Check(tarnwick::FieldText(text).size() <= text.size());
    total += text.size();
  }
  Check(total <= tarnwick::kReplySize);

  const tarnwick::UpdateReply reply = tarnwick::ParseReply(buffer);
  const tarnwick::ReplyVerdict verdict = tarnwick::JudgeReply(reply, "1.2.1.2");
  if (verdict == tarnwick::ReplyVerdict::kAsk || verdict == tarnwick::ReplyVerdict::kUpdate) {
    Check(tarnwick::IsHttpUrl(reply.downloadUrl));
    Check(reply.version != "1.2.1.2");
    Check((reply.askFirst != 0) == (verdict == tarnwick::ReplyVerdict::kAsk));
    Check(!tarnwick::UpdateQuestionText("1.2.1.2", reply.version).empty());
  }
  // The same bytes as a download, with the first field's text as its length.
  const std::string length(tarnwick::FieldText(reply.lastVer));
  const tarnwick::ExecutableSignature own = tarnwick::OwnExecutableSignature();
  const tarnwick::DownloadVerdict download = tarnwick::JudgeDownload(
      length, body.size(), body.substr(0, tarnwick::kExecutableHeadSize), own);
  if (download == tarnwick::DownloadVerdict::kAccept) {
    Check(tarnwick::ParseContentLength(length) == body.size());
    Check(body.substr(0, own.prefix.size()) == own.prefix);
  }
  return 0;
}
