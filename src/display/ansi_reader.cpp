#include "display/ansi_reader.h"

#include <vector>

namespace tarnwick {
namespace {

constexpr std::uint8_t kBel = 0x07;

bool IsIntermediate(std::uint8_t b) { return b >= 0x20 && b <= 0x2F; }
bool IsParameter(std::uint8_t b) { return b >= 0x30 && b <= 0x3F; }
bool IsFinal(std::uint8_t b) { return b >= 0x40 && b <= 0x7E; }

// One SGR parameter with its colon-separated parts; an empty part is -1.
struct Parameter {
  int parts[6] = {-1, -1, -1, -1, -1, -1};
  int count = 0;
};

std::vector<Parameter> SplitParameters(std::string_view text) {
  std::vector<Parameter> parameters(1);
  bool digits = false;
  for (const char c : text) {
    Parameter& p = parameters.back();
    if (c == ';') {
      parameters.emplace_back();
      digits = false;
    } else if (c == ':') {
      if (p.count < 6) ++p.count;
      digits = false;
    } else if (c >= '0' && c <= '9') {
      if (p.count == 0) p.count = 1;
      int& value = p.parts[p.count - 1];
      if (!digits) value = 0;
      digits = true;
      // Saturates: a huge number is simply out of every range.
      if (value < 100000) value = value * 10 + (c - '0');
    }
  }
  return parameters;
}

int ValueOf(const Parameter& p, int part = 0) {
  return part < p.count && p.parts[part] >= 0 ? p.parts[part] : 0;
}

// 38/48 with 5;n or 2;r;g;b, in either the colon or the semicolon form.
// Returns the colour (kDefault when it is out of range) and moves i past it.
std::uint32_t ExtendedColour(const std::vector<Parameter>& ps, std::size_t& i) {
  const Parameter& p = ps[i];
  if (p.count > 1) {
    const int kind = ValueOf(p, 1);
    if (kind == 5 && p.count >= 3) {
      const int n = ValueOf(p, 2);
      return n <= 255 ? colour::Indexed(static_cast<unsigned>(n)) : colour::kDefault;
    }
    if (kind == 2 && p.count >= 5) {
      // 38:2:r:g:b or 38:2:space:r:g:b.
      const int first = p.count >= 6 ? 3 : 2;
      const int r = ValueOf(p, first), g = ValueOf(p, first + 1), b = ValueOf(p, first + 2);
      if (r <= 255 && g <= 255 && b <= 255)
        return colour::Rgb(static_cast<unsigned>(r), static_cast<unsigned>(g),
                           static_cast<unsigned>(b));
    }
    return colour::kDefault;
  }
  if (i + 1 >= ps.size()) return colour::kDefault;
  const int kind = ValueOf(ps[i + 1]);
  if (kind == 5 && i + 2 < ps.size()) {
    const int n = ValueOf(ps[i + 2]);
    i += 2;
    return n <= 255 ? colour::Indexed(static_cast<unsigned>(n)) : colour::kDefault;
  }
  if (kind == 2 && i + 4 < ps.size()) {
    const int r = ValueOf(ps[i + 2]), g = ValueOf(ps[i + 3]), b = ValueOf(ps[i + 4]);
    i += 4;
    if (r <= 255 && g <= 255 && b <= 255)
      return colour::Rgb(static_cast<unsigned>(r), static_cast<unsigned>(g),
                         static_cast<unsigned>(b));
    return colour::kDefault;
  }
  ++i;
  return colour::kDefault;
}

}  // namespace

TextStyle ApplySgrParameters(const TextStyle& style, std::string_view parameters) {
  TextStyle s = style;
  const std::vector<Parameter> ps = SplitParameters(parameters);
  for (std::size_t i = 0; i < ps.size(); ++i) {
    const int n = ValueOf(ps[i]);
    if (n == 0) {
      s = TextStyle{};
    } else if (n == 1) {
      s.nFlags |= kStyleBold;
    } else if (n == 2) {
      s.nFlags |= kStyleDim;
    } else if (n == 3) {
      s.nFlags |= kStyleItalic;
    } else if (n == 4) {
      // 4:0 is "no underline"; 4:1 to 4:5 are kinds of underline.
      if (ps[i].count > 1 && ValueOf(ps[i], 1) == 0) {
        s.nFlags &= ~kStyleUnderline;
      } else {
        s.nFlags |= kStyleUnderline;
      }
    } else if (n == 7) {
      s.nFlags |= kStyleInverse;
    } else if (n == 21) {
      s.nFlags |= kStyleUnderline;  // double underline
    } else if (n == 22) {
      s.nFlags &= ~(kStyleBold | kStyleDim);
    } else if (n == 23) {
      s.nFlags &= ~kStyleItalic;
    } else if (n == 24) {
      s.nFlags &= ~kStyleUnderline;
    } else if (n == 27) {
      s.nFlags &= ~kStyleInverse;
    } else if (n >= 30 && n <= 37) {
      s.nForeground = colour::Indexed(static_cast<unsigned>(n - 30));
    } else if (n == 38) {
      s.nForeground = ExtendedColour(ps, i);
    } else if (n == 39) {
      s.nForeground = colour::kDefault;
    } else if (n >= 40 && n <= 47) {
      s.nBackground = colour::Indexed(static_cast<unsigned>(n - 40));
    } else if (n == 48) {
      s.nBackground = ExtendedColour(ps, i);
    } else if (n == 49) {
      s.nBackground = colour::kDefault;
    } else if (n >= 90 && n <= 97) {
      s.nForeground = colour::Indexed(static_cast<unsigned>(n - 90 + 8));
    } else if (n >= 100 && n <= 107) {
      s.nBackground = colour::Indexed(static_cast<unsigned>(n - 100 + 8));
    }
    // Blink, conceal, strike-through, fonts and the rest: not shown.
  }
  return s;
}

bool AnsiReader::Feed(std::uint8_t b, Listener& listener) {
  if (m_state == State::kGround) {
    if (b != kEsc) return false;
    m_sequence.assign(1, static_cast<char>(b));
    m_state = State::kEscape;
    return true;
  }
  if (Step(b, listener)) return true;
  // The sequence went wrong at b: b starts afresh.
  return Feed(b, listener);
}

// Takes b into the sequence in hand; false when b does not belong to it (the
// sequence has been handed back as malformed).
bool AnsiReader::Step(std::uint8_t b, Listener& listener) {
  switch (m_state) {
    case State::kEscape:
      if (b == '[') {
        m_state = State::kCsi;
      } else if (b == ']' || b == 'P' || b == 'X' || b == '^' || b == '_') {
        m_state = State::kString;
      } else if (IsIntermediate(b)) {
        m_state = State::kEscapeIntermediate;
      } else if (b >= 0x30 && b <= 0x7E) {
        m_sequence.push_back(static_cast<char>(b));
        Complete(listener);
        return true;
      } else {
        Malformed(listener, m_sequence.size());
        return false;
      }
      m_sequence.push_back(static_cast<char>(b));
      return true;
    case State::kEscapeIntermediate:
    case State::kCsi: {
      const bool csi = m_state == State::kCsi;
      const bool fits = csi ? IsParameter(b) || IsIntermediate(b) || IsFinal(b)
                            : IsIntermediate(b) || (b >= 0x30 && b <= 0x7E);
      if (!fits) {
        Malformed(listener, m_sequence.size());
        return false;
      }
      m_sequence.push_back(static_cast<char>(b));
      const bool final = csi ? IsFinal(b) : !IsIntermediate(b);
      if (final) {
        Complete(listener);
      } else if (m_sequence.size() >= kMaxCsiBytes) {
        Malformed(listener, m_sequence.size());
      }
      return true;
    }
    case State::kString:
      if (b == kBel) {
        m_sequence.push_back(static_cast<char>(b));
        Complete(listener);
        return true;
      }
      if (b < 0x20 && b != kEsc) {
        Malformed(listener, m_sequence.size());
        return false;
      }
      m_sequence.push_back(static_cast<char>(b));
      if (b == kEsc) {
        m_state = State::kStringEscape;
      } else if (m_sequence.size() >= kMaxStringBytes) {
        Malformed(listener, m_sequence.size());
      }
      return true;
    case State::kStringEscape:
      if (b == '\\') {
        m_sequence.push_back(static_cast<char>(b));
        Complete(listener);
        return true;
      }
      // Not a string terminator: the string went wrong before its ESC, which
      // starts the next sequence.
      Malformed(listener, m_sequence.size() - 1);
      m_sequence.assign(1, static_cast<char>(kEsc));
      m_state = State::kEscape;
      return Step(b, listener);
    case State::kGround:
      break;
  }
  return false;
}

void AnsiReader::Malformed(Listener& listener, std::size_t keep) {
  ++m_nMalformed;
  m_state = State::kGround;
  listener.OnMalformed(std::string_view(m_sequence).substr(0, keep));
  m_sequence.clear();
}

void AnsiReader::Complete(Listener& listener) {
  m_state = State::kGround;
  const std::string_view s = m_sequence;
  // SGR: no private marker, no intermediates.
  if (s.size() >= 3 && s[1] == '[' && s.back() == 'm') {
    const std::string_view parameters = s.substr(2, s.size() - 3);
    bool plain = true;
    for (const char c : parameters)
      plain = plain && ((c >= '0' && c <= '9') || c == ';' || c == ':');
    if (plain) m_style = ApplySgrParameters(m_style, parameters);
  }
  listener.OnSequence(s);
  m_sequence.clear();
}

void AnsiReader::Interrupt(Listener& listener) {
  if (m_state != State::kGround) Malformed(listener, m_sequence.size());
}

void AnsiReader::Reset() {
  m_state = State::kGround;
  m_sequence.clear();
}

}  // namespace tarnwick
