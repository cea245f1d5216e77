// The command line, read before any application object: what runs, what
// ends at once and with which status, and Qt's own options let through; the
// options that set up a run, laid over Tarnwick.cfg and taken off before it
// is saved.
#include <gtest/gtest.h>

#include <QStringList>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/command_line.h"
#include "platform/com_names.h"
#include "port/serial_line.h"
#include "settings/config_file.h"
#include "support/recording_message_boxes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

struct ParseCase {
  std::vector<const char*> args;
  int status;            // -1: the program runs
  CommandLine expected;  // when it runs
  const char* message;   // when it ends: a piece of what it prints
  Program program = Program::kTarnwick;
};

ParsedCommandLine Parse(const std::vector<const char*>& args, Program program, std::string* shown) {
  QStringList arguments{QStringLiteral("tarnwick")};
  *shown = "tarnwick";
  for (const char* arg : args) {
    arguments << QString::fromLatin1(arg);
    *shown += std::string(" ") + arg;
  }
  return ParseCommandLine(arguments, program);
}

TEST(CommandLine, ParsesEachOptionAndRefusesTheRest) {
  CommandLine headless;
  headless.bHeadless = true;
  CommandLine capture = headless;
  capture.tapPath = "/tmp/tap";
  capture.configDir = "rack";
  capture.rotateBytes = std::int64_t{1} << 20;
  capture.bRotateDaily = true;
  capture.nStatusEverySeconds = 30;
  CommandLine line;
  line.run.strDevice = "rfc2217://rack:2217";
  line.run.nBaud = 921600;
  line.run.nDataBits = 7;
  line.run.nParityIndex = 3;  // EVEN in the record's list
  line.run.nStopBitsIndex = 1;
  line.run.flow = FlowControl::kRtsCts;
  CommandLine screen = headless;
  screen.run.nUnitFormatIndex = kFormatFloat;
  screen.run.nUnitBytes = 4;
  screen.run.bReverseBytes = true;
  screen.run.nColumns = 0;
  screen.run.nRows = 1'000'000;
  screen.run.strRawLog = "-";
  screen.run.strTextLog = "text.log";
  screen.run.timestamps = TimestampStyle::kDateAndTime;
  screen.run.nLineEnds = kLineEndsAny;
  screen.run.nPauseBreakMs = 250;
  const std::string tooLong(kPathBufferSize, 'a');
  const ParseCase cases[] = {
      {{}, -1, {}, ""},
      {{"--headless"}, -1, headless, ""},
      {{"--headless", "--tap", "/tmp/tap", "--config-dir", "rack", "--rotate-size", "1M",
        "--rotate-daily", "--status-every", "30"},
       -1,
       capture,
       ""},
      {{"--device", "rfc2217://rack:2217", "--baud", "921600", "--data-bits", "7", "--parity",
        "even", "--stop-bits", "1.5", "--flow", "rtscts"},
       -1,
       line,
       ""},
      // The capture is always headless; the last of a repeated option counts.
      {{"--format",
        "float",
        "--unit-bytes",
        "4",
        "--reverse-bytes",
        "--columns",
        "0",
        "--rows",
        "1000000",
        "--raw-log",
        "-",
        "--text-log",
        "x",
        "--text-log=text.log",
        "--timestamps",
        "date",
        "--line-ends",
        "any",
        "--pause-break",
        "250"},
       -1,
       screen,
       "",
       Program::kCapture},
      // Qt's options, with and without their values, in the forms Qt reads.
      {{"-platform", "offscreen", "-style=fusion", "--display", ":1", "-reverse", "--headless"},
       -1,
       headless,
       ""},
      {{"--version"}, 0, {}, "Tarnwick 1.2.1.2\n"},
      {{"--help"}, 0, {}, "offer the port to another program at PATH"},
      {{"--help"}, 0, {}, "--parity <PARITY>", Program::kCapture},
      {{"--bogus"}, 2, {}, "tarnwick: Unknown option 'bogus'"},
      {{"--bogus"}, 2, {}, "tarnwick-capture: Unknown", Program::kCapture},
      {{"stray"}, 2, {}, "stray"},
      {{"--tap"}, 2, {}, "tap"},
      {{"--rotate-size", "0"}, 2, {}, "--rotate-size takes a positive number of bytes"},
      {{"--status-every", "0"}, 2, {}, "--status-every takes 1 to 604800, not '0'"},
      {{"--status-every", "1e3"}, 2, {}, "status-every"},
      // Each value out of range names its option and what it takes.
      {{"--device", "tcp://rack"}, 2, {}, "--device takes a path, rfc2217://HOST:PORT or"},
      {{"--baud", "0"}, 2, {}, "--baud takes 1 to 4294967295, not '0'"},
      {{"--baud", "4294967296"}, 2, {}, "--baud takes 1 to 4294967295"},
      {{"--data-bits", "9"}, 2, {}, "--data-bits takes 5 to 8, not '9'"},
      {{"--parity", "Even"}, 2, {}, "--parity takes none, odd, even, mark or space, not 'Even'"},
      {{"--stop-bits", "3"}, 2, {}, "--stop-bits takes 1, 1.5 or 2, not '3'"},
      {{"--flow", "xonxoff"}, 2, {}, "--flow takes none, rtscts or dsrdtr"},
      {{"--format", "ascii"}, 2, {}, "--format takes text, hex, binary, dec or float"},
      {{"--unit-bytes", "5"}, 2, {}, "--unit-bytes takes 1 to 4, not '5'"},
      {{"--columns", "-1"}, 2, {}, "--columns takes 0 to 100000"},
      {{"--rows", "0"}, 2, {}, "--rows takes 1 to 1000000, not '0'"},
      {{"--raw-log", ""}, 2, {}, "--raw-log takes a file name of 1 to 1023 bytes, or -"},
      {{"--text-log", tooLong.c_str()}, 2, {}, "--text-log takes a file name"},
      {{"--timestamps", "none"}, 2, {}, "--timestamps takes time or date"},
      {{"--line-ends", "lf"}, 2, {}, "--line-ends takes cr or any"},
      {{"--pause-break", "86400001"}, 2, {}, "--pause-break takes 0 to 86400000"},
      {{"--encoding", "utf8"}, 2, {}, "--encoding takes cp1252, utf-8, iso-8859-1 or cp437, not"},
      {{"--control-characters", "hex"}, 2, {}, "--control-characters takes as-is, pictures or"},
      // Choices that do not go together.
      {{"--raw-log", "-", "--text-log", "-"},
       2,
       {},
       "only one of --raw-log and --text-log may be -"},
      {{"--format", "float", "--unit-bytes", "2"}, 2, {}, "--format float takes 4-byte units"},
      {{"--format", "text", "--unit-bytes", "2"}, 2, {}, "--format text takes 1-byte units"},
  };
  for (const ParseCase& c : cases) {
    std::string shown;
    const ParsedCommandLine parsed = Parse(c.args, c.program, &shown);
    if (c.status < 0) {
      EXPECT_EQ(parsed.action, ParsedCommandLine::Action::kRun) << shown << parsed.message;
      EXPECT_TRUE(parsed.options == c.expected) << shown;
      continue;
    }
    EXPECT_EQ(parsed.action, ParsedCommandLine::Action::kExit) << shown;
    EXPECT_EQ(parsed.nExitStatus, c.status) << shown;
    EXPECT_NE(parsed.message.find(c.message), std::string::npos) << shown << parsed.message;
  }
}

