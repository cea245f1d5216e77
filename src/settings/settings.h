// The settings record: every user setting in one fixed 2192-byte block that is
// also, byte for byte, the configuration file. Layout is frozen: stored files
// from every earlier run depend on it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

// The platform's ANSI LOGFONT, laid out exactly as Windows defines it.
struct LOGFONT {
  std::int32_t lfHeight;
  std::int32_t lfWidth;
  std::int32_t lfEscapement;
  std::int32_t lfOrientation;
  std::int32_t lfWeight;
  std::uint8_t lfItalic;
  std::uint8_t lfUnderline;
  std::uint8_t lfStrikeOut;
  std::uint8_t lfCharSet;
  std::uint8_t lfOutPrecision;
  std::uint8_t lfClipPrecision;
  std::uint8_t lfQuality;
  std::uint8_t lfPitchAndFamily;
  char lfFaceName[32];
};

// 0x00BBGGRR, as Windows stores colours.
using COLORREF = std::uint32_t;

constexpr std::size_t kPathBufferSize = 1024;

struct SETTINGS {
  std::int32_t nPortIndex;        // COM number - 1
  std::int32_t nBaudIndex;        // position in the baud list
  std::int32_t nDataBitsIndex;    // data bits - 5
  std::int32_t nStopBitsIndex;    // 0 = 1, 1 = 1.5, 2 = 2 stop bits
  std::int32_t nParityIndex;      // position in the parity list (not the Win32 code)
  std::int32_t bUseDsr;           // DSR output flow control
  std::int32_t bDsrSensitivity;   // drop input while DSR is low
  std::int32_t bUseCts;           // CTS output flow control
  std::int32_t nDtrIndex;         // DISABLE, ENABLE, HANDSHAKE
  std::int32_t nRtsIndex;         // DISABLE, ENABLE, HANDSHAKE, TOGGLE
  std::int32_t bSaveRaw;          // append received bytes to szRawFile
  LOGFONT lfFont;                 // display font; |lfHeight| is the line height
  std::uint8_t dwReserved[4];     // kept as loaded, never interpreted
  COLORREF crText;
  COLORREF crBackground;
  std::int32_t nColumns;          // units per line; 0 = no break by count
  std::int32_t nRows;             // display lines kept
  std::int32_t bReverseBytes;     // first received byte is least significant
  std::int32_t nUnitLengthIndex;  // unit length - 1
  std::int32_t nUnitFormatIndex;  // TEXT, HEX, BINARY, DEC, FLOAT
  char chDelimiter;               // shown by the screen settings only
  std::uint8_t chPadding[3];      // kept as loaded, never interpreted
  std::int32_t bSaveText;         // append closed display lines to szTextFile
  char szTextFile[kPathBufferSize];
  char szRawFile[kPathBufferSize];
};

constexpr std::size_t kSettingsSize = 2192;

static_assert(sizeof(LOGFONT) == 60);
static_assert(sizeof(SETTINGS) == kSettingsSize);
static_assert(offsetof(SETTINGS, nPortIndex) == 0);
static_assert(offsetof(SETTINGS, nBaudIndex) == 4);
static_assert(offsetof(SETTINGS, nDataBitsIndex) == 8);
static_assert(offsetof(SETTINGS, nStopBitsIndex) == 12);
static_assert(offsetof(SETTINGS, nParityIndex) == 16);
static_assert(offsetof(SETTINGS, bUseDsr) == 20);
static_assert(offsetof(SETTINGS, bDsrSensitivity) == 24);
static_assert(offsetof(SETTINGS, bUseCts) == 28);
static_assert(offsetof(SETTINGS, nDtrIndex) == 32);
static_assert(offsetof(SETTINGS, nRtsIndex) == 36);
static_assert(offsetof(SETTINGS, bSaveRaw) == 40);
static_assert(offsetof(SETTINGS, lfFont) == 44);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfWidth) == 48);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfEscapement) == 52);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfOrientation) == 56);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfWeight) == 60);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfItalic) == 64);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfUnderline) == 65);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfStrikeOut) == 66);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfCharSet) == 67);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfOutPrecision) == 68);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfClipPrecision) == 69);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfQuality) == 70);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfPitchAndFamily) == 71);
static_assert(offsetof(SETTINGS, lfFont) + offsetof(LOGFONT, lfFaceName) == 72);
static_assert(offsetof(SETTINGS, dwReserved) == 104);
static_assert(offsetof(SETTINGS, crText) == 108);
static_assert(offsetof(SETTINGS, crBackground) == 112);
static_assert(offsetof(SETTINGS, nColumns) == 116);
static_assert(offsetof(SETTINGS, nRows) == 120);
static_assert(offsetof(SETTINGS, bReverseBytes) == 124);
static_assert(offsetof(SETTINGS, nUnitLengthIndex) == 128);
static_assert(offsetof(SETTINGS, nUnitFormatIndex) == 132);
static_assert(offsetof(SETTINGS, chDelimiter) == 136);
static_assert(offsetof(SETTINGS, chPadding) == 137);
static_assert(offsetof(SETTINGS, bSaveText) == 140);
static_assert(offsetof(SETTINGS, szTextFile) == 144);
static_assert(offsetof(SETTINGS, szRawFile) == 1168);

// The record as a freshly constructed application holds it: all zero bytes,
// then the defaults of the fields that have one.
void SetDefaultSettings(SETTINGS& settings);
SETTINGS DefaultSettings();

// Unit formats of the display, in the order of the screen settings list.
enum UnitFormat : std::int32_t {
  kFormatText = 0,
  kFormatHex = 1,
  kFormatBinary = 2,
  kFormatDec = 3,
  kFormatFloat = 4,
};

}  // namespace tarnwick
