// The stage that turns received TEXT bytes into what the screen shows when
// any text option is on: the encoding's characters (UTF-8 decoded with its
// state kept across reads), escape sequences read and not shown (SGR sets the
// style), control characters as they are, as pictures or as \xHH text, and
// bytes that do not decode as \xHH in the invalid-byte style. It works on one
// direction's bytes, one at a time, and hands out whole characters in UTF-8
// with their style; the screen model places them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "display/ansi_reader.h"
#include "display/text_style.h"
#include "display/utf8_decoder.h"
#include "settings/display_options.h"

namespace tarnwick {

// Where the stage's output goes.
class StyledTextSink {
 public:
  virtual ~StyledTextSink() = default;
  // Whole characters in UTF-8, cells wide, in style.
  virtual void ShowText(std::string_view utf8, std::size_t cells, const TextStyle& style) = 0;
  // An escape sequence read and not shown, as it came.
  virtual void KeepSequence(std::string_view bytes) = 0;
};

class TextStage {
 public:
  // Tab stops in pictures mode.
  static constexpr std::size_t kTabWidth = 8;

  // From the next byte on. A change of encoding drops a character in hand.
  void Configure(const DisplayOptions& options);

  void Feed(std::uint8_t b, StyledTextSink& sink);
  // A byte that ends the line (or is dropped in line mode) came: a character
  // or sequence in hand ends here, and what it held is shown as invalid.
  void Interrupt(StyledTextSink& sink);
  // The next text starts a new line (for tab stops).
  void StartLine() { m_nColumn = 0; }
  // A character or an escape sequence is in hand: its next byte belongs on
  // the line of its first.
  bool MidSequence() const { return m_utf8.MidCharacter() || m_ansi.InSequence(); }
  // The screen was cleared: what was in hand goes; the style stays.
  void Reset();

  // Invalid runs shown so far: bytes that did not decode and malformed sequences.
  std::uint64_t InvalidCount() const { return m_utf8.InvalidCount() + m_ansi.MalformedCount(); }

 private:
  class Bridge;
  void Decode(std::uint8_t b, StyledTextSink& sink);
  void ShowCharacter(char32_t c, StyledTextSink& sink);
  void ShowBytes(const std::uint8_t* bytes, std::size_t length, std::uint32_t flag,
                 StyledTextSink& sink);
  void Show(std::string_view utf8, std::size_t cells, const TextStyle& style, StyledTextSink& sink);

  TextEncoding m_encoding = TextEncoding::kCp1252;
  bool m_bAnsi = false;
  ControlCharacters m_controls = ControlCharacters::kAsIs;
  Utf8Decoder m_utf8;
  AnsiReader m_ansi;
  std::size_t m_nColumn = 0;  // cells shown on the line so far
};

}  // namespace tarnwick
