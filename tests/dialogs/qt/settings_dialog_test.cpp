// The Screen Settings dialog on its own: controls, the exchange with good and
// bad integers, the delimiter, and the handlers that write the record at once.
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
#include "display/view/logfont_mapping.h"
#include "scripted_choosers.h"
#include "support/recording_message_boxes.h"

namespace tarnwick {
namespace {

using testing::RecordingMessageBoxes;
using testing::ScriptedColorChooser;
using testing::ScriptedFileChooser;
using testing::ScriptedFontChooser;

class SettingsDialogTest : public ::testing::Test {
 protected:
  CSettingsDialog& Open() {
    m_dialog = std::make_unique<CSettingsDialog>(
        settings, DialogServices{boxes, files, fonts, colors, [this] { ++changes; }});
    m_dialog->show();
    m_dialog->activateWindow();
    return *m_dialog;
  }
  bool SameRecord(const SETTINGS& other) const {
    return std::memcmp(&settings, &other, sizeof settings) == 0;
  }

  SETTINGS settings = DefaultSettings();
  RecordingMessageBoxes boxes;
  ScriptedFileChooser files;
  ScriptedFontChooser fonts;
  ScriptedColorChooser colors;
  int changes = 0;

 private:
  std::unique_ptr<CSettingsDialog> m_dialog;
};

TEST_F(SettingsDialogTest, ControlsGroupsNamesAndOrder) {
  CSettingsDialog& dialog = Open();
  EXPECT_EQ(dialog.windowTitle(), "Screen Settings");
  QStringList groups;
  for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) groups << group->title();
  EXPECT_EQ(groups, (QStringList{"Screen", "Unit format"}));
  const auto* screen = qobject_cast<QGroupBox*>(dialog.RowsEdit()->parentWidget());
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->title(), "Screen");
  for (QWidget* w : std::initializer_list<QWidget*>{dialog.ColumnsEdit(), dialog.DelimiterEdit(),
                                                    dialog.FontButton(), dialog.ColorButton()}) {
    EXPECT_EQ(w->parentWidget(), screen) << w->objectName().toStdString();
  }
  const auto* unit = qobject_cast<QGroupBox*>(dialog.FormatList()->parentWidget());
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(unit->title(), "Unit format");
  EXPECT_EQ(dialog.LengthList()->parentWidget(), unit);
  EXPECT_EQ(dialog.ReverseBox()->parentWidget(), unit);

  QStringList lengths, formats;
  for (int i = 0; i < dialog.LengthList()->count(); ++i)
    lengths << dialog.LengthList()->itemText(i);
  for (int i = 0; i < dialog.FormatList()->count(); ++i)
    formats << dialog.FormatList()->itemText(i);
  EXPECT_EQ(lengths, (QStringList{"1", "2", "3", "4"}));
  EXPECT_EQ(formats, (QStringList{"TEXT", "HEX", "BINARY", "DEC", "FLOAT"}));

  // What a screen reader reads, and the labels that lead to each field.
  const std::vector<std::pair<QWidget*, QString>> named = {
      {dialog.RowsEdit(), "Rows"},
      {dialog.ColumnsEdit(), "Columns"},
      {dialog.FontButton(), "Font"},
      {dialog.ColorButton(), "Color"},
      {dialog.DelimiterEdit(), "Delimiter"},
      {dialog.LengthList(), "Length"},
      {dialog.FormatList(), "Format"},
      {dialog.ReverseBox(), "Reverse bytes"},
      {dialog.SaveToFileBox(), "Save to file: "},
      {dialog.OkButton(), "OK"},
      {dialog.CancelButton(), "Cancel"},
  };
  for (const auto& [widget, name] : named) {
    EXPECT_EQ(widget->accessibleName(), name) << name.toStdString();
  }
  QStringList buddied;
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (label->buddy() != nullptr) buddied << label->text();
  }
  buddied.sort();
  EXPECT_EQ(buddied, (QStringList{"Columns", "Delimiter", "Format", "Length", "Rows"}));
  EXPECT_TRUE(dialog.OkButton()->isDefault());

  // Tab goes through the controls in the template's order.
  QWidget* w = dialog.RowsEdit();
  QStringList order;
  for (int i = 0; i < 11; ++i, w = w->nextInFocusChain()) {
    while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    order << w->accessibleName();
  }
  EXPECT_EQ(order, (QStringList{"Rows", "Columns", "Font", "Color", "Delimiter", "Length", "Format",
                                "Reverse bytes", "Save to file: ", "OK", "Cancel"}));
}

