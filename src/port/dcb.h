// The line configuration in the platform's own layout. On Windows these are the
// system's DCB and COMMTIMEOUTS; elsewhere our definitions mirror them byte for
// byte so the same code builds and the POSIX backend reads the same fields.
#pragma once

#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
namespace tarnwick {
using DCB = ::DCB;
using COMMTIMEOUTS = ::COMMTIMEOUTS;
}  // namespace tarnwick
#else
namespace tarnwick {

struct DCB {
  std::uint32_t DCBlength;
  std::uint32_t BaudRate;
  std::uint32_t fBinary : 1;
  std::uint32_t fParity : 1;
  std::uint32_t fOutxCtsFlow : 1;
  std::uint32_t fOutxDsrFlow : 1;
  std::uint32_t fDtrControl : 2;
  std::uint32_t fDsrSensitivity : 1;
  std::uint32_t fTXContinueOnXoff : 1;
  std::uint32_t fOutX : 1;
  std::uint32_t fInX : 1;
  std::uint32_t fErrorChar : 1;
  std::uint32_t fNull : 1;
  std::uint32_t fRtsControl : 2;
  std::uint32_t fAbortOnError : 1;
  std::uint32_t fDummy2 : 17;
  std::uint16_t wReserved;
  std::uint16_t XonLim;
  std::uint16_t XoffLim;
  std::uint8_t ByteSize;
  std::uint8_t Parity;
  std::uint8_t StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  std::uint16_t wReserved1;
};

struct COMMTIMEOUTS {
  std::uint32_t ReadIntervalTimeout;
  std::uint32_t ReadTotalTimeoutMultiplier;
  std::uint32_t ReadTotalTimeoutConstant;
  std::uint32_t WriteTotalTimeoutMultiplier;
  std::uint32_t WriteTotalTimeoutConstant;
};

}  // namespace tarnwick
#endif

namespace tarnwick {
static_assert(sizeof(DCB) == 28);
static_assert(sizeof(COMMTIMEOUTS) == 20);

// Codes of the DCB fields, as Windows numbers them.
enum : std::uint8_t { kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2 };
enum : std::uint8_t {
  kNoParity = 0,
  kOddParity = 1,
  kEvenParity = 2,
  kMarkParity = 3,
  kSpaceParity = 4
};
enum : std::uint32_t { kDtrControlDisable = 0, kDtrControlEnable = 1, kDtrControlHandshake = 2 };
enum : std::uint32_t {
  kRtsControlDisable = 0,
  kRtsControlEnable = 1,
  kRtsControlHandshake = 2,
  kRtsControlToggle = 3
};
}  // namespace tarnwick
