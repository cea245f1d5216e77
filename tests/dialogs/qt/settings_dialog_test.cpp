// The Screen Settings dialog on its own: controls, the exchange with good and
// bad integers, and the handlers that write the record at once.
#include "dialogs/qt/settings_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>

#include "dialogs/qt/multi_line_check_box.h"
#include "support/recording_message_boxes.h"
#include "support/scripted_choosers.h"

namespace tarnwick {
namespace {

class SettingsDialogTest : public ::testing::Test {
 protected:
  CSettingsDialog& Open() {
    m_dialog = std::make_unique<CSettingsDialog>(
        settings, DialogServices{boxes, files, fonts, colors, [this] { ++changes; }});
    m_dialog->show();
    return *m_dialog;
  }

  SETTINGS settings = DefaultSettings();
  testing::RecordingMessageBoxes boxes;
  testing::ScriptedFileChooser files;
  testing::ScriptedFontChooser fonts;
  testing::ScriptedColorChooser colors;
  int changes = 0;

 private:
  std::unique_ptr<CSettingsDialog> m_dialog;
};

TEST_F(SettingsDialogTest, ControlsNamesGroupsAndTabOrder) {
  CSettingsDialog& d = Open();
  EXPECT_EQ(d.windowTitle(), "Screen Settings");
  EXPECT_EQ(qobject_cast<QGroupBox*>(d.ColorButton()->parentWidget())->title(), "Screen");
  EXPECT_EQ(qobject_cast<QGroupBox*>(d.ReverseBox()->parentWidget())->title(), "Unit format");
  EXPECT_EQ(d.FormatList()->itemText(4), "FLOAT");
  EXPECT_EQ(d.LengthList()->count(), 4);
  EXPECT_TRUE(d.OkButton()->isDefault());
  // Tab walks the controls in the template's order; each has the name a
  // screen reader reads, and the labels lead to their fields.
  const QStringList names = {"Rows",           "Columns", "Font",   "Color",
                             "Delimiter",      "Length",  "Format", "Reverse bytes",
                             "Save to file: ", "OK",      "Cancel"};
  QWidget* w = d.RowsEdit();
  for (const QString& name : names) {
    while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    EXPECT_EQ(w->accessibleName(), name);
    w = w->nextInFocusChain();
  }
  auto* rows = d.findChild<QLabel*>();
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->buddy(), d.RowsEdit());
}

TEST_F(SettingsDialogTest, ShowsTheRecord) {
  settings.nRows = -7;
  settings.nUnitFormatIndex = 3;
  settings.nUnitLengthIndex = 9;  // outside the list: nothing selected
  settings.bReverseBytes = 5;     // outside 0..2: reset to 0
  settings.bSaveText = 1;
  std::strcpy(settings.szTextFile, "/logs/a&b.txt");
  settings.chDelimiter = '\t';
  CSettingsDialog& d = Open();
  EXPECT_EQ(d.RowsEdit()->text(), "-7");
  EXPECT_EQ(d.ColumnsEdit()->text(), "8");
  EXPECT_EQ(d.FormatList()->currentIndex(), 3);
  EXPECT_EQ(d.LengthList()->currentIndex(), -1);
  EXPECT_FALSE(d.ReverseBox()->isChecked());
  EXPECT_EQ(settings.bReverseBytes, 0);
  EXPECT_TRUE(d.SaveToFileBox()->isChecked());
  EXPECT_EQ(d.SaveToFileBox()->Caption(), "Save to file: /logs/a&b.txt");
  EXPECT_EQ(d.DelimiterEdit()->text(), "\\09");
}

TEST_F(SettingsDialogTest, IntegersAreReadAsPercentDAndABadOneKeepsTheDialogOpen) {
  const struct {
    const char* name;
    QString columns, rows;
    std::int32_t columnsAfter, rowsAfter;
    int badField;  // 0 Columns, 1 Rows, -1 none
  } cases[] = {
      {"text after the digits ignored", "12x", " 3 rows", 12, 3, -1},
      {"signs", "-3", "+4", -3, 4, -1},
      {"saturates", "99999999999", "-99999999999", INT32_MAX, INT32_MIN, -1},
      {"only 63 characters are read", QString(63, ' ') + "5", "1", 8, 8, 0},
      {"bad Columns: nothing stored", "x12", "30", 8, 8, 0},
      {"empty Rows: Columns already stored", "5", "", 5, 8, 1},
  };
  for (const auto& c : cases) {
    settings = DefaultSettings();  // 8 x 8, TEXT, space
    boxes.shown.clear();
    CSettingsDialog& d = Open();
    d.ColumnsEdit()->setText(c.columns);
    d.RowsEdit()->setText(c.rows);
    d.FormatList()->setCurrentIndex(kFormatHex);
    d.DelimiterEdit()->setText(",");
    QTest::mouseClick(d.OkButton(), Qt::LeftButton);
    const bool ok = c.badField < 0;
    EXPECT_EQ(d.result() == QDialog::Accepted, ok) << c.name;
    EXPECT_EQ(d.isVisible(), !ok) << c.name;
    EXPECT_EQ(settings.nColumns, c.columnsAfter) << c.name;
    EXPECT_EQ(settings.nRows, c.rowsAfter) << c.name;
    // Fields after a bad one keep their values.
    EXPECT_EQ(settings.nUnitFormatIndex, ok ? kFormatHex : kFormatText) << c.name;
    EXPECT_EQ(settings.chDelimiter, ok ? ',' : ' ') << c.name;
    EXPECT_EQ(boxes.shown.size(), ok ? 0u : 1u) << c.name;
    if (ok) continue;
    EXPECT_EQ(boxes.shown[0].text, "Enter an integer.");
    QLineEdit* bad = c.badField == 0 ? d.ColumnsEdit() : d.RowsEdit();
    EXPECT_EQ(d.focusWidget(), bad) << c.name;
    EXPECT_EQ(bad->selectedText(), bad->text()) << c.name;
  }
}

// Rows shows the numbers it takes whole, up to the most lines the screen
// keeps: from its first digit to its last the cursor moves the text's own
// width (nothing scrolled out of sight) and stays inside the box.
TEST_F(SettingsDialogTest, RowsShowsTheLargestValueItTakesWhole) {
  CSettingsDialog& d = Open();
  QLineEdit* rows = d.RowsEdit();
  for (const char* value : {"300000", "1000000"}) {
    rows->setText(QString::fromLatin1(value));
    const auto cursor = [rows] {
      return rows->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    };
    rows->setCursorPosition(0);
    const int start = cursor();
    rows->end(false);
    const int end = cursor();
    EXPECT_NEAR(end - start, rows->fontMetrics().horizontalAdvance(QString::fromLatin1(value)), 1)
        << value;
    EXPECT_LT(end, rows->contentsRect().right()) << value;
  }
}

TEST_F(SettingsDialogTest, FontAndColorWriteAtOnceAndCancelKeepsOnlyThat) {
  settings.crText = 0x00336699;
  std::strcpy(settings.lfFont.lfFaceName, "DejaVu Sans Mono");
  CSettingsDialog& d = Open();
  // A cancelled font chooser writes nothing; the view is repainted anyway.
  QTest::mouseClick(d.FontButton(), Qt::LeftButton);
  ASSERT_EQ(fonts.offered.size(), 1u);
  EXPECT_EQ(fonts.offered[0].font.family(), "DejaVu Sans Mono");
  EXPECT_EQ(fonts.offered[0].color, QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(settings.lfFont.lfHeight, 20);
  EXPECT_EQ(changes, 1);
  QFont chosen("DejaVu Sans Mono");
  chosen.setPixelSize(14);
  chosen.setBold(true);
  fonts.answer = FontChoice{chosen, QColor(0x12, 0x34, 0x56)};
  QTest::mouseClick(d.FontButton(), Qt::LeftButton);
  EXPECT_EQ(settings.lfFont.lfHeight, -14);
  EXPECT_EQ(settings.lfFont.lfWeight, 700);
  EXPECT_EQ(settings.crText, 0x00563412u);

  // The colour chooser starts at black; only a choice is written.
  QTest::mouseClick(d.ColorButton(), Qt::LeftButton);
  EXPECT_EQ(settings.crBackground, 0x00FFFFFFu);
  colors.answer = QColor(0x10, 0x20, 0x30);
  QTest::mouseClick(d.ColorButton(), Qt::LeftButton);
  EXPECT_EQ(colors.offered, (std::vector<QColor>{Qt::black, Qt::black}));
  EXPECT_EQ(settings.crBackground, 0x00302010u);
  EXPECT_EQ(changes, 3);

  d.RowsEdit()->setText("99");
  d.ReverseBox()->setChecked(true);
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_EQ(d.result(), QDialog::Rejected);
  EXPECT_EQ(settings.nRows, 8);
  EXPECT_EQ(settings.bReverseBytes, 0);
  EXPECT_EQ(settings.lfFont.lfHeight, -14);
  EXPECT_EQ(settings.crBackground, 0x00302010u);
}

// The check mark shows the flag after every click, a cancelled chooser
// included; the caption shows the path; what a click wrote stays on Cancel.
TEST_F(SettingsDialogTest, SaveToFileCheckMarkFollowsTheFlag) {
  std::strcpy(settings.szTextFile, "/old.txt");
  CSettingsDialog& d = Open();
  MultiLineCheckBox& box = *d.SaveToFileBox();
  const struct {
    std::optional<QString> answer;
    std::int32_t flag;
    const char* path;
  } clicks[] = {
      {std::nullopt, 0, "/old.txt"},  // cancelled: stays off
      {QString("/new & improved.txt"), 1, "/new & improved.txt"},
      {std::nullopt, 0, "/new & improved.txt"},        // off, no chooser
      {QString(1100, 'p'), 0, "/new & improved.txt"},  // too long: refused
      {QString("/kept.txt"), 1, "/kept.txt"},
  };
  for (const auto& c : clicks) {
    files.answer = c.answer;
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(box.width() - 5, 5));
    EXPECT_EQ(settings.bSaveText, c.flag) << c.path;
    EXPECT_EQ(box.isChecked(), c.flag == 1) << c.path;
    EXPECT_EQ(box.Caption(), QString("Save to file: ") + c.path);
  }
  EXPECT_EQ(files.offered.size(), 4u);
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(changes, 3);
  d.reject();
  EXPECT_EQ(settings.bSaveText, 1);
  EXPECT_STREQ(settings.szTextFile, "/kept.txt");
}

}  // namespace
}  // namespace tarnwick