TEST_F(SettingsDialogTest, ShowsTheRecord) {
  settings.nRows = -7;
  settings.nColumns = 2147483647;
  settings.nUnitFormatIndex = 3;
  settings.nUnitLengthIndex = 9;  // outside the list: nothing selected
  settings.bReverseBytes = 5;     // outside 0..2: reset to 0
  settings.bSaveText = 1;
  std::strcpy(settings.szTextFile, "/logs/a&b.txt");
  settings.chDelimiter = '\t';
  CSettingsDialog& dialog = Open();
  EXPECT_EQ(dialog.RowsEdit()->text(), "-7");
  EXPECT_EQ(dialog.ColumnsEdit()->text(), "2147483647");
  EXPECT_EQ(dialog.FormatList()->currentIndex(), 3);
  EXPECT_EQ(dialog.LengthList()->currentIndex(), -1);
  EXPECT_FALSE(dialog.ReverseBox()->isChecked());
  EXPECT_EQ(settings.bReverseBytes, 0);
  EXPECT_TRUE(dialog.SaveToFileBox()->isChecked());
  EXPECT_EQ(dialog.SaveToFileBox()->Caption(), "Save to file: /logs/a&b.txt");
  EXPECT_EQ(dialog.DelimiterEdit()->text(), "\\09");
}

struct ExchangeCase {
  const char* name;
  QString columns, rows;
  bool accepted;
  std::int32_t columnsAfter, rowsAfter;
  int badField;  // 0 columns, 1 rows, -1 none
};

