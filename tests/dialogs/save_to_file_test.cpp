// The "Save to file: " click on the record: off at once, on with a chosen
// path, nothing on a cancel or a path the record cannot hold.
#include "dialogs/save_to_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/recording_message_boxes.h"

namespace tarnwick {
namespace {

struct ToggleCase {
  const char* name;
  std::int32_t flagBefore;
  std::optional<std::string> chosen;  // the chooser's answer
  SaveToFileOutcome outcome;
  std::int32_t flagAfter;
  std::string pathAfter;
  bool chooserAsked;
};

TEST(SaveToFile, ClickOnTheRecord) {
  const std::string tooLong(kPathBufferSize, 'x');
  const std::string longest(kPathBufferSize - 1, 'y');
  const ToggleCase cases[] = {
      {"checked: off, path kept", 1, std::nullopt, SaveToFileOutcome::kLoggingOff, 0, "/old.log",
       false},
      {"unchecked, chosen: on with the new path", 0, std::string("/new.log"),
       SaveToFileOutcome::kLoggingOn, 1, "/new.log", true},
      {"unchecked, cancelled: unchanged", 0, std::nullopt, SaveToFileOutcome::kCancelled, 0,
       "/old.log", true},
      {"a path of 1023 bytes fits", 0, longest, SaveToFileOutcome::kLoggingOn, 1, longest, true},
      {"a path of 1024 bytes is refused", 0, tooLong, SaveToFileOutcome::kRefused, 0, "/old.log",
       true},
  };
  for (const ToggleCase& c : cases) {
    SETTINGS settings = DefaultSettings();
    std::strcpy(settings.szRawFile, "/old.log");
    settings.bSaveRaw = c.flagBefore;
    testing::RecordingMessageBoxes boxes;
    std::string offered;
    bool asked = false;
    const SaveToFileOutcome outcome = ToggleSaveToFile(
        settings.bSaveRaw, settings.szRawFile,
        [&](const std::string& current) {
          asked = true;
          offered = current;
          return c.chosen;
        },
        boxes);
    EXPECT_EQ(outcome, c.outcome) << c.name;
    EXPECT_EQ(settings.bSaveRaw, c.flagAfter) << c.name;
    EXPECT_EQ(std::string(settings.szRawFile), c.pathAfter) << c.name;
    EXPECT_EQ(asked, c.chooserAsked) << c.name;
    if (asked) {
      EXPECT_EQ(offered, "/old.log") << c.name;
    }
    EXPECT_EQ(boxes.shown.size(), c.outcome == SaveToFileOutcome::kRefused ? 1u : 0u) << c.name;
  }
}

TEST(SaveToFile, ShorterPathKeepsTheBytesAfterItsNulAndTheCaptionStopsThere) {
  SETTINGS settings = DefaultSettings();
  std::strcpy(settings.szTextFile, "/a/much/longer/path.log");
  testing::RecordingMessageBoxes boxes;
  ToggleSaveToFile(
      settings.bSaveText, settings.szTextFile,
      [](const std::string&) { return std::optional<std::string>("/b.log"); }, boxes);
  EXPECT_EQ(SaveToFileCaption(settings.szTextFile), "Save to file: /b.log");
  EXPECT_EQ(settings.szTextFile[8], 'l');  // from the old path, after the new NUL
  SETTINGS empty = DefaultSettings();
  EXPECT_EQ(SaveToFileCaption(empty.szRawFile), "Save to file: ");
  std::memset(empty.szRawFile, 'z', kPathBufferSize);  // no NUL at all
  EXPECT_EQ(SaveToFileCaption(empty.szRawFile).size(), 14 + kPathBufferSize);
}

}  // namespace
}  // namespace tarnwick