struct OverCase {
  std::vector<const char*> args;
  // The record and the options expected from the cfg's with these options.
  std::function<void(SETTINGS&)> record;
  std::function<void(DisplayOptions&)> options;
  const char* summary;  // a piece of the line summary
};

// The options are laid over the cfg for the run; what the exit saves is the
// cfg as it was, and what the profile keeps for the COM number is not touched.
TEST(CommandLine, SetsUpTheRunOverTheConfigurationWithoutSavingIntoIt) {
  SETTINGS cfg = DefaultSettings();
  cfg.nPortIndex = 2;   // COM3
  cfg.nBaudIndex = 12;  // 115200
  cfg.nUnitFormatIndex = kFormatHex;
  cfg.nUnitLengthIndex = 1;
  cfg.nColumns = 16;
  cfg.nRtsIndex = 2;  // HANDSHAKE
  cfg.bUseCts = 1;
  std::snprintf(cfg.szTextFile, sizeof cfg.szTextFile, "%s", "old.log");
  const OverCase cases[] = {
      // Without --baud the rate the profile keeps for COM3 still counts.
      {{"--device", "/dev/ttyUSB7"}, [](SETTINGS&) {}, [](DisplayOptions&) {}, "COM3;57601;8 bits"},
      {{"--baud", "9600", "--data-bits", "7", "--parity", "odd", "--stop-bits", "2"},
       [](SETTINGS& s) {
         s.nBaudIndex = 6;
         s.nDataBitsIndex = 2;
         s.nParityIndex = 4;
         s.nStopBitsIndex = 2;
       },
       [](DisplayOptions&) {},
       "COM3;9600;7 bits;2 stop;PARITY=ODD"},
      // A rate beside the list is the COM number's for the run.
      {{"--baud", "921600"}, [](SETTINGS&) {}, [](DisplayOptions&) {}, "COM3;921600;"},
      // The handshake line goes on raised when flow control is off.
      {{"--flow", "none"},
       [](SETTINGS& s) {
         s.bUseCts = 0;
         s.nRtsIndex = 1;
       },
       [](DisplayOptions&) {},
       "RTS=ENABLE;use DSR=no;use CTS=no"},
      {{"--flow", "dsrdtr"},
       [](SETTINGS& s) {
         s.bUseCts = 0;
         s.bUseDsr = 1;
         s.nRtsIndex = 1;
         s.nDtrIndex = 2;
       },
       [](DisplayOptions&) {},
       "use DSR=yes;use CTS=no"},
      // FLOAT takes 4-byte units as Screen Settings leaves it.
      {{"--format", "float", "--reverse-bytes", "--rows", "40"},
       [](SETTINGS& s) {
         s.nUnitFormatIndex = kFormatFloat;
         s.nUnitLengthIndex = 3;
         s.bReverseBytes = 1;
         s.nRows = 40;
       },
       [](DisplayOptions&) {},
       "COM3;57601"},
      {{"--format", "text", "--columns", "0", "--raw-log", "-", "--text-log", "new.log"},
       [](SETTINGS& s) {
         s.nUnitFormatIndex = kFormatText;
         s.nUnitLengthIndex = 0;
         s.nColumns = 0;
         s.bSaveRaw = 1;
         std::snprintf(s.szRawFile, sizeof s.szRawFile, "-");
         s.bSaveText = 1;
         std::snprintf(s.szTextFile, sizeof s.szTextFile, "new.log");
       },
       [](DisplayOptions&) {},
       "COM3"},
      {{"--timestamps", "date", "--line-ends", "any", "--pause-break", "20"},
       [](SETTINGS&) {},
       [](DisplayOptions& o) {
         o.bShowTimestamps = true;
         o.bTimestampsInLog = true;
         o.timestampStyle = TimestampStyle::kDateAndTime;
         o.nLineEnds = kLineEndsAny;
         o.nPauseBreakMs = 20;
       },
       "COM3"},
      {{"--encoding", "utf-8", "--ansi", "--control-characters", "pictures"},
       [](SETTINGS&) {},
       [](DisplayOptions& o) {
         o.textEncoding = TextEncoding::kUtf8;
         o.bAnsiColours = true;
         o.controlCharacters = ControlCharacters::kPictures;
       },
       "COM3"},
      {{"--encoding", "cp437", "--control-characters", "escapes"},
       [](SETTINGS&) {},
       [](DisplayOptions& o) {
         o.textEncoding = TextEncoding::kCp437;
         o.controlCharacters = ControlCharacters::kEscapes;
       },
       "COM3"},
  };
  for (const OverCase& c : cases) {
    std::string shown;
    const ParsedCommandLine parsed = Parse(c.args, Program::kTarnwick, &shown);
    ASSERT_EQ(parsed.action, ParsedCommandLine::Action::kRun) << shown << parsed.message;
    testing::TempDir dir;
    testing::WriteBytes(dir.File(kConfigFileName),
                        {reinterpret_cast<const unsigned char*>(&cfg),
                         reinterpret_cast<const unsigned char*>(&cfg) + sizeof cfg});
    SetProfileComBaud(3, 57601);  // a typed rate the profile keeps for COM3
    testing::RecordingMessageBoxes boxes;
    SETTINGS record = DefaultSettings();
    RunSetup setup(parsed.options.run);
    EXPECT_TRUE(setup.Load(record, dir.path().string(), boxes)) << shown;
    DisplayOptions options;
    parsed.options.ApplyTo(options);

    SETTINGS expected = cfg;
    c.record(expected);
    DisplayOptions expectedOptions;
    c.options(expectedOptions);
    EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0) << shown;
    EXPECT_TRUE(options == expectedOptions) << shown;
    EXPECT_NE(BuildLineSummary(record).find(c.summary), std::string::npos)
        << shown << ": " << BuildLineSummary(record);
    if (!parsed.options.run.strDevice.empty()) {
      EXPECT_EQ(ResolveComNumber(3), parsed.options.run.strDevice) << shown;
    }
    // The cfg is what the exit saves again; a field a dialog changed since
    // keeps the change.
    const SETTINGS saved = setup.RecordToSave(record);
    EXPECT_EQ(std::memcmp(&cfg, &saved, sizeof cfg), 0) << shown;
    record.nRows = 77;
    EXPECT_EQ(setup.RecordToSave(record).nRows, 77) << shown;
    EXPECT_TRUE(boxes.shown.empty()) << shown;
    SetRunComDevice(3, "");
    SetProfileComBaud(3, 0);
  }
}

// A run that is set up needs no Tarnwick.cfg: nothing is reported, and the
// window asks for no port settings.
TEST(CommandLine, ASetUpRunNeedsNoConfigurationFile) {
  for (const bool setUp : {false, true}) {
    testing::TempDir dir;
    testing::RecordingMessageBoxes boxes;
    RunSettings run;
    if (setUp) run.nBaud = 19200;
    SETTINGS record = DefaultSettings();
    EXPECT_EQ(RunSetup(run).Load(record, dir.path().string(), boxes), setUp);
    EXPECT_EQ(boxes.shown.size(), setUp ? 0u : 1u);
    EXPECT_EQ(record.nBaudIndex, setUp ? 8 : DefaultSettings().nBaudIndex);
  }
}

}  // namespace
}  // namespace tarnwick
