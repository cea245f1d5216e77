// Turns the Send data dialog's text (or a file) into the bytes to transmit:
// ASCII with "\hh" escapes, or whitespace-separated HEX, BIN, DEC or FLOAT
// numbers, each number one unit of 1 to 4 bytes in the chosen byte order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/message_box.h"

namespace tarnwick {

// Format box indices, in the list's order.
enum TransmitFormat : std::int32_t {
  kTxFormatAscii = 0,
  kTxFormatHex = 1,
  kTxFormatBin = 2,
  kTxFormatDec = 3,
  kTxFormatFloat = 4,
};

class TransmitParser {
 public:
  static constexpr std::uint32_t kInitialCapacity = 1024;
  // m_nDataLength and the worker's length are signed 32-bit words, so no block
  // may be larger than this.
  static constexpr std::uint32_t kMaxCapacity = 0x7FFFFFFF;

  explicit TransmitParser(MessageBoxes& boxes);
  ~TransmitParser();
  TransmitParser(const TransmitParser&) = delete;
  TransmitParser& operator=(const TransmitParser&) = delete;

  // Parses m_strText (or loads m_strFilePath when m_bSendFile is set) into the
  // block. On true the first m_nDataLength bytes of m_pBuffer are the data; on
  // false an error box has been shown and nothing is to be sent.
  bool ParseInput();
  // Makes the block at least n bytes long, growing it to exactly n. On failure
  // the previous block stays as it was and "Can not allocate memory !" is shown.
  bool EnsureCapacity(std::uint32_t n);
  // Appends one unit of m_nUnitIndex + 1 bytes taken from the low end of value.
  bool AppendUnit(std::uint32_t value);
  // Replaces a digit character by its value; letters count only in HEX.
  bool DigitValue(char& c) const;

  // Called when the FLOAT branch moves the unit length to 4 bytes, so the
  // dialog can show the members again (its Length box then shows 4).
  void SetShowMembers(std::function<void()> showMembers) { m_showMembers = std::move(showMembers); }

  // The dialog keeps a second block so that a new parse never writes the block
  // the port worker may still be reading: swapping makes the other block the
  // one that ParseInput fills. The spare starts empty and grows on demand.
  void SwapBlocks();
  const std::uint8_t* SpareBuffer() const { return m_pSpareBuffer; }

  // Tests lower this to see how an allocation failure is handled.
  void SetMaxCapacity(std::uint32_t maxCapacity) { m_nMaxCapacity = maxCapacity; }

  // The block.
  std::uint8_t* m_pBuffer = nullptr;
  std::uint32_t m_nCapacity = 0;
  std::int32_t m_nDataLength = 0;

  // The dialog's fields that the parse reads.
  std::string m_strText;
  std::int32_t m_nFormat = kTxFormatAscii;
  std::int32_t m_nUnitIndex = 0;
  std::int32_t m_bReverse = 0;
  std::int32_t m_bSendFile = 0;
  std::string m_strFilePath = "Not selected";

 private:
  bool ParseAscii();
  bool ParseTokens();
  bool ParseHexToken(std::size_t begin, std::size_t end);
  bool ParseBinToken(std::size_t begin, std::size_t end);
  bool ParseDecToken(std::size_t begin, std::size_t& end);
  bool ParseFloatToken(std::size_t begin, std::size_t end);
  bool LoadFile();
  bool Fail(std::string_view text, std::string_view caption);
  bool FailPath(std::string_view path, std::string_view caption);
  std::uint32_t UnitLength() const;

  MessageBoxes& m_boxes;
  std::function<void()> m_showMembers;
  std::uint8_t* m_pSpareBuffer = nullptr;
  std::uint32_t m_nSpareCapacity = 0;
  std::uint32_t m_nMaxCapacity = kMaxCapacity;
};

}  // namespace tarnwick
