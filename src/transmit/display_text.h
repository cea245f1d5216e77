// The display's text encoding as the senders and the sequences see it: text
// typed here (UTF-8) as the bytes the device gets, and the received bytes as
// the text a sequence waits for, both in the encoding TEXT is read in
// (View > Text), so what is typed and what is waited for match the screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/utf8_decoder.h"
#include "settings/display_options.h"

namespace tarnwick {

// utf8 in encoding; a character the encoding lacks becomes '?' (as the Send
// data window's text box does), and so does a byte that is not UTF-8. ASCII
// stays as it is.
std::string EncodeDisplayText(std::string_view utf8, TextEncoding encoding);
// Which character of utf8 the encoding lacks, and where; empty when it has
// them all.
std::string DisplayTextProblem(std::string_view utf8, TextEncoding encoding);

// The received stream as text, read by read. It keeps what it needs across
// reads, so a character whose bytes came in two reads comes out once, whole;
// a byte that does not decode comes out as U+FFFD.
class ReceivedTextDecoder {
 public:
  explicit ReceivedTextDecoder(TextEncoding encoding = TextEncoding::kCp1252)
      : m_encoding(encoding) {}

  // Appends the text of data to utf8.
  void Decode(const std::uint8_t* data, std::size_t length, std::string& utf8);
  // From the next read on, in encoding; what was in hand goes.
  void SetEncoding(TextEncoding encoding) {
    m_encoding = encoding;
    Reset();
  }
  void Reset() { m_utf8.Reset(); }

 private:
  TextEncoding m_encoding;
  Utf8Decoder m_utf8;
};

}  // namespace tarnwick
