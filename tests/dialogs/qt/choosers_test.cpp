// The real font chooser, answered as a user would, and the wrapping
// "Save to file: " box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "dialogs/qt/font_chooser.h"
#include "dialogs/qt/multi_line_check_box.h"
#include "support/scripted_choosers.h"

namespace tarnwick {
namespace {

// Runs answer on the font chooser that the next exec() brings up.
void AnswerNextChooser(const std::function<void(FontWithColorDialog&)>& answer) {
  QTimer::singleShot(0, [answer] {
    if (auto* d = qobject_cast<FontWithColorDialog*>(QApplication::activeModalWidget())) answer(*d);
  });
}

QFont Mono(int pixels, QFont::Weight weight = QFont::Normal, bool italic = false) {
  QFont font("DejaVu Sans Mono");
  font.setPixelSize(pixels);
  font.setWeight(weight);
  font.setItalic(italic);
  return font;
}

TEST(FontChooser, FixedPitchFamiliesTheStyleItWasGivenAndTheColour) {
  testing::ScriptedColorChooser colors;
  FontWithColorDialog dialog(Mono(20), QColor(0x11, 0x22, 0x33), colors);
  QAbstractItemModel* families = dialog.FontPart()->findChildren<QListView*>().first()->model();
  ASSERT_GT(families->rowCount(), 0);
  for (int row = 0; row < families->rowCount(); ++row) {
    EXPECT_TRUE(QFontDatabase::isFixedPitch(families->index(row, 0).data().toString()));
  }
  // The colour button asks from the current colour; a cancel keeps it.
  QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
  colors.answer = QColor(0xAA, 0, 0xBB);
  QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
  EXPECT_EQ(colors.offered,
            (std::vector<QColor>{QColor(0x11, 0x22, 0x33), QColor(0x11, 0x22, 0x33)}));
  EXPECT_EQ(dialog.SelectedColor(), QColor(0xAA, 0, 0xBB));

  // Shown and confirmed, a font comes back as it went in (Qt's dialog would
  // pick the family's first style, an oblique, for a style it cannot name).
  for (const QFont& font : {Mono(20), Mono(20, QFont::Bold), Mono(20, QFont::Normal, true)}) {
    FontWithColorDialog shown(font, Qt::black, colors);
    EXPECT_EQ(shown.SelectedFont().weight(), font.weight());
    EXPECT_EQ(shown.SelectedFont().italic(), font.italic());
    EXPECT_EQ(QFontInfo(shown.SelectedFont()).pixelSize(), 20);
  }
}

TEST(FontChooser, OkWithEffectsEnterIsOkEscapeCancels) {
  QtFontChooser chooser;
  AnswerNextChooser([](FontWithColorDialog& d) {
    for (QCheckBox* box : d.FontPart()->findChildren<QCheckBox*>()) {
      if (box->text().remove('&') == "Underline") box->click();
    }
    QTest::keyClick(d.ColorButton(), Qt::Key_Return);
  });
  const std::optional<FontChoice> chosen = chooser.ChooseFont(nullptr, Mono(17), Qt::blue);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->font.family(), "DejaVu Sans Mono");
  EXPECT_TRUE(chosen->font.underline());
  EXPECT_EQ(chosen->color, QColor(Qt::blue));

  for (const auto& [key, accepted] : {std::pair{Qt::Key_Return, true}, {Qt::Key_Escape, false}}) {
    AnswerNextChooser([key](FontWithColorDialog& d) {
      for (QLineEdit* edit : d.FontPart()->findChildren<QLineEdit*>()) {
        if (edit->validator() != nullptr) QTest::keyClick(edit, key);  // the size
      }
      if (d.isVisible()) d.reject();
    });
    EXPECT_EQ(chooser.ChooseFont(nullptr, Mono(17), Qt::blue).has_value(), accepted) << key;
  }
}

TEST(MultiLineCheckBox, LongCaptionsWrapAndAnyPointToggles) {
  MultiLineCheckBox box;
  box.SetCaption("Save to file: /" + QString(200, 'x') + "&y");
  EXPECT_GT(box.heightForWidth(300), 2 * box.fontMetrics().lineSpacing());
  EXPECT_TRUE(box.shortcut().isEmpty());  // the path's '&' makes no mnemonic
  box.resize(300, box.heightForWidth(300));
  box.show();
  QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(290, box.height() - 3));
  EXPECT_TRUE(box.isChecked());
}

}  // namespace
}  // namespace tarnwick
