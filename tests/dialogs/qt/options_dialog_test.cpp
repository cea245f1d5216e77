// The Options dialog (its controls and reading the pause) and the View
// command in the running program: the profile read at start-up and written
// on OK, and the options published to the worker and the model.
#include "dialogs/qt/options_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/app_fixture.h"
#include "app/command_table.h"
#include "app/private_profile.h"
#include "support/recording_message_boxes.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::PrivateProfile;

// OK takes the controls; a pause that is not a number of 0 to 86400000 is
// refused with a box, the dialog stays open with the field selected, and
// nothing is taken.
TEST(OptionsDialog, ControlsAndAPauseReadAsPercentD) {
  const struct {
    QString pause;
    std::int32_t pauseAfter;
    QString rotate;
    std::int64_t rotateAfter;
    const char* box;  // nullptr when the dialog closes
  } cases[] = {
      {"0", 0, "0", 0, nullptr},
      {" 40ms", 40, "64K", 65536, nullptr},
      {"86400000", 86'400'000, "1000", 1000, nullptr},
      {"soon", 7, "0", 5, "Enter an integer."},
      {"-5", 7, "0", 5, kPauseOutOfRange},
      {"86400001", 7, "0", 5, kPauseOutOfRange},
      {"0", 7, "-1", 5, kRotateSizeInvalid},
      {"0", 7, "1 M", 5, kRotateSizeInvalid},
  };
  for (const auto& c : cases) {
    DisplayOptions options{false, true, 7, TimestampStyle::kTime, 5, false};
    testing::RecordingMessageBoxes boxes;
    COptionsDialog d(options, boxes);
    d.show();
    EXPECT_EQ(qobject_cast<QGroupBox*>(d.ShowTimestampsBox()->parentWidget())->title(),
              "Timestamps");
    EXPECT_EQ(d.PauseEdit()->text(), "7");
    EXPECT_EQ(d.RotateSizeEdit()->text(), "5");
    EXPECT_TRUE(d.TimestampsInLogBox()->isChecked());
    // Tab order and the names a screen reader reads.
    QWidget* w = d.ShowTimestampsBox();
    for (const char* name :
         {"Show timestamps", "Timestamps in text log", "With the date (ISO 8601)",
          "New line after a pause of", "New file after", "New file every midnight",
          "Follow the newest line", "Text beside units (HEX, BINARY, DEC, FLOAT)",
          "TEXT lines end with", "CR LF after each line of the text log", "OK", "Cancel"}) {
      while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
      EXPECT_EQ(w->accessibleName(), name);
      w = w->nextInFocusChain();
    }
    d.ShowTimestampsBox()->setChecked(true);
    d.PauseEdit()->setText(c.pause);
    d.RotateSizeEdit()->setText(c.rotate);
    d.DatedTimestampsBox()->setChecked(true);
    d.RotateDailyBox()->setChecked(true);
    QTest::mouseClick(d.OkButton(), Qt::LeftButton);
    const bool ok = c.box == nullptr;
    EXPECT_EQ(d.result() == QDialog::Accepted, ok) << c.box;
    EXPECT_EQ(options, (DisplayOptions{ok, true, c.pauseAfter,
                                       ok ? TimestampStyle::kDateAndTime : TimestampStyle::kTime,
                                       c.rotateAfter, ok}))
        << c.box;
    ASSERT_EQ(boxes.shown.size(), ok ? 0u : 1u);
    if (ok) continue;
    EXPECT_EQ(boxes.shown[0].text, c.box);
    QLineEdit* refused = c.box == kRotateSizeInvalid ? d.RotateSizeEdit() : d.PauseEdit();
    EXPECT_EQ(d.focusWidget(), refused);
    EXPECT_EQ(refused->selectedText(), refused->text());
  }
}

TEST(OptionsCommand, StartUpReadsTheProfileAndOkWritesAndPublishes) {
  PrivateProfile profile;
  // Values a hand-edited profile may hold: not numbers, out of range.
  profile.SetValue("Options/ShowTimestamps", "yes");
  profile.SetValue("Options/TimestampsInTextLog", 2);
  profile.SetValue("Options/PauseLineBreakMs", -20);
  profile.SetValue("Options/LineEnds", 7);
  profile.SetValue("Options/FollowNewLines", "on");
  AppFixture fixture(false);
  fixture.WriteConfig(DefaultSettings());
  fixture.Start();
  EXPECT_EQ(fixture.app->m_Options, (DisplayOptions{false, true, 0}));
  EXPECT_EQ(fixture.app->Live().CurrentOptions(), (DisplayOptions{false, true, 0}));

  fixture.answerDialog = [](QDialog& dialog) {
    auto& options = dynamic_cast<COptionsDialog&>(dialog);
    options.ShowTimestampsBox()->setChecked(true);
    options.TimestampsInLogBox()->setChecked(false);
    options.PauseEdit()->setText("120");
    options.DatedTimestampsBox()->setChecked(true);
    options.RotateSizeEdit()->setText("3G");
    options.RotateDailyBox()->setChecked(true);
    options.FollowBox()->setChecked(false);
    options.TextBesideUnitsBox()->setChecked(true);
    options.LineEndsList()->setCurrentIndex(1);
    options.TextLogLineEndsBox()->setChecked(true);
    options.accept();
    return options.result();
  };
  fixture.Frame().Action(ID_VIEW_OPTIONS)->trigger();
  ASSERT_EQ(fixture.dialogsRun.size(), 1u);
  EXPECT_EQ(fixture.dialogsRun[0], "Options");
  const DisplayOptions expected{true,  false, 120,          TimestampStyle::kDateAndTime,
                                std::int64_t{3} << 30, true, false, true, kLineEndsAny, true};
  EXPECT_EQ(fixture.app->m_Options, expected);
  EXPECT_EQ(fixture.app->Live().CurrentOptions(), expected);
  EXPECT_EQ(profile.Value("Options/ShowTimestamps").toInt(), 1);
  EXPECT_EQ(profile.Value("Options/TimestampsInTextLog").toInt(), 0);
  EXPECT_EQ(profile.Value("Options/PauseLineBreakMs").toInt(), 120);
  EXPECT_EQ(profile.Value("Options/TimestampFormat").toInt(), 1);
  EXPECT_EQ(profile.Value("Options/RotateSizeBytes").toLongLong(), std::int64_t{3} << 30);
  EXPECT_EQ(profile.Value("Options/RotateDaily").toInt(), 1);
  EXPECT_EQ(profile.Value("Options/FollowNewLines").toInt(), 0);
  EXPECT_EQ(profile.Value("Options/TextBesideUnits").toInt(), 1);
  EXPECT_EQ(profile.Value("Options/LineEnds").toInt(), 1);
  EXPECT_EQ(profile.Value("Options/TextLogLineEnds").toInt(), 1);

  // A huge pause is brought into range; the next run starts with it.
  profile.SetValue("Options/PauseLineBreakMs", qlonglong(99'999'999'999));
  fixture.app->ExitInstance();
  fixture.app.reset();
  fixture.Start();
  EXPECT_EQ(fixture.app->m_Options,
            (DisplayOptions{true, false, kMaxPauseBreakMs, TimestampStyle::kDateAndTime,
                            std::int64_t{3} << 30, true, false, true, kLineEndsAny, true}));
}

}  // namespace
}  // namespace tarnwick
