// The Options dialog on its own (controls, reading the pause, OK and Cancel)
// and the View command in the running program: the profile read at start-up
// and written on OK, and the options published to the worker and the model.
#include "dialogs/qt/options_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/app_fixture.h"
#include "app/command_table.h"
#include "app/private_profile.h"
#include "support/recording_message_boxes.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::PrivateProfile;

class OptionsDialogTest : public ::testing::Test {
 protected:
  COptionsDialog& Open() {
    m_dialog = std::make_unique<COptionsDialog>(options, boxes);
    m_dialog->show();
    return *m_dialog;
  }

  DisplayOptions options;
  testing::RecordingMessageBoxes boxes;

 private:
  std::unique_ptr<COptionsDialog> m_dialog;
};

TEST_F(OptionsDialogTest, ControlsNamesGroupsAndTabOrder) {
  options = {true, false, 250};
  COptionsDialog& d = Open();
  EXPECT_EQ(d.windowTitle(), "Options");
  EXPECT_EQ(qobject_cast<QGroupBox*>(d.ShowTimestampsBox()->parentWidget())->title(), "Timestamps");
  EXPECT_EQ(qobject_cast<QGroupBox*>(d.PauseEdit()->parentWidget())->title(), "Line breaks");
  EXPECT_TRUE(d.ShowTimestampsBox()->isChecked());
  EXPECT_FALSE(d.TimestampsInLogBox()->isChecked());
  EXPECT_EQ(d.PauseEdit()->text(), "250");
  EXPECT_TRUE(d.OkButton()->isDefault());
  EXPECT_EQ(d.ShowTimestampsBox()->text(), "&Show timestamps");
  const QStringList names = {"Show timestamps", "Timestamps in text log",
                             "New line after a pause of", "OK", "Cancel"};
  QWidget* w = d.ShowTimestampsBox();
  for (const QString& name : names) {
    while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    EXPECT_EQ(w->accessibleName(), name);
    w = w->nextInFocusChain();
  }
  bool buddy = false;
  for (QLabel* label : d.findChildren<QLabel*>()) buddy |= label->buddy() == d.PauseEdit();
  EXPECT_TRUE(buddy);
}

TEST_F(OptionsDialogTest, OkTakesTheControlsAndABadPauseKeepsTheDialogOpen) {
  const struct {
    const char* name;
    QString pause;
    std::int32_t pauseAfter;
    const char* box;  // nullptr when the dialog closes
  } cases[] = {
      {"off", "0", 0, nullptr},
      {"read as %d reads", " 40ms", 40, nullptr},
      {"a day", "86400000", 86'400'000, nullptr},
      {"not a number", "soon", 7, "Enter an integer."},
      {"empty", "", 7, "Enter an integer."},
      {"negative", "-5", 7, kPauseOutOfRange},
      {"beyond a day", "86400001", 7, kPauseOutOfRange},
      {"beyond int", "99999999999", 7, kPauseOutOfRange},
  };
  for (const auto& c : cases) {
    options = {false, false, 7};
    boxes.shown.clear();
    COptionsDialog& d = Open();
    d.ShowTimestampsBox()->setChecked(true);
    d.TimestampsInLogBox()->setChecked(true);
    d.PauseEdit()->setText(c.pause);
    QTest::mouseClick(d.OkButton(), Qt::LeftButton);
    const bool ok = c.box == nullptr;
    EXPECT_EQ(d.result() == QDialog::Accepted, ok) << c.name;
    EXPECT_EQ(d.isVisible(), !ok) << c.name;
    // Nothing is taken from a dialog with a bad pause.
    EXPECT_EQ(options, (DisplayOptions{ok, ok, c.pauseAfter})) << c.name;
    ASSERT_EQ(boxes.shown.size(), ok ? 0u : 1u) << c.name;
    if (ok) continue;
    EXPECT_EQ(boxes.shown[0].text, c.box) << c.name;
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kWarning) << c.name;
    EXPECT_EQ(d.focusWidget(), d.PauseEdit()) << c.name;
    EXPECT_EQ(d.PauseEdit()->selectedText(), d.PauseEdit()->text()) << c.name;
  }
}

