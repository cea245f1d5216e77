// The caption's line summary: the port of the settings it describes, then one
// piece per line setting.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/com_names.h"
#include "port/serial_line.h"
#include "settings/settings.h"

namespace tarnwick {
namespace {

constexpr const char* kDefaultSummary =
    "COM1;9600;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no";

struct SummaryCase {
  std::string name;
  void (*change)(SETTINGS&);
  std::string expected;
};

class LineSummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(LineSummaryTest, ReadsAsTheSettingsSay) {
  SETTINGS settings = DefaultSettings();
  GetParam().change(settings);
  EXPECT_EQ(GetParam().expected, BuildLineSummary(settings));
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineSummaryTest,
    ::testing::Values(
        SummaryCase{"Defaults", [](SETTINGS&) {}, kDefaultSummary},
        SummaryCase{
            "Com10", [](SETTINGS& s) { s.nPortIndex = 9; },
            "COM10;9600;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no"},
        SummaryCase{
            "Com99", [](SETTINGS& s) { s.nPortIndex = 98; },
            "COM99;9600;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no"},
        SummaryCase{
            "Slowest5BitsOneAndHalfSpace",
            [](SETTINGS& s) {
              s.nPortIndex = 2;
              s.nBaudIndex = 0;
              s.nDataBitsIndex = 0;
              s.nStopBitsIndex = 1;
              s.nParityIndex = 1;
              s.nDtrIndex = 1;
              s.nRtsIndex = 1;
              s.bUseDsr = 1;
            },
            "COM3;110;5 bits;1.5 stop;PARITY=SPACE;DTR=ENABLE;RTS=ENABLE;use DSR=yes;use CTS=no"},
        SummaryCase{"Fastest7BitsTwoStopMark",
                    [](SETTINGS& s) {
                      s.nBaudIndex = 14;
                      s.nDataBitsIndex = 2;
                      s.nStopBitsIndex = 2;
                      s.nParityIndex = 2;
                      s.nDtrIndex = 2;
                      s.nRtsIndex = 2;
                      s.bUseCts = 1;
                    },
                    "COM1;256000;7 bits;2 stop;PARITY=MARK;DTR=HANDSHAKE;RTS=HANDSHAKE;use "
                    "DSR=no;use CTS=yes"},
        SummaryCase{
            "EvenToggle",
            [](SETTINGS& s) {
              s.nBaudIndex = 7;
              s.nDataBitsIndex = 1;
              s.nParityIndex = 3;
              s.nRtsIndex = 3;
            },
            "COM1;14400;6 bits;1 stop;PARITY=EVEN;DTR=DISABLE;RTS=TOGGLE;use DSR=no;use CTS=no"},
        SummaryCase{
            "OddAt115200",
            [](SETTINGS& s) {
              s.nParityIndex = 4;
              s.nBaudIndex = 12;
            },
            "COM1;115200;8 bits;1 stop;PARITY=ODD;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no"},
        // Any non-zero check-box value says yes, unlike the DCB's low bit.
        SummaryCase{
            "UseCtsTwoSaysYes",
            [](SETTINGS& s) {
              s.bUseCts = 2;
              s.bUseDsr = -4;
            },
            "COM1;9600;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=yes;use CTS=yes"},
        // DSR sensitivity is not part of the summary.
        SummaryCase{"DsrSensitivityNotShown", [](SETTINGS& s) { s.bDsrSensitivity = 1; },
                    kDefaultSummary}),
    [](const auto& info) { return info.param.name; });

TEST(LineSummary, EveryBaudPieceInListOrder) {
  const char* pieces[] = {"110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
                          "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
  for (int index = 0; index < 15; ++index) {
    SETTINGS settings = DefaultSettings();
    settings.nBaudIndex = index;
    EXPECT_EQ(std::string("COM1;") + pieces[index] +
                  ";8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no",
              BuildLineSummary(settings));
  }
}

// Fields outside their tables read as their defaults, as the DCB does, so the
// caption never shows a setting the line does not use.
TEST(LineSummary, IndexesOutsideTheirTablesReadAsDefaults) {
  const std::int32_t nonsense[] = {-1, 99, 1000, INT_MIN, INT_MAX};
  for (const std::int32_t value : nonsense) {
    SETTINGS settings = DefaultSettings();
    settings.nPortIndex = value;
    settings.nBaudIndex = value;
    settings.nDataBitsIndex = value;
    settings.nStopBitsIndex = value;
    settings.nParityIndex = value;
    settings.nDtrIndex = value;
    settings.nRtsIndex = value;
    EXPECT_EQ(kDefaultSummary, BuildLineSummary(settings)) << value;
  }
  SETTINGS settings = DefaultSettings();
  settings.nDataBitsIndex = 4;  // 9 bits does not exist
  settings.nStopBitsIndex = 3;
  settings.nDtrIndex = 3;
  settings.nRtsIndex = 4;
  settings.nParityIndex = 5;
  settings.nBaudIndex = 15;
  EXPECT_EQ(kDefaultSummary, BuildLineSummary(settings));
}

// A port across the network names its server; raw TCP has no line to
// describe; a typed rate is the line's rate.
TEST(LineSummary, NamesNetworkPortsAndTypedRates) {
  const struct {
    const char* device;
    std::uint32_t rate;
    std::string expected;
  } cases[] = {
      {"tcp://10.0.0.5:4001", 0, "COM7 tcp://10.0.0.5:4001;raw TCP, line settings do not apply"},
      {"rfc2217://h:2217", 921600,
       "COM7 rfc2217://h:2217;921600;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;"
       "use CTS=no"},
      {"", 3000000,
       "COM7;3000000;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no"},
  };
  SETTINGS settings = DefaultSettings();
  settings.nPortIndex = 6;
  for (const auto& c : cases) {
    SetProfileComDevice(7, c.device);
    SetProfileComBaud(7, c.rate);
    EXPECT_EQ(BuildLineSummary(settings), c.expected) << c.device;
  }
  SetProfileComDevice(7, "");
  SetProfileComBaud(7, 0);
}

}  // namespace
}  // namespace tarnwick
