#include "display/text_stage.h"

#include "display/cell_width.h"
#include "display/code_pages.h"

namespace tarnwick {
namespace {

constexpr std::uint8_t kTab = 0x09;
constexpr char kHex[] = "0123456789ABCDEF";

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

}  // namespace

// The escape reader's malformed sequences are shown as invalid bytes; the
// sequences read whole go to the sink for a log that keeps them.
class TextStage::Bridge : public AnsiReader::Listener {
 public:
  Bridge(TextStage& stage, StyledTextSink& sink) : m_stage(stage), m_sink(sink) {}
  void OnMalformed(std::string_view bytes) override {
    m_stage.ShowBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                      kStyleInvalid, m_sink);
  }
  void OnSequence(std::string_view bytes) override { m_sink.KeepSequence(bytes); }

 private:
  TextStage& m_stage;
  StyledTextSink& m_sink;
};

void TextStage::Configure(const DisplayOptions& options) {
  if (options.textEncoding != m_encoding) m_utf8.Reset();
  m_encoding = options.textEncoding;
  m_bAnsi = options.bAnsiColours;
  if (!m_bAnsi) m_ansi.Reset();
  m_controls = options.controlCharacters;
}

void TextStage::Feed(std::uint8_t b, StyledTextSink& sink) {
  if (m_bAnsi) {
    Bridge bridge(*this, sink);
    if (b == AnsiReader::kEsc || m_ansi.InSequence()) {
      // A character in hand ends where a sequence begins.
      if (!m_ansi.InSequence()) Interrupt(sink);
      if (m_ansi.Feed(b, bridge)) return;
    }
  }
  Decode(b, sink);
}

void TextStage::Decode(std::uint8_t b, StyledTextSink& sink) {
  if (m_encoding != TextEncoding::kUtf8) {
    ShowCharacter(CodePageChar(m_encoding, b), sink);
    return;
  }
  m_utf8.Feed(
      b, [&](char32_t c) { ShowCharacter(c, sink); },
      [&](const std::uint8_t* bytes, std::size_t length) {
        ShowBytes(bytes, length, kStyleInvalid, sink);
      });
}

void TextStage::Interrupt(StyledTextSink& sink) {
  m_utf8.Flush([&](const std::uint8_t* bytes, std::size_t length) {
    ShowBytes(bytes, length, kStyleInvalid, sink);
  });
  if (m_bAnsi) {
    Bridge bridge(*this, sink);
    m_ansi.Interrupt(bridge);
  }
}

void TextStage::Reset() {
  m_utf8.Reset();
  m_ansi.Reset();
  m_nColumn = 0;
}

void TextStage::ShowCharacter(char32_t c, StyledTextSink& sink) {
  const TextStyle& style = m_ansi.Style();
  if (IsControl(c) && m_controls != ControlCharacters::kAsIs) {
    if (m_controls == ControlCharacters::kPictures && c == kTab) {
      static constexpr char kSpaces[kTabWidth + 1] = "        ";
      const std::size_t cells = kTabWidth - m_nColumn % kTabWidth;
      Show(std::string_view(kSpaces, cells), cells, style, sink);
      return;
    }
    // C0 and DEL have pictures (U+2400..U+241F, U+2421); C1 has none.
    if (m_controls == ControlCharacters::kPictures && c < 0x80) {
      char utf8[4];
      const char32_t picture = c == 0x7F ? 0x2421 : 0x2400 + c;
      Show(std::string_view(utf8, AppendUtf8(picture, utf8)), 1, style, sink);
      return;
    }
    const auto byte = static_cast<std::uint8_t>(c);
    ShowBytes(&byte, 1, kStyleControl, sink);
    return;
  }
  char utf8[4];
  Show(std::string_view(utf8, AppendUtf8(c, utf8)), static_cast<std::size_t>(CellWidth(c)), style,
       sink);
}

void TextStage::ShowBytes(const std::uint8_t* bytes, std::size_t length, std::uint32_t flag,
                          StyledTextSink& sink) {
  TextStyle style = m_ansi.Style();
  style.nFlags |= flag;
  char text[4] = {'\\', 'x', 0, 0};
  for (std::size_t i = 0; i < length; ++i) {
    text[2] = kHex[bytes[i] >> 4];
    text[3] = kHex[bytes[i] & 15];
    Show(std::string_view(text, 4), 4, style, sink);
  }
}

void TextStage::Show(std::string_view utf8, std::size_t cells, const TextStyle& style,
                     StyledTextSink& sink) {
  m_nColumn += cells;
  sink.ShowText(utf8, cells, style);
}

}  // namespace tarnwick