TEST_F(OptionsDialogTest, CancelKeepsTheOptions) {
  options = {true, true, 100};
  COptionsDialog& d = Open();
  d.ShowTimestampsBox()->setChecked(false);
  d.PauseEdit()->setText("5");
  QTest::mouseClick(d.CancelButton(), Qt::LeftButton);
  EXPECT_EQ(d.result(), QDialog::Rejected);
  EXPECT_EQ(options, (DisplayOptions{true, true, 100}));
}

// The profile as start-up finds it: values that are missing, not numbers or
// out of range read as off or are brought into range.
TEST(OptionsProfile, StartUpReadsTheOptions) {
  const struct {
    QVariant show, inLog, pause;
    DisplayOptions expected;
  } cases[] = {
      {{}, {}, {}, {false, false, 0}},
      {1, 0, 250, {true, false, 250}},
      {0, 1, -20, {false, true, 0}},
      {"yes", 2, "1e12", {false, true, 0}},
      {1, 1, qlonglong(99'999'999'999), {true, true, kMaxPauseBreakMs}},
  };
  for (const auto& c : cases) {
    PrivateProfile profile;
    if (c.show.isValid()) profile.SetValue("Options/ShowTimestamps", c.show);
    if (c.inLog.isValid()) profile.SetValue("Options/TimestampsInTextLog", c.inLog);
    if (c.pause.isValid()) profile.SetValue("Options/PauseLineBreakMs", c.pause);
    AppFixture fixture(false);
    fixture.WriteConfig(DefaultSettings());
    fixture.Start();
    EXPECT_EQ(fixture.app->m_Options, c.expected) << c.pause.toString().toStdString();
    EXPECT_EQ(fixture.app->Live().CurrentOptions(), c.expected);
  }
}

TEST(OptionsCommand, ViewMenuOpensTheDialogAndOkWritesAndPublishes) {
  PrivateProfile profile;
  AppFixture fixture(false);
  fixture.WriteConfig(DefaultSettings());
  fixture.Start();
  QAction* command = fixture.Frame().Action(ID_VIEW_OPTIONS);
  ASSERT_NE(command, nullptr);
  bool inViewMenu = false;
  for (QAction* menu : fixture.Frame().menuBar()->actions()) {
    if (menu->text() == "&View") inViewMenu = menu->menu()->actions().contains(command);
  }
  EXPECT_TRUE(inViewMenu);

  // Cancel: nothing written.
  command->trigger();
  ASSERT_EQ(fixture.dialogsRun.size(), 1u);
  EXPECT_EQ(fixture.dialogsRun[0], "Options");
  EXPECT_FALSE(std::filesystem::exists(profile.File()));

  fixture.answerDialog = [](QDialog& dialog) {
    auto& options = dynamic_cast<COptionsDialog&>(dialog);
    options.ShowTimestampsBox()->setChecked(true);
    options.PauseEdit()->setText("120");
    options.accept();
    return options.result();
  };
  const std::uint64_t version = fixture.app->Live().Version();
  command->trigger();
  const DisplayOptions expected{true, false, 120};
  EXPECT_EQ(fixture.app->m_Options, expected);
  EXPECT_EQ(fixture.app->Live().CurrentOptions(), expected);
  EXPECT_GT(fixture.app->Live().Version(), version);
  EXPECT_EQ(profile.Value("Options/ShowTimestamps").toInt(), 1);
  EXPECT_EQ(profile.Value("Options/TimestampsInTextLog").toInt(), 0);
  EXPECT_EQ(profile.Value("Options/PauseLineBreakMs").toInt(), 120);

  // The next run starts with them.
  fixture.app->ExitInstance();
  fixture.app.reset();
  fixture.Start();
  EXPECT_EQ(fixture.app->m_Options, expected);
}

}  // namespace
}  // namespace tarnwick
