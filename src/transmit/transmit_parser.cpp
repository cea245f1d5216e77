#include "transmit/transmit_parser.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "transmit/scan_float.h"

namespace tarnwick {
namespace {

constexpr const char* kAllocFailedText = "Can not allocate memory !";
constexpr const char* kAllocFailedCaption = "FAILED";
constexpr const char* kBadFormatText = "Select data format to interpret text input";
constexpr const char* kBadFormatCaption = "Invalid format";
constexpr const char* kHexCaption = "Send";
constexpr const char* kHexBadDigitText = "Incorrect string";
constexpr const char* kHexTooLongText = "Invalid data size";
constexpr const char* kBinCaption = "Incorrect token !";
constexpr const char* kDecBadDigitCaption = "Incorrect string";
constexpr const char* kDecTooLargeCaption = "Token size greater that limit !";
constexpr const char* kFloatCaption = "Incorrect token";
constexpr const char* kCannotOpenCaption = "Can not open file !";
constexpr const char* kEmptyFileCaption = "NULL FILE !";

// Only these three separate numbers; a tab or comma belongs to the token.
bool IsSeparator(char c) { return c == ' ' || c == '\r' || c == '\n'; }

// One escape character as the 8-bit arithmetic sees it: lower case to upper
// case, then letters moved down next to the digits. Nothing is validated.
std::uint8_t EscapeNibble(std::uint8_t c) {
  if (c >= 0x61) c = static_cast<std::uint8_t>(c - 0x20);
  if (c > 0x39) c = static_cast<std::uint8_t>(c - 7);
  return c;
}

// Closes the file on every way out of the load.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

TransmitParser::TransmitParser(MessageBoxes& boxes) : m_boxes(boxes) {
  m_pBuffer = static_cast<std::uint8_t*>(std::malloc(kInitialCapacity));
  if (m_pBuffer != nullptr) m_nCapacity = kInitialCapacity;
}

TransmitParser::~TransmitParser() {
  std::free(m_pBuffer);
  std::free(m_pSpareBuffer);
}

void TransmitParser::SwapBlocks() {
  std::swap(m_pBuffer, m_pSpareBuffer);
  std::swap(m_nCapacity, m_nSpareCapacity);
  m_nDataLength = 0;
}

std::uint32_t TransmitParser::UnitLength() const {
  // The Length list may have no selection; keep the unit within 1..4 bytes.
  if (m_nUnitIndex < 0) return 1;
  if (m_nUnitIndex > 3) return 4;
  return static_cast<std::uint32_t>(m_nUnitIndex) + 1;
}

bool TransmitParser::Fail(std::string_view text, std::string_view caption) {
  m_boxes.Show(text, caption, MessageIcon::kError);
  return false;
}

bool TransmitParser::FailPath(std::string_view path, std::string_view caption) {
  m_boxes.ShowPath(path, caption, MessageIcon::kError);
  return false;
}

bool TransmitParser::EnsureCapacity(std::uint32_t n) {
  if (m_nCapacity >= n) return true;
  // realloc leaves the old block untouched when it fails, so the dialog and
  // the worker keep a usable block.
  void* grown = n <= m_nMaxCapacity ? std::realloc(m_pBuffer, n) : nullptr;
  if (grown == nullptr) return Fail(kAllocFailedText, kAllocFailedCaption);
  m_pBuffer = static_cast<std::uint8_t*>(grown);
  m_nCapacity = n;
  return true;
}

bool TransmitParser::DigitValue(char& c) const {
  if (c >= '0' && c <= '9') {
    c = static_cast<char>(c - '0');
    return true;
  }
  if (m_nFormat == kTxFormatHex) {
    if (c >= 'A' && c <= 'F') {
      c = static_cast<char>(c - 'A' + 10);
      return true;
    }
    if (c >= 'a' && c <= 'f') {
      c = static_cast<char>(c - 'a' + 10);
      return true;
    }
  }
  return false;
}

bool TransmitParser::AppendUnit(std::uint32_t value) {
  const std::uint32_t u = UnitLength();
  const std::uint64_t needed = static_cast<std::uint64_t>(m_nDataLength) + u;
  if (needed > kMaxCapacity) return Fail(kAllocFailedText, kAllocFailedCaption);
  if (!EnsureCapacity(static_cast<std::uint32_t>(needed))) return false;
  std::uint8_t* out = m_pBuffer + m_nDataLength;
  for (std::uint32_t i = 0; i < u; ++i) {
    // Byte i counted from the least significant end of the unit.
    const auto byte = static_cast<std::uint8_t>(value >> (8 * i));
    if (m_bReverse)
      out[i] = byte;
    else
      out[u - 1 - i] = byte;
  }
  m_nDataLength += static_cast<std::int32_t>(u);
  return true;
}

bool TransmitParser::ParseInput() {
  if (m_bSendFile) return LoadFile();
  if (m_strText.empty()) {
    m_nDataLength = 0;
    return true;
  }
  switch (m_nFormat) {
    case kTxFormatAscii:
      return ParseAscii();
    case kTxFormatHex:
    case kTxFormatBin:
    case kTxFormatDec:
    case kTxFormatFloat:
      return ParseTokens();
    default:
      return Fail(kBadFormatText, kBadFormatCaption);
  }
}

bool TransmitParser::ParseAscii() {
  const std::string& text = m_strText;
  const std::size_t length = text.size();
  // The output is never longer than the text, so one sizing is enough.
  if (length > kMaxCapacity) return Fail(kAllocFailedText, kAllocFailedCaption);
  if (!EnsureCapacity(static_cast<std::uint32_t>(length))) return false;
  std::size_t out = 0;
  std::size_t p = 0;
  while (p < length) {
    const auto c = static_cast<std::uint8_t>(text[p]);
    if (c == '\\' && p + 2 < length) {
      const std::uint8_t high = EscapeNibble(static_cast<std::uint8_t>(text[p + 1]));
      const std::uint8_t low = EscapeNibble(static_cast<std::uint8_t>(text[p + 2]));
      m_pBuffer[out++] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(high << 4) |
                                                   static_cast<std::uint8_t>(low - 0x30));
      p += 3;
    } else {
      m_pBuffer[out++] = c;
      ++p;
    }
  }
  m_nDataLength = static_cast<std::int32_t>(out);
  return true;
}

bool TransmitParser::ParseTokens() {
  // Every FLOAT unit is 4 bytes; an index outside the list is put right too.
  if (m_nFormat == kTxFormatFloat && m_nUnitIndex != 3) {
    m_nUnitIndex = 3;
    if (m_showMembers) m_showMembers();
  }
  m_nDataLength = 0;
  const std::string& text = m_strText;
  const std::size_t length = text.size();
  std::size_t p = 0;
  while (p < length) {
    if (IsSeparator(text[p])) {
      ++p;
      continue;
    }
    const std::size_t begin = p;
    std::size_t end = begin;
    while (end < length && !IsSeparator(text[end])) ++end;
    bool ok = false;
    switch (m_nFormat) {
      case kTxFormatHex:
        ok = ParseHexToken(begin, end);
        break;
      case kTxFormatBin:
        ok = ParseBinToken(begin, end);
        break;
      case kTxFormatDec:
        // A '-' takes the next character as its first digit even when it is a
        // separator, so the DEC token finds its own end.
        ok = ParseDecToken(begin, end);
        break;
      default:
        ok = ParseFloatToken(begin, end);
        break;
    }
    if (!ok) return false;
    p = end;
  }
  return true;
}

bool TransmitParser::ParseHexToken(std::size_t begin, std::size_t end) {
  const std::size_t maxDigits = 2 * UnitLength();
  std::uint32_t value = 0;
  for (std::size_t p = begin; p < end; ++p) {
    if (p - begin >= maxDigits) return Fail(kHexTooLongText, kHexCaption);
    char c = m_strText[p];
    if (!DigitValue(c)) return Fail(kHexBadDigitText, kHexCaption);
    value = value * 16 + static_cast<std::uint32_t>(c);
  }
  return AppendUnit(value);
}

bool TransmitParser::ParseBinToken(std::size_t begin, std::size_t end) {
  const std::size_t maxDigits = 8 * UnitLength();
  const std::string_view text = m_strText;
  std::uint32_t value = 0;
  for (std::size_t p = begin; p < end; ++p) {
    char c = text[p];
    if (p - begin >= maxDigits || !DigitValue(c) || c > 1)
      return Fail(text.substr(begin, p - begin + 1), kBinCaption);
    value = value * 2 + static_cast<std::uint32_t>(c);
  }
  return AppendUnit(value);
}

bool TransmitParser::ParseDecToken(std::size_t begin, std::size_t& end) {
  const std::string_view text = m_strText;
  const std::size_t length = text.size();
  // 127, 32767, 8388607 or 2147483647: the two's-complement minimum is left out.
  const std::uint64_t limit = (std::uint64_t{1} << (8 * UnitLength() - 1)) - 1;
  std::size_t p = begin;
  bool negative = false;
  if (text[p] == '-') {
    if (p + 1 == length) return Fail("-", kDecBadDigitCaption);
    negative = true;
    ++p;
  }
  // The magnitude never passes limit * 10 + 9, so 64 bits hold it exactly.
  std::uint64_t magnitude = 0;
  do {
    char c = text[p];
    if (!DigitValue(c)) return Fail(text.substr(begin, p - begin + 1), kDecBadDigitCaption);
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c);
    if (magnitude > limit) return Fail(text.substr(begin, p - begin + 1), kDecTooLargeCaption);
    ++p;
  } while (p < length && !IsSeparator(text[p]));
  end = p;
  const auto value = static_cast<std::uint32_t>(magnitude);
  return AppendUnit(negative ? 0u - value : value);
}

