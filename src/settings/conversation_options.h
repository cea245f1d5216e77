// The other side of a conversation: where the tap is offered, the second
// port that hears the sent direction, whether this program's own sends are
// shown, and the colour of sent lines. They live in the user's profile, never
// in the settings record; with all of them off every output is as without.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// A blue that stays readable on the default white background.
inline constexpr std::uint32_t kDefaultSentColour = 0x00C04000;  // RGB(0, 64, 192)

struct ConversationOptions {
  // "Offer the port to another program at": the path of the tap's link;
  // empty: no tap.
  std::string strTapPath;
  // "Also listen on": a second port, receive only, in the "\\.\COM%d" form;
  // empty: none.
  std::string strAlsoListenOn;
  // "Show sent data": what Send data writes is shown as sent.
  bool bShowSentData = false;
  // Sent lines' colour, a COLORREF (0x00BBGGRR).
  std::uint32_t crSent = kDefaultSentColour;

  // A source of the sent direction is configured: lines then carry prefixes.
  bool HasSentSource() const {
    return !strTapPath.empty() || !strAlsoListenOn.empty() || bShowSentData;
  }
  friend bool operator==(const ConversationOptions&, const ConversationOptions&) = default;
};

}  // namespace tarnwick
