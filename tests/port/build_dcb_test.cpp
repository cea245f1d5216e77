// BuildDcb: every table position becomes the DCB code Windows expects, index
// fields outside their tables act as their defaults, and the bytes of the
// structure sit where a Windows DCB has them.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "port/dcb.h"
#include "port/serial_line.h"
#include "settings/settings.h"

namespace tarnwick {
namespace {

struct DcbFields {
  std::uint32_t BaudRate = 9600;
  std::uint32_t ByteSize = 8;
  std::uint32_t Parity = 0;
  std::uint32_t fParity = 0;
  std::uint32_t StopBits = 0;
  std::uint32_t fOutxCtsFlow = 0;
  std::uint32_t fOutxDsrFlow = 0;
  std::uint32_t fDsrSensitivity = 0;
  std::uint32_t fDtrControl = 0;
  std::uint32_t fRtsControl = 0;
};

DcbFields FieldsOf(const DCB& dcb) {
  return {dcb.BaudRate,    dcb.ByteSize,     dcb.Parity,       dcb.fParity,
          dcb.StopBits,    dcb.fOutxCtsFlow, dcb.fOutxDsrFlow, dcb.fDsrSensitivity,
          dcb.fDtrControl, dcb.fRtsControl};
}

struct DcbCase {
  std::string name;
  void (*change)(SETTINGS&);
  DcbFields expected;
};

DCB BuildFrom(const SETTINGS& settings) {
  const auto backend = CreatePlatformSerialBackend();
  SerialLine line(settings, *backend);
  line.BuildDcb();
  return line.Dcb();
}

void ExpectFields(const DcbFields& expected, const DCB& dcb) {
  const DcbFields got = FieldsOf(dcb);
  EXPECT_EQ(expected.BaudRate, got.BaudRate);
  EXPECT_EQ(expected.ByteSize, got.ByteSize);
  EXPECT_EQ(expected.Parity, got.Parity);
  EXPECT_EQ(expected.fParity, got.fParity);
  EXPECT_EQ(expected.StopBits, got.StopBits);
  EXPECT_EQ(expected.fOutxCtsFlow, got.fOutxCtsFlow);
  EXPECT_EQ(expected.fOutxDsrFlow, got.fOutxDsrFlow);
  EXPECT_EQ(expected.fDsrSensitivity, got.fDsrSensitivity);
  EXPECT_EQ(expected.fDtrControl, got.fDtrControl);
  EXPECT_EQ(expected.fRtsControl, got.fRtsControl);
}

DcbFields With(void (*edit)(DcbFields&)) {
  DcbFields fields;
  edit(fields);
  return fields;
}

class BuildDcbTest : public ::testing::TestWithParam<DcbCase> {};

TEST_P(BuildDcbTest, FieldsFollowTheTables) {
  SETTINGS settings = DefaultSettings();
  GetParam().change(settings);
  const DCB dcb = BuildFrom(settings);
  ExpectFields(GetParam().expected, dcb);
  // Fixed parts of every DCB.
  EXPECT_EQ(28u, dcb.DCBlength);
  EXPECT_EQ(1u, dcb.fBinary);
  EXPECT_EQ(0u, dcb.fTXContinueOnXoff);
  EXPECT_EQ(0u, dcb.fOutX);
  EXPECT_EQ(0u, dcb.fInX);
  EXPECT_EQ(0u, dcb.fErrorChar);
  EXPECT_EQ(0u, dcb.fNull);
  EXPECT_EQ(0u, dcb.fAbortOnError);
  EXPECT_EQ(0u, dcb.XonLim);
  EXPECT_EQ(0u, dcb.XoffLim);
  EXPECT_EQ(0, dcb.XonChar);
  EXPECT_EQ(0, dcb.XoffChar);
  EXPECT_EQ(0, dcb.EofChar);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BuildDcbTest,
    ::testing::Values(
        DcbCase{"Defaults", [](SETTINGS&) {}, {}},
        DcbCase{"DataBits5", [](SETTINGS& s) { s.nDataBitsIndex = 0; },
                With([](DcbFields& f) { f.ByteSize = 5; })},
        DcbCase{"DataBits7", [](SETTINGS& s) { s.nDataBitsIndex = 2; },
                With([](DcbFields& f) { f.ByteSize = 7; })},
        DcbCase{"OneAndHalfStop", [](SETTINGS& s) { s.nStopBitsIndex = 1; },
                With([](DcbFields& f) { f.StopBits = 1; })},
        DcbCase{"TwoStop", [](SETTINGS& s) { s.nStopBitsIndex = 2; },
                With([](DcbFields& f) { f.StopBits = 2; })},
        DcbCase{"ParitySpace", [](SETTINGS& s) { s.nParityIndex = 1; }, With([](DcbFields& f) {
                  f.Parity = 4;
                  f.fParity = 1;
                })},
        DcbCase{"ParityMark", [](SETTINGS& s) { s.nParityIndex = 2; }, With([](DcbFields& f) {
                  f.Parity = 3;
                  f.fParity = 1;
                })},
        DcbCase{"ParityEven", [](SETTINGS& s) { s.nParityIndex = 3; }, With([](DcbFields& f) {
                  f.Parity = 2;
                  f.fParity = 1;
                })},
        DcbCase{"ParityOdd", [](SETTINGS& s) { s.nParityIndex = 4; }, With([](DcbFields& f) {
                  f.Parity = 1;
                  f.fParity = 1;
                })},
        DcbCase{"DtrEnable", [](SETTINGS& s) { s.nDtrIndex = 1; },
                With([](DcbFields& f) { f.fDtrControl = 1; })},
        DcbCase{"DtrHandshake", [](SETTINGS& s) { s.nDtrIndex = 2; },
                With([](DcbFields& f) { f.fDtrControl = 2; })},
        DcbCase{"RtsEnable", [](SETTINGS& s) { s.nRtsIndex = 1; },
                With([](DcbFields& f) { f.fRtsControl = 1; })},
        DcbCase{"RtsHandshake", [](SETTINGS& s) { s.nRtsIndex = 2; },
                With([](DcbFields& f) { f.fRtsControl = 2; })},
        DcbCase{"RtsToggle", [](SETTINGS& s) { s.nRtsIndex = 3; },
                With([](DcbFields& f) { f.fRtsControl = 3; })},
        // Only the low bit of a check-box field reaches its one-bit flag.
        DcbCase{"UseCtsTwoIsOff", [](SETTINGS& s) { s.bUseCts = 2; }, {}},
        DcbCase{"UseCtsThree", [](SETTINGS& s) { s.bUseCts = 3; },
                With([](DcbFields& f) { f.fOutxCtsFlow = 1; })},
        DcbCase{"UseDsr", [](SETTINGS& s) { s.bUseDsr = 1; },
                With([](DcbFields& f) { f.fOutxDsrFlow = 1; })},
        DcbCase{"UseDsrMinusOne", [](SETTINGS& s) { s.bUseDsr = -1; },
                With([](DcbFields& f) { f.fOutxDsrFlow = 1; })},
        DcbCase{"DsrSensitivity", [](SETTINGS& s) { s.bDsrSensitivity = 1; },
                With([](DcbFields& f) { f.fDsrSensitivity = 1; })},
        DcbCase{"DsrSensitivityFour", [](SETTINGS& s) { s.bDsrSensitivity = 4; }, {}}),
    [](const auto& info) { return info.param.name; });

TEST(BuildDcb, EveryBaudIndexGivesItsRate) {
  const std::vector<std::uint32_t> rates = {110,   300,   600,    1200,   2400,
                                            4800,  9600,  14400,  19200,  38400,
                                            56000, 57600, 115200, 128000, 256000};
  for (std::size_t index = 0; index < rates.size(); ++index) {
    SETTINGS settings = DefaultSettings();
    settings.nBaudIndex = static_cast<std::int32_t>(index);
    EXPECT_EQ(rates[index], BuildFrom(settings).BaudRate) << "index " << index;
  }
}

// Index fields outside their tables never index a table: each reads as its
// default, and the check-box fields next to them keep their own meaning.
TEST(BuildDcb, IndexesOutsideTheirTablesActAsDefaults) {
  const std::int32_t nonsense[] = {-1, -2, 4, 5, 15, 99, 1000, INT_MIN, INT_MAX};
  const SETTINGS defaults = DefaultSettings();
  const DCB expected = BuildFrom(defaults);
  for (const std::int32_t value : nonsense) {
    struct Field {
      const char* name;
      std::int32_t SETTINGS::*member;
      std::int32_t firstInvalid;  // values below it (and at least 0) are valid
    };
    const Field fields[] = {
        {"nBaudIndex", &SETTINGS::nBaudIndex, 15},
        {"nDataBitsIndex", &SETTINGS::nDataBitsIndex, 4},
        {"nStopBitsIndex", &SETTINGS::nStopBitsIndex, 3},
        {"nParityIndex", &SETTINGS::nParityIndex, 5},
        {"nDtrIndex", &SETTINGS::nDtrIndex, 3},
        {"nRtsIndex", &SETTINGS::nRtsIndex, 4},
    };
    for (const Field& field : fields) {
      if (value >= 0 && value < field.firstInvalid) continue;
      SETTINGS settings = defaults;
      settings.*field.member = value;
      const DCB dcb = BuildFrom(settings);
      EXPECT_EQ(0, std::memcmp(&expected, &dcb, sizeof dcb)) << field.name << " = " << value;
    }
  }
}

TEST(BuildDcb, RebuildStartsFromZero) {
  SETTINGS settings = DefaultSettings();
  settings.bUseCts = 1;
  settings.nParityIndex = 4;
  const auto backend = CreatePlatformSerialBackend();
  SerialLine line(settings, *backend);
  line.BuildDcb();
  settings.bUseCts = 0;
  settings.nParityIndex = 0;
  line.BuildDcb();
  EXPECT_EQ(0u, line.Dcb().fOutxCtsFlow);
  EXPECT_EQ(0u, line.Dcb().fParity);
  EXPECT_EQ(0u, line.Dcb().Parity);
}

// The structure as Windows lays it out: the flag bits fill the 32-bit word at
// offset 8 from bit 0 (fBinary) upwards.
TEST(BuildDcb, BytesAreInTheWindowsLayout) {
  struct LayoutCase {
    const char* name;
    void (*change)(SETTINGS&);
    std::vector<std::uint8_t> bytes;
  };
  const LayoutCase cases[] = {
      {"Defaults", [](SETTINGS&) {}, {0x1C, 0, 0, 0, 0x80, 0x25, 0, 0, 0x01, 0, 0, 0, 0, 0,
                                      0,    0, 0, 0, 8,    0,    0, 0, 0,    0, 0, 0, 0, 0}},
      {"EveryFlag",
       [](SETTINGS& s) {
         s.nBaudIndex = 14;  // 256000 = 0x3E800
         s.nParityIndex = 4;
         s.bUseCts = 1;
         s.bUseDsr = 1;
         s.nDtrIndex = 2;
         s.bDsrSensitivity = 1;
         s.nRtsIndex = 3;
         s.nDataBitsIndex = 2;
         s.nStopBitsIndex = 2;
       },
       // 0x306F: fBinary, fParity, fOutxCtsFlow, fOutxDsrFlow, fDtrControl 2
       // (bits 4-5), fDsrSensitivity (bit 6), fRtsControl 3 (bits 12-13).
       {0x1C, 0, 0, 0, 0x00, 0xE8, 0x03, 0, 0x6F, 0x30, 0, 0, 0, 0,
        0,    0, 0, 0, 7,    1,    2,    0, 0,    0,    0, 0, 0, 0}},
      {"DtrEnableRtsHandshakeSpace",
       [](SETTINGS& s) {
         s.nBaudIndex = 0;  // 110
         s.nParityIndex = 1;
         s.nDtrIndex = 1;
         s.nRtsIndex = 2;
         s.nDataBitsIndex = 0;
         s.nStopBitsIndex = 1;
       },
       // 0x2013: fBinary, fParity, fDtrControl 1 (bit 4), fRtsControl 2 (bit 13).
       {0x1C, 0, 0, 0, 0x6E, 0, 0, 0, 0x13, 0x20, 0, 0, 0, 0,
        0,    0, 0, 0, 5,    4, 1, 0, 0,    0,    0, 0, 0, 0}},
  };
  for (const LayoutCase& c : cases) {
    SETTINGS settings = DefaultSettings();
    c.change(settings);
    const DCB dcb = BuildFrom(settings);
    std::vector<std::uint8_t> bytes(sizeof dcb);
    std::memcpy(bytes.data(), &dcb, sizeof dcb);
    EXPECT_EQ(c.bytes, bytes) << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
