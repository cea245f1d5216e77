// The Screen Settings command in the running program: the dialog from the
// menu and the toolbar, the corrections after OK and Cancel, and what the
// worker and the view see afterwards.
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
#include "scripted_choosers.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::ScriptedColorChooser;
using testing::ScriptedFontChooser;

// Runs the command from trigger and lets drive work the dialog; a dialog
// that drive leaves open is cancelled. False when no dialog came up.
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

struct CorrectionCase {
  const char* name;
  std::int32_t format, length, columns;  // in the configuration file
  std::function<void(CSettingsDialog&)> drive;
  std::int32_t formatAfter, lengthAfter, columnsAfter, rowsAfter;
};

void Ok(CSettingsDialog& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); }

TEST(ScreenSettingsCommand, CorrectionsAfterOkAndAfterCancel) {
  const CorrectionCase cases[] = {
      {"FLOAT with 2 bytes, OK", kFormatHex, 0, 8,
       [](CSettingsDialog& d) {
         d.FormatList()->setCurrentIndex(kFormatFloat);
         d.LengthList()->setCurrentIndex(1);
         Ok(d);
       },
       kFormatFloat, 3, 8, 8},
      {"TEXT with 4 bytes and Columns 0, OK", kFormatHex, 0, 8,
       [](CSettingsDialog& d) {
         d.FormatList()->setCurrentIndex(kFormatText);
         d.LengthList()->setCurrentIndex(3);
         d.ColumnsEdit()->setText("0");
         Ok(d);
       },
       kFormatText, 0, 0, 8},
      {"HEX with Columns 0, OK", kFormatText, 0, 8,
       [](CSettingsDialog& d) {
         d.FormatList()->setCurrentIndex(kFormatHex);
         d.ColumnsEdit()->setText("0");
         Ok(d);
       },
       kFormatHex, 0, 1, 8},
      {"FLOAT with 1 byte from the file, Cancel", kFormatFloat, 0, 4,
       [](CSettingsDialog& d) { d.reject(); }, kFormatFloat, 3, 4, 8},
      {"TEXT with 3 bytes from the file, Cancel", kFormatText, 2, 0,
       [](CSettingsDialog& d) { d.reject(); }, kFormatText, 0, 0, 8},
      {"DEC with Columns 0 from the file, Cancel after editing rows", kFormatDec, 1, 0,
       [](CSettingsDialog& d) {
         d.RowsEdit()->setText("3");
         d.reject();
       },
       kFormatDec, 1, 1, 8},
  };
  for (const CorrectionCase& c : cases) {
    AppFixture fixture(false);
    SETTINGS settings = DefaultSettings();
    settings.nUnitFormatIndex = c.format;
    settings.nUnitLengthIndex = c.length;
    settings.nColumns = c.columns;
    fixture.WriteConfig(settings);
    fixture.Start();
    QAction* command = fixture.Frame().Action(ID_SCREEN_SETTINGS);
    ASSERT_TRUE(RunScreenSettings([&] { command->trigger(); }, c.drive)) << c.name;
    const SETTINGS& after = fixture.app->m_Settings;
    EXPECT_EQ(after.nUnitFormatIndex, c.formatAfter) << c.name;
    EXPECT_EQ(after.nUnitLengthIndex, c.lengthAfter) << c.name;
    EXPECT_EQ(after.nColumns, c.columnsAfter) << c.name;
    EXPECT_EQ(after.nRows, c.rowsAfter) << c.name;
    // The worker and the model see the corrected record.
    EXPECT_EQ(testing::RecordBytes(fixture.app->Live().Current()), testing::RecordBytes(after))
        << c.name;
  }
}

// Nothing is cleared or reformatted: units already shown stay, new ones come
// in the new format.
TEST(ScreenSettingsCommand, FormatChangesApplyFromTheNextUnit) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  Feed(view, {0x01, 0x02, 0xFF});
  ASSERT_TRUE(RunScreenSettings([&] { fixture.app->OnScreenSettings(); },
                                [](CSettingsDialog& d) {
                                  d.FormatList()->setCurrentIndex(kFormatDec);
                                  d.ReverseBox()->setChecked(true);
                                  d.LengthList()->setCurrentIndex(1);
                                  Ok(d);
                                }));
  EXPECT_EQ(view.Model().Lines(), (std::vector<std::string>{" 01 02 FF"}));
  Feed(view, {0x01, 0x80});
  EXPECT_EQ(view.Model().Lines(), (std::vector<std::string>{" 01 02 FF -32767"}));
}

// The toolbar's second button opens the same dialog; the font and colour
// chosen there are what the view paints with.
TEST(ScreenSettingsCommand, ToolbarButtonFontAndColourReachTheView) {
  AppFixture fixture(false);
  fixture.Start();
  auto colors = std::make_unique<ScriptedColorChooser>();
  auto fonts = std::make_unique<ScriptedFontChooser>();
  colors->answer = QColor(0, 0x80, 0);
  QFont chosen("DejaVu Sans Mono");
  chosen.setPixelSize(30);
  fonts->answer = FontChoice{chosen, QColor(0xFF, 0, 0)};
  fixture.app->Choosers().color = std::move(colors);
  fixture.app->Choosers().font = std::move(fonts);
  QToolBar* toolBar = fixture.Frame().ToolBar();
  auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(toolBar->actions().at(1)));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->defaultAction(), fixture.Frame().Action(ID_SCREEN_SETTINGS));
  QString caption;
  ASSERT_TRUE(RunScreenSettings([&] { QTest::mouseClick(button, Qt::LeftButton); },
                                [&](CSettingsDialog& d) {
                                  caption = d.windowTitle();
                                  QTest::mouseClick(d.ColorButton(), Qt::LeftButton);
                                  QTest::mouseClick(d.FontButton(), Qt::LeftButton);
                                  d.reject();  // the handlers' writes stay
                                }));
  EXPECT_EQ(caption, "Screen Settings");
  EXPECT_EQ(fixture.app->m_Settings.crBackground, 0x00008000u);
  EXPECT_EQ(fixture.app->m_Settings.crText, 0x000000FFu);
  EXPECT_EQ(fixture.app->m_Settings.lfFont.lfHeight, -30);
  CZerikView& view = fixture.View();
  EXPECT_EQ(view.DisplayFont().pixelSize(), 30);
  EXPECT_EQ(view.LineHeight(), 30);
  const QImage image = view.viewport()->grab().toImage();
  EXPECT_EQ(QColor(image.pixel(image.width() - 1, image.height() - 1)), QColor(0, 0x80, 0));
}

}  // namespace
}  // namespace tarnwick
