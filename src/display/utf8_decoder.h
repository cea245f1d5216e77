// UTF-8 read a byte at a time, its state kept across reads: a character
// split between two reads comes out once and whole. A byte that cannot
// continue the sequence in hand ends it: the bytes taken so far (the longest
// start of a valid sequence, as Unicode counts them) come out as invalid and
// the byte is read again on its own, so nothing that follows is swallowed.
// Overlong forms, surrogates and values past U+10FFFF are invalid from the
// byte that rules them out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

class Utf8Decoder {
 public:
  // onChar(char32_t) for a whole character, onInvalid(const std::uint8_t*,
  // std::size_t) for each invalid run, in order.
  template <class OnChar, class OnInvalid>
  void Feed(std::uint8_t b, OnChar&& onChar, OnInvalid&& onInvalid) {
    if (m_nNeed > 0) {
      if (b >= m_nLow && b <= m_nHigh) {
        m_pending[m_nHave++] = b;
        m_c = (m_c << 6) | (b & 0x3F);
        m_nLow = 0x80;
        m_nHigh = 0xBF;
        if (--m_nNeed == 0) {
          m_nHave = 0;
          onChar(m_c);
        }
        return;
      }
      Flush(onInvalid);
    }
    Start(b, onChar, onInvalid);
  }

  // The sequence in hand, if any, ends here (a line end, an escape
  // sequence, a reset): its bytes come out as invalid.
  template <class OnInvalid>
  void Flush(OnInvalid&& onInvalid) {
    if (m_nHave == 0) return;
    ++m_nInvalid;
    const std::size_t have = m_nHave;
    m_nHave = 0;
    m_nNeed = 0;
    onInvalid(static_cast<const std::uint8_t*>(m_pending), have);
  }

  bool MidCharacter() const { return m_nHave > 0; }
  void Reset() { m_nHave = m_nNeed = 0; }
  // Invalid runs so far: each is one replacement character's worth.
  std::uint64_t InvalidCount() const { return m_nInvalid; }

 private:
  template <class OnChar, class OnInvalid>
  void Start(std::uint8_t b, OnChar&& onChar, OnInvalid&& onInvalid) {
    m_nLow = 0x80;
    m_nHigh = 0xBF;
    if (b < 0x80) {
      onChar(static_cast<char32_t>(b));
      return;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      m_nNeed = 1;
      m_c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      m_nNeed = 2;
      m_c = b & 0x0F;
      if (b == 0xE0) m_nLow = 0xA0;   // below: overlong
      if (b == 0xED) m_nHigh = 0x9F;  // above: surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      m_nNeed = 3;
      m_c = b & 0x07;
      if (b == 0xF0) m_nLow = 0x90;   // below: overlong
      if (b == 0xF4) m_nHigh = 0x8F;  // above: past U+10FFFF
    } else {
      // A continuation byte on its own, C0, C1 (overlong) or F5..FF.
      ++m_nInvalid;
      onInvalid(&b, 1);
      return;
    }
    m_pending[0] = b;
    m_nHave = 1;
  }

  std::uint8_t m_pending[4] = {};
  std::size_t m_nHave = 0;
  int m_nNeed = 0;
  std::uint8_t m_nLow = 0x80;
  std::uint8_t m_nHigh = 0xBF;
  char32_t m_c = 0;
  std::uint64_t m_nInvalid = 0;
};

}  // namespace tarnwick
