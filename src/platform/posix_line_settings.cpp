#include "platform/posix_line_settings.h"

#include <cerrno>

namespace tarnwick {

namespace {

struct SpeedEntry {
  std::uint32_t rate;
  speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

tcflag_t CharacterSize(std::uint8_t byteSize) {
  switch (byteSize) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

}  // namespace

bool SpeedConstantOf(std::uint32_t rate, speed_t* speed) {
  for (const SpeedEntry& entry : kSpeeds) {
    if (entry.rate == rate) {
      *speed = entry.speed;
      return true;
    }
  }
  return false;
}

int ApplyDcbToTermios(const DCB& dcb, struct termios& tio, bool* needsArbitraryRate) {
  *needsArbitraryRate = false;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > kSpaceParity ||
      dcb.StopBits > kTwoStopBits || dcb.BaudRate == 0) {
    return EINVAL;
  }
  // A UART makes 1.5 stop bits only with 5 data bits (CSTOPB with CS5) and 2
  // stop bits only with 6 to 8; Windows drivers refuse the other pairs as well.
  if (dcb.StopBits == kOne5StopBits && dcb.ByteSize != 5) return EINVAL;
  if (dcb.StopBits == kTwoStopBits && dcb.ByteSize == 5) return EINVAL;

  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
#ifdef CIBAUD
  // A separate input speed left by an earlier arbitrary rate would survive
  // cfsetspeed; zero means "same as output".
  tio.c_cflag &= ~CIBAUD;
#endif
  tio.c_cflag |= CLOCAL | CREAD | CharacterSize(dcb.ByteSize);
  switch (dcb.Parity) {
    case kOddParity:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case kEvenParity:
      tio.c_cflag |= PARENB;
      break;
    case kMarkParity:  // sticky parity: PARODD selects a constant 1
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case kSpaceParity:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  // Parity checking of input stays off (INPCK clear from cfmakeraw): a byte
  // with a parity error is delivered as received, never replaced or dropped.
  if (dcb.StopBits != kOneStopBit) tio.c_cflag |= CSTOPB;
  if (dcb.fOutxCtsFlow) tio.c_cflag |= CRTSCTS;
  // Reads never block: the device is non-blocking and VMIN/VTIME ask for
  // whatever has arrived.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;

  speed_t speed;
  if (SpeedConstantOf(dcb.BaudRate, &speed)) {
    ::cfsetspeed(&tio, speed);
  } else {
    *needsArbitraryRate = true;
  }
  return 0;
}

}  // namespace tarnwick
