// The display's text encoding as the senders and the sequences see it: text
// typed here (UTF-8) as the bytes the device gets, and the received bytes as
// the text a sequence waits for. Both follow the screen's reading of TEXT,
// Windows-1252 for now; when the screen's encoding becomes a choice, these
// two are where it is handed on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// utf8 in the display's encoding; a character the encoding lacks becomes '?'
// (as the Send data window's text box does), and so does a byte that is not
// UTF-8. ASCII stays as it is.
std::string EncodeDisplayText(std::string_view utf8);

// The received stream as text, read by read. It keeps what it needs across
// reads, so a character whose bytes came in two reads comes out once, whole.
class ReceivedTextDecoder {
 public:
  // Appends the text of data to utf8.
  void Decode(const std::uint8_t* data, std::size_t length, std::string& utf8);
  // What was in hand goes: the next read starts afresh.
  void Reset() {}
};

}  // namespace tarnwick
