// The command line, read before any application object: what runs, what
// ends at once and with which status, and Qt's own options let through.
#include <gtest/gtest.h>

#include <QStringList>

#include "app/command_line.h"

namespace tarnwick {
namespace {

struct ParseCase {
  std::vector<const char*> args;
  int status;            // -1: the program runs
  CommandLine expected;  // when it runs
  const char* message;   // when it ends: a piece of what it prints
};

CommandLine Headless() {
  CommandLine options;
  options.bHeadless = true;
  return options;
}

CommandLine Capture() {
  CommandLine options = Headless();
  options.tapPath = "/tmp/tap";
  options.configDir = "rack";
  options.rotateBytes = std::int64_t{1} << 20;
  options.bRotateDaily = true;
  options.nStatusEverySeconds = 30;
  return options;
}

TEST(CommandLine, ParsesEachOptionAndRefusesTheRest) {
  const ParseCase cases[] = {
      {{}, -1, {}, ""},
      {{"--headless"}, -1, Headless(), ""},
      {{"--headless", "--tap", "/tmp/tap", "--config-dir", "rack", "--rotate-size", "1M",
        "--rotate-daily", "--status-every", "30"},
       -1,
       Capture(),
       ""},
      // Qt's options, with and without their values, in the forms Qt reads.
      {{"-platform", "offscreen", "-style=fusion", "--display", ":1", "-reverse", "--headless"},
       -1,
       Headless(),
       ""},
      {{"--version"}, 0, {}, "Tarnwick 1.2.1.2\n"},
      {{"--help"}, 0, {}, "offer the port to another program at PATH"},
      {{"--bogus"}, 2, {}, "bogus"},
      {{"stray"}, 2, {}, "stray"},
      {{"--tap"}, 2, {}, "tap"},
      {{"--rotate-size", "0"}, 2, {}, "rotate-size"},
      {{"--rotate-size", "ten"}, 2, {}, "rotate-size"},
      {{"--status-every", "0"}, 2, {}, "status-every"},
      {{"--status-every", "1e3"}, 2, {}, "status-every"},
  };
  for (const ParseCase& c : cases) {
    QStringList arguments{QStringLiteral("tarnwick")};
    std::string shown = "tarnwick";
    for (const char* arg : c.args) {
      arguments << QString::fromLatin1(arg);
      shown += std::string(" ") + arg;
    }
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
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

}  // namespace
}  // namespace tarnwick