TEST_F(SettingsDialogTest, IntegersAreReadAsPercentD) {
  const ExchangeCase cases[] = {
      {"plain", "16", "20", true, 16, 20, -1},
      {"trailing text ignored", "12x", "3 rows", true, 12, 3, -1},
      {"negative kept", "-3", "+4", true, -3, 4, -1},
      {"leading blanks", "  \t7", " 0", true, 7, 0, -1},
      {"saturates past int32", "99999999999", "-99999999999", true, INT32_MAX, INT32_MIN, -1},
      {"62 blanks then a digit", QString(62, ' ') + "5", "1", true, 5, 1, -1},
      {"only 63 characters are read", QString(63, ' ') + "5", "1", false, 8, 8, 0},
      {"bad columns: nothing stored", "x12", "30", false, 8, 8, 0},
      {"empty columns", "", "30", false, 8, 8, 0},
      {"bad rows: columns already stored", "5", "rows", false, 5, 8, 1},
      {"empty rows", "5", "", false, 5, 8, 1},
  };
  for (const ExchangeCase& c : cases) {
    settings = DefaultSettings();  // 8 columns, 8 rows, TEXT
    boxes.shown.clear();
    CSettingsDialog& dialog = Open();
    dialog.ColumnsEdit()->setText(c.columns);
    dialog.RowsEdit()->setText(c.rows);
    dialog.FormatList()->setCurrentIndex(kFormatHex);
    dialog.DelimiterEdit()->setText(",");
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << c.name;
    EXPECT_EQ(dialog.isVisible(), !c.accepted) << c.name;
    EXPECT_EQ(settings.nColumns, c.columnsAfter) << c.name;
    EXPECT_EQ(settings.nRows, c.rowsAfter) << c.name;
    // The fields after a bad one keep their values; the delimiter too.
    EXPECT_EQ(settings.nUnitFormatIndex, c.accepted ? kFormatHex : kFormatText) << c.name;
    EXPECT_EQ(settings.chDelimiter, c.accepted ? ',' : ' ') << c.name;
    if (c.badField < 0) {
      EXPECT_TRUE(boxes.shown.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(boxes.shown.size(), 1u) << c.name;
    EXPECT_EQ(boxes.shown[0].text, "Enter an integer.");
    QLineEdit* bad = c.badField == 0 ? dialog.ColumnsEdit() : dialog.RowsEdit();
    EXPECT_EQ(dialog.focusWidget(), bad) << c.name;
    EXPECT_EQ(bad->selectedText(), bad->text()) << c.name;
  }
}

TEST_F(SettingsDialogTest, ListsAndChecksAreStoredOnOk) {
  settings.bSaveText = 1;
  std::strcpy(settings.szTextFile, "/t.log");
  CSettingsDialog& dialog = Open();
  dialog.FormatList()->setCurrentIndex(-1);
  dialog.LengthList()->setCurrentIndex(2);
  dialog.ReverseBox()->setChecked(true);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(settings.nUnitFormatIndex, -1);
  EXPECT_EQ(settings.nUnitLengthIndex, 2);
  EXPECT_EQ(settings.bReverseBytes, 1);
  EXPECT_EQ(settings.bSaveText, 1);
  EXPECT_EQ(changes, 0);  // the command publishes after the dialog
}

TEST_F(SettingsDialogTest, DelimiterShownAndTaken) {
  const struct {
    unsigned char before;
    QString shown;
    QString typed;
    unsigned char after;
  } cases[] = {
      {0x20, " ", "\\0a", 0x0A},      {0x09, "\\09", "\\0A", 0x0A},
      {0x7F, "\x7F", "\\4142", 0x41}, {0x80, "\\80", "\\4", 0x5C},
      {0xB5, "\\B5", "ab", 0x61},     {0x0A, "\\0A", "", 0x20},
      {0x41, "A", "\\G1", 0x5C},      {0x00, "\\00", QString::fromUtf8("\xE2\x82\xAC"), 0x80},
  };
  for (const auto& c : cases) {
    settings.chDelimiter = static_cast<char>(c.before);
    CSettingsDialog& dialog = Open();
    EXPECT_EQ(dialog.DelimiterEdit()->text(), c.shown) << int{c.before};
    dialog.DelimiterEdit()->setText(c.typed);
    dialog.accept();
    EXPECT_EQ(static_cast<unsigned char>(settings.chDelimiter), c.after) << c.typed.toStdString();
  }
}

TEST_F(SettingsDialogTest, FontHandlerWritesFontAndTextColourAndAlwaysRepaints) {
  settings.crText = 0x00336699;
  settings.lfFont.lfHeight = 20;
  std::strcpy(settings.lfFont.lfFaceName, "DejaVu Sans Mono");
  CSettingsDialog& dialog = Open();

  // Cancelled: nothing written, the view is drawn again all the same.
  QTest::mouseClick(dialog.FontButton(), Qt::LeftButton);
  ASSERT_EQ(fonts.offered.size(), 1u);
  EXPECT_EQ(fonts.offered[0].font.family(), "DejaVu Sans Mono");
  EXPECT_EQ(fonts.offered[0].font, FontFromLogFont(settings.lfFont));
  EXPECT_EQ(fonts.offered[0].color, QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(settings.lfFont.lfHeight, 20);
  EXPECT_EQ(changes, 1);

  QFont chosen("DejaVu Sans Mono");
  chosen.setPixelSize(14);
  chosen.setBold(true);
  chosen.setUnderline(true);
  fonts.answer = FontChoice{chosen, QColor(0x12, 0x34, 0x56)};
  QTest::mouseClick(dialog.FontButton(), Qt::LeftButton);
  EXPECT_EQ(settings.lfFont.lfHeight, -14);
  EXPECT_EQ(settings.lfFont.lfWeight, 700);
  EXPECT_EQ(settings.lfFont.lfUnderline, 1);
  EXPECT_EQ(settings.crText, 0x00563412u);
  EXPECT_EQ(changes, 2);

  // Cancel keeps what the handler wrote and drops the edited rows.
  dialog.RowsEdit()->setText("99");
  QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(settings.nRows, 8);
  EXPECT_EQ(settings.lfFont.lfHeight, -14);
}

TEST_F(SettingsDialogTest, ColorHandlerStartsAtBlackAndWritesTheBackgroundOnOk) {
  settings.crBackground = 0x00FFFFFF;
  CSettingsDialog& dialog = Open();
  QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
  ASSERT_EQ(colors.offered.size(), 1u);
  EXPECT_EQ(colors.offered[0], QColor(0, 0, 0));
  EXPECT_EQ(settings.crBackground, 0x00FFFFFFu);
  EXPECT_EQ(changes, 0);

  colors.answer = QColor(0x10, 0x20, 0x30);
  QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
  EXPECT_EQ(colors.offered[1], QColor(0, 0, 0));
  EXPECT_EQ(settings.crBackground, 0x00302010u);
  EXPECT_EQ(changes, 1);
  dialog.reject();
  EXPECT_EQ(settings.crBackground, 0x00302010u);
}

// The check mark shows the flag after every click, a cancelled chooser
// included; the caption shows the path.
TEST_F(SettingsDialogTest, SaveToFileCheckMarkFollowsTheFlag) {
  std::strcpy(settings.szTextFile, "/old.txt");
  CSettingsDialog& dialog = Open();
  MultiLineCheckBox& box = *dialog.SaveToFileBox();
  const struct {
    const char* name;
    std::optional<QString> answer;
    std::int32_t flag;
    const char* path;
    int boxesShown;
  } clicks[] = {
      {"cancelled: stays off", std::nullopt, 0, "/old.txt", 0},
      {"chosen: on", QString("/new & improved.txt"), 1, "/new & improved.txt", 0},
      {"checked: off, path kept", std::nullopt, 0, "/new & improved.txt", 0},
      {"too long: refused, stays off", QString(1100, 'p'), 0, "/new & improved.txt", 1},
  };
  for (const auto& c : clicks) {
    files.answer = c.answer;
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(box.width() - 5, 5));
    EXPECT_EQ(settings.bSaveText, c.flag) << c.name;
    EXPECT_EQ(box.isChecked(), c.flag == 1) << c.name;
    EXPECT_STREQ(settings.szTextFile, c.path) << c.name;
    EXPECT_EQ(box.Caption(), QString("Save to file: ") + c.path) << c.name;
    EXPECT_EQ(static_cast<int>(boxes.shown.size()), c.boxesShown) << c.name;
  }
  EXPECT_EQ(files.offered.size(), 3u);  // no chooser when switching off
  EXPECT_FALSE(files.lastMustExist);
  EXPECT_EQ(changes, 2);  // on, then off
  // What the click wrote stays after Cancel.
  files.answer = QString("/kept.txt");
  QTest::mouseClick(&box, Qt::LeftButton);
  dialog.reject();
  EXPECT_EQ(settings.bSaveText, 1);
  EXPECT_STREQ(settings.szTextFile, "/kept.txt");
}

TEST_F(SettingsDialogTest, CancelTakesNothingFromTheControls) {
  CSettingsDialog& dialog = Open();
  const SETTINGS before = settings;
  dialog.RowsEdit()->setText("1");
  dialog.ColumnsEdit()->setText("x");
  dialog.FormatList()->setCurrentIndex(kFormatFloat);
  dialog.ReverseBox()->setChecked(true);
  dialog.DelimiterEdit()->setText("\\41");
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(SameRecord(before));
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tarnwick
