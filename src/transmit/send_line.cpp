#include "transmit/send_line.h"

#include "platform/message_box.h"

namespace tarnwick {
namespace {

constexpr const char* kNoDataText = "No data to send !";
constexpr const char* kNoDataCaption = "SEND";

// The parser's boxes, kept instead of shown.
class KeptBox final : public MessageBoxes {
 public:
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon,
                     MessageButtons) override {
    m_strText = text;
    m_strCaption = caption;
    return MessageResult::kOk;
  }
  std::string m_strText;
  std::string m_strCaption;
};

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The parser cuts a token after its first bad byte, which may be the first of
// a character of several: the rest of that character comes from the text. A
// bad token is the first place its lead byte occurs, as every token before
// it was read whole.
std::string WholeCharacters(std::string words, std::string_view source) {
  if (words.empty() || static_cast<unsigned char>(words.back()) < 0x80) return words;
  const std::size_t at = source.find(words);
  if (at == std::string_view::npos) return words;
  for (std::size_t p = at + words.size(); p < source.size() && IsContinuation(source[p]); ++p)
    words += source[p];
  return words;
}

}  // namespace

std::string SendParse::Describe() const {
  if (errorCaption == "Send" || errorCaption == "SEND" || errorCaption == "FAILED")
    return errorText;
  return errorCaption + " \"" + errorText + "\"";
}

SendParse ParseSendText(const SendEntry& entry, LineEnd lineEnd, const TextEncoder& encode) {
  const SendEntry e = Normalized(entry);
  KeptBox box;
  TransmitParser parser(box);
  const bool ascii = e.format == kTxFormatAscii;
  parser.m_strText = ascii && encode ? encode(e.text) : e.text;
  parser.m_nFormat = e.format;
  parser.m_nUnitIndex = e.unitLength - 1;
  parser.m_bReverse = e.reverse ? 1 : 0;
  SendParse result;
  if (!parser.ParseInput()) {
    result.errorText = WholeCharacters(std::move(box.m_strText), e.text);
    result.errorCaption = std::move(box.m_strCaption);
    return result;
  }
  result.bytes.assign(parser.m_pBuffer, parser.m_pBuffer + parser.m_nDataLength);
  if (ascii) {
    const std::string_view end = LineEndBytes(lineEnd);
    result.bytes.insert(result.bytes.end(), end.begin(), end.end());
  }
  if (result.bytes.empty()) {
    result.errorText = kNoDataText;
    result.errorCaption = kNoDataCaption;
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace tarnwick
