// The Screen Settings command in the running program: the dialog from the
// toolbar, the corrections after OK and Cancel, and what the model and the
// view see afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "app/app_fixture.h"
#include "app/command_table.h"
#include "dialogs/qt/settings_dialog.h"
#include "support/scripted_choosers.h"

namespace tarnwick {
namespace {

using testing::AppFixture;

// Runs the command from trigger while drive works the dialog; false when no
// dialog came up.
bool RunScreenSettings(const std::function<void()>& trigger,
                       const std::function<void(CSettingsDialog&)>& drive) {
  bool opened = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CSettingsDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    opened = true;
    drive(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  trigger();
  return opened;
}

void Feed(CZerikView& view, std::initializer_list<std::uint8_t> bytes) {
  view.Model().AddReceivedBytes(std::data(bytes), bytes.size());
}

// OK and Cancel are both followed by the corrections, published to the model,
// without a clear: units already shown stay, the next ones use the new format.
TEST(ScreenSettingsCommand, CorrectionsAfterOkAndCancelReachTheModelWithoutAClear) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.nColumns = 0;  // from a file: HEX without a break
  fixture.WriteConfig(settings);
  fixture.Start();
  fixture.answerDialog = [](QDialog& dialog) { return dialog.exec(); };
  const SETTINGS& record = fixture.app->m_Settings;
  Feed(fixture.View(), {0x01, 0xFF});
  ASSERT_TRUE(RunScreenSettings([&] { fixture.app->OnScreenSettings(); },
                                [](CSettingsDialog& d) { d.RowsEdit()->setText("3"); }));
  EXPECT_EQ(record.nColumns, 1);
  EXPECT_EQ(record.nRows, 8);

  ASSERT_TRUE(RunScreenSettings([&] { fixture.app->OnScreenSettings(); },
                                [](CSettingsDialog& d) {
                                  d.FormatList()->setCurrentIndex(kFormatFloat);
                                  d.LengthList()->setCurrentIndex(1);
                                  d.ReverseBox()->setChecked(true);
                                  QTest::mouseClick(d.OkButton(), Qt::LeftButton);
                                }));
  EXPECT_EQ(record.nUnitLengthIndex, 3);
  EXPECT_EQ(testing::RecordBytes(fixture.app->Live().Current()), testing::RecordBytes(record));
  Feed(fixture.View(), {0x00, 0x00, 0x80, 0x3F});
  EXPECT_EQ(fixture.View().Model().Lines(), (std::vector<std::string>{" 01 FF", " 1.000000"}));
}

// The toolbar's second button opens the dialog; font and colour chosen there
// are what the view paints with, though the dialog was then cancelled.
TEST(ScreenSettingsCommand, ToolbarButtonFontAndColourReachTheView) {
  AppFixture fixture(false);
  fixture.Start();
  fixture.answerDialog = [](QDialog& dialog) { return dialog.exec(); };
  testing::ScriptedColorChooser colors;
  testing::ScriptedFontChooser fonts;
  colors.answer = QColor(0, 0x80, 0);
  QFont chosen("DejaVu Sans Mono");
  chosen.setPixelSize(30);
  fonts.answer = FontChoice{chosen, QColor(0xFF, 0, 0)};
  fixture.app->Choosers().color = &colors;
  fixture.app->Choosers().font = &fonts;
  QToolBar* toolBar = fixture.Frame().ToolBar();
  auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(toolBar->actions().at(1)));
  ASSERT_NE(button, nullptr);
  QString caption;
  ASSERT_TRUE(RunScreenSettings([&] { QTest::mouseClick(button, Qt::LeftButton); },
                                [&](CSettingsDialog& d) {
                                  caption = d.windowTitle();
                                  QTest::mouseClick(d.ColorButton(), Qt::LeftButton);
                                  QTest::mouseClick(d.FontButton(), Qt::LeftButton);
                                }));
  EXPECT_EQ(caption, "Screen Settings");
  EXPECT_EQ(fixture.app->m_Settings.crText, 0x000000FFu);
  CZerikView& view = fixture.View();
  EXPECT_EQ(view.DisplayFont().pixelSize(), 30);
  EXPECT_EQ(view.LineHeight(), 30);
  const QImage image = view.viewport()->grab().toImage();
  EXPECT_EQ(QColor(image.pixel(image.width() - 1, image.height() - 1)), QColor(0, 0x80, 0));
}

}  // namespace
}  // namespace tarnwick