bool TransmitParser::ParseFloatToken(std::size_t begin, std::size_t end) {
  // A copy gives the scanner its terminating zero.
  const std::string token = m_strText.substr(begin, end - begin);
  float value = 0.0f;
  if (ScanFloat(token.c_str(), value) != 1) return Fail(token, kFloatCaption);
  return AppendUnit(std::bit_cast<std::uint32_t>(value));
}

bool TransmitParser::LoadFile() {
  const std::string& path = m_strFilePath;
  std::error_code error;
  const std::filesystem::path fsPath(path);
  // Only a regular file has a length to send. A directory opens for reading on
  // some systems, and opening a FIFO would block until a writer appears.
  if (!std::filesystem::is_regular_file(fsPath, error)) return FailPath(path, kCannotOpenCaption);
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) return FailPath(path, kCannotOpenCaption);
  const std::uintmax_t size = std::filesystem::file_size(fsPath, error);
  if (error) return FailPath(path, kCannotOpenCaption);
  if (size == 0) return FailPath(path, kEmptyFileCaption);
  // The block and the worker's length are 32-bit: a larger file cannot be sent.
  if (size > kMaxCapacity) return Fail(kAllocFailedText, kAllocFailedCaption);
  if (!EnsureCapacity(static_cast<std::uint32_t>(size))) return false;
  const std::size_t read = std::fread(m_pBuffer, 1, static_cast<std::size_t>(size), file.get());
  // A failing read must not send what an earlier parse left in the block.
  if (std::ferror(file.get())) return FailPath(path, kCannotOpenCaption);
  if (read == 0) return FailPath(path, kEmptyFileCaption);
  m_nDataLength = static_cast<std::int32_t>(read);
  return true;
}

}  // namespace tarnwick
