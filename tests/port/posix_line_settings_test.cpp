// The DCB as termios, checked on the structure itself: a pseudo-terminal
// forces CS8 and drops PARENB, so data bits and parity enable can only be
// seen here.
#include "platform/posix_line_settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "port/dcb.h"

namespace tarnwick {
namespace {

DCB MakeDcb(std::uint32_t baud, std::uint8_t byteSize, std::uint8_t parity, std::uint8_t stopBits,
            bool cts = false) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = baud;
  dcb.fBinary = 1;
  dcb.fParity = parity != kNoParity;
  dcb.fOutxCtsFlow = cts;
  dcb.ByteSize = byteSize;
  dcb.Parity = parity;
  dcb.StopBits = stopBits;
  return dcb;
}

struct termios CookedTermios() {
  struct termios tio;
  std::memset(&tio, 0, sizeof tio);
  tio.c_iflag = ICRNL | IXON | ISTRIP;
  tio.c_oflag = OPOST | ONLCR;
  tio.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
  tio.c_cflag = CS7 | PARENB | HUPCL;
  return tio;
}

TEST(DcbToTermios, LineBitsFollowTheDcb) {
  constexpr tcflag_t kLineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  const struct {
    const char* name;
    DCB dcb;
    tcflag_t bits;
  } cases[] = {
      {"8N1", MakeDcb(9600, 8, kNoParity, kOneStopBit), CS8},
      {"7E1", MakeDcb(9600, 7, kEvenParity, kOneStopBit), CS7 | PARENB},
      {"6O2", MakeDcb(9600, 6, kOddParity, kTwoStopBits), CS6 | PARENB | PARODD | CSTOPB},
      {"8M1", MakeDcb(9600, 8, kMarkParity, kOneStopBit), CS8 | PARENB | CMSPAR | PARODD},
      {"8S1", MakeDcb(9600, 8, kSpaceParity, kOneStopBit), CS8 | PARENB | CMSPAR},
      {"5N1.5", MakeDcb(9600, 5, kNoParity, kOne5StopBits), CS5 | CSTOPB},
      {"5N1", MakeDcb(9600, 5, kNoParity, kOneStopBit), CS5},
      {"8N2Cts", MakeDcb(9600, 8, kNoParity, kTwoStopBits, true), CS8 | CSTOPB | CRTSCTS},
  };
  for (const auto& c : cases) {
    struct termios tio = CookedTermios();
    bool arbitrary = true;
    ASSERT_EQ(0, ApplyDcbToTermios(c.dcb, tio, &arbitrary)) << c.name;
    EXPECT_EQ(c.bits, tio.c_cflag & kLineBits) << c.name;
    EXPECT_EQ(CLOCAL | CREAD, tio.c_cflag & (CLOCAL | CREAD)) << c.name;
    EXPECT_FALSE(arbitrary) << c.name;
    // Raw: no line editing, echo, signals, translation or output processing.
    EXPECT_EQ(0u, tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) << c.name;
    EXPECT_EQ(0u, tio.c_iflag & (ICRNL | IXON | ISTRIP | INPCK)) << c.name;
    EXPECT_EQ(0u, tio.c_oflag & OPOST) << c.name;
    EXPECT_EQ(B9600, cfgetospeed(&tio)) << c.name;
    EXPECT_EQ(B9600, cfgetispeed(&tio)) << c.name;
  }
}

TEST(DcbToTermios, RatesWithoutAConstantAskForTheArbitraryRateCall) {
  const struct {
    std::uint32_t rate;
    bool arbitrary;
  } cases[] = {{110, false},  {300, false},   {600, false},    {1200, false},  {2400, false},
               {4800, false}, {9600, false},  {14400, true},   {19200, false}, {38400, false},
               {56000, true}, {57600, false}, {115200, false}, {128000, true}, {256000, true}};
  for (const auto& c : cases) {
    struct termios tio = CookedTermios();
    bool arbitrary = !c.arbitrary;
    ASSERT_EQ(0, ApplyDcbToTermios(MakeDcb(c.rate, 8, kNoParity, kOneStopBit), tio, &arbitrary));
    EXPECT_EQ(c.arbitrary, arbitrary) << c.rate;
  }
}

TEST(DcbToTermios, StaleInputSpeedIsCleared) {
  struct termios tio = CookedTermios();
  tio.c_cflag |= CIBAUD;
  bool arbitrary = false;
  ASSERT_EQ(0, ApplyDcbToTermios(MakeDcb(19200, 8, kNoParity, kOneStopBit), tio, &arbitrary));
  EXPECT_EQ(0u, tio.c_cflag & CIBAUD);
}

TEST(DcbToTermios, CombinationsAUartCannotMakeAreRefused) {
  const struct {
    const char* name;
    DCB dcb;
  } cases[] = {
      {"6 bits 1.5 stop", MakeDcb(9600, 6, kNoParity, kOne5StopBits)},
      {"7 bits 1.5 stop", MakeDcb(9600, 7, kEvenParity, kOne5StopBits)},
      {"8 bits 1.5 stop", MakeDcb(9600, 8, kNoParity, kOne5StopBits)},
      {"5 bits 2 stop", MakeDcb(9600, 5, kNoParity, kTwoStopBits)},
      {"4 bits", MakeDcb(9600, 4, kNoParity, kOneStopBit)},
      {"9 bits", MakeDcb(9600, 9, kNoParity, kOneStopBit)},
      {"parity code 5", MakeDcb(9600, 8, 5, kOneStopBit)},
      {"stop code 3", MakeDcb(9600, 8, kNoParity, 3)},
      {"rate 0", MakeDcb(0, 8, kNoParity, kOneStopBit)},
  };
  for (const auto& c : cases) {
    struct termios tio = CookedTermios();
    const struct termios before = tio;
    bool arbitrary = false;
    EXPECT_EQ(EINVAL, ApplyDcbToTermios(c.dcb, tio, &arbitrary)) << c.name;
    EXPECT_EQ(0, std::memcmp(&before, &tio, sizeof tio)) << c.name << ": changed on refusal";
  }
}

}  // namespace
}  // namespace tarnwick
