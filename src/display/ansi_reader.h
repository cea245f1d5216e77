// Escape sequences in received text, read as a monitor reads them: SGR
// (ESC [ ... m) sets the style of the text that follows; every other CSI,
// OSC (and the other strings: DCS, SOS, PM, APC) and two-byte escape is read
// and not shown. The state is kept across reads, so a sequence split between
// reads is taken whole. A sequence that goes wrong ends where it goes wrong
// and its bytes are handed back to be shown as invalid bytes: a CSI of more
// than 64 bytes, a string of more than 4 KiB, or a byte no sequence of its
// kind may hold; the byte that ended it is read again on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/text_style.h"

namespace tarnwick {

class AnsiReader {
 public:
  static constexpr std::size_t kMaxCsiBytes = 64;
  static constexpr std::size_t kMaxStringBytes = 4096;
  static constexpr std::uint8_t kEsc = 0x1B;

  // What the reader does with one byte.
  class Listener {
   public:
    virtual ~Listener() = default;
    // A sequence went wrong: its bytes, to be shown as invalid.
    virtual void OnMalformed(std::string_view bytes) = 0;
    // A sequence was read whole (SGR included): its bytes, for a log that keeps them.
    virtual void OnSequence(std::string_view bytes) = 0;
  };

  // True when b belongs to an escape sequence (the listener hears of any
  // that ended); false when b is text, to be decoded and shown.
  bool Feed(std::uint8_t b, Listener& listener);
  // The sequence in hand, if any, ends here, malformed (a line ends inside it).
  void Interrupt(Listener& listener);
  // Drops the sequence in hand without a word (the screen was cleared).
  void Reset();

  bool InSequence() const { return m_state != State::kGround; }
  // The style SGR sequences have set: it lasts across lines until reset.
  const TextStyle& Style() const { return m_style; }
  std::uint64_t MalformedCount() const { return m_nMalformed; }

 private:
  enum class State { kGround, kEscape, kEscapeIntermediate, kCsi, kString, kStringEscape };

  bool Step(std::uint8_t b, Listener& listener);
  void Malformed(Listener& listener, std::size_t keep);
  void Complete(Listener& listener);
  void ApplySgr(std::string_view parameters);

  State m_state = State::kGround;
  std::string m_sequence;  // the bytes of the sequence in hand, ESC first
  TextStyle m_style;
  std::uint64_t m_nMalformed = 0;
};

// The style after the SGR parameters (the text between "ESC [" and "m").
TextStyle ApplySgrParameters(const TextStyle& style, std::string_view parameters);

}  // namespace tarnwick
