// The send line's text as bytes: the transmit parser reads it as the Send data
// dialog would, and the line end goes after ASCII text. Macros and sequence
// steps send their texts the same way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transmit/send_entry.h"

namespace tarnwick {

struct SendParse {
  bool ok = false;
  std::vector<std::uint8_t> bytes;
  // On failure, the words the Send data dialog shows in its box (text and
  // caption), UTF-8: a token cut inside a character is given its whole
  // character.
  std::string errorText;
  std::string errorCaption;

  // One line for beside the field: the text alone where the caption says no
  // more than "Send" or "FAILED", else the caption and the quoted text
  // ("Incorrect token ! "102"").
  std::string Describe() const;
};

// ASCII text goes through encode first (its "\hh" escapes are read after);
// the number formats read the UTF-8 text as it is. A text that gives no
// bytes, line end included, fails with "No data to send !" as the dialog says.
SendParse ParseSendText(const SendEntry& entry, LineEnd lineEnd, const TextEncoder& encode);

}  // namespace tarnwick
