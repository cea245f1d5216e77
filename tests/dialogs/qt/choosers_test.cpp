// The real font and colour choosers, answered as a user would, and the
// wrapping "Save to file: " box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "dialogs/qt/color_chooser.h"
#include "dialogs/qt/font_chooser.h"
#include "dialogs/qt/multi_line_check_box.h"
#include "scripted_choosers.h"

namespace tarnwick {
namespace {

// Runs answer on the modal dialog that the next exec() brings up.
void AnswerNextModal(const std::function<void(QDialog&)>& answer) {
  QTimer::singleShot(0, [answer] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) answer(*dialog);
  });
}

QFont Mono(int pixels) {
  QFont font("DejaVu Sans Mono");
  font.setPixelSize(pixels);
  return font;
}

TEST(FontChooser, ListsFixedPitchFontsWithEffectsAndKeepsTheColour) {
  testing::ScriptedColorChooser colors;
  FontWithColorDialog dialog(Mono(20), QColor(0x11, 0x22, 0x33), colors);
  // Every family offered is fixed-pitch.
  const auto lists = dialog.FontPart()->findChildren<QListView*>();
  ASSERT_FALSE(lists.empty());
  QAbstractItemModel* families = lists.first()->model();
  ASSERT_GT(families->rowCount(), 0);
  for (int row = 0; row < families->rowCount(); ++row) {
    const QString family = families->index(row, 0).data().toString();
    EXPECT_TRUE(QFontDatabase::isFixedPitch(family)) << family.toStdString();
  }
  QStringList effects;
  for (QCheckBox* box : dialog.FontPart()->findChildren<QCheckBox*>()) {
    effects << box->text().remove('&');
  }
  EXPECT_TRUE(effects.contains("Underline"));
  EXPECT_TRUE(effects.contains("Strikeout"));
  EXPECT_EQ(dialog.SelectedFont().family(), "DejaVu Sans Mono");
  EXPECT_EQ(dialog.SelectedColor(), QColor(0x11, 0x22, 0x33));

  // The colour button asks from the current colour; a cancel keeps it.
  QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
  ASSERT_EQ(colors.offered.size(), 1u);
  EXPECT_EQ(colors.offered[0], QColor(0x11, 0x22, 0x33));
  EXPECT_EQ(dialog.SelectedColor(), QColor(0x11, 0x22, 0x33));
  colors.answer = QColor(0xAA, 0, 0xBB);
  QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.SelectedColor(), QColor(0xAA, 0, 0xBB));
  EXPECT_EQ(dialog.ColorButton()->accessibleName(), "Color");
}

// Opened and confirmed, the chooser gives the font it was shown.
TEST(FontChooser, ShowsTheStyleItWasGiven) {
  testing::ScriptedColorChooser colors;
  for (const auto& [weight, italic] : {std::pair{QFont::Normal, false},
                                       {QFont::Bold, false},
                                       {QFont::Normal, true},
                                       {QFont::Bold, true}}) {
    QFont font = Mono(20);
    font.setWeight(weight);
    font.setItalic(italic);
    FontWithColorDialog dialog(font, Qt::black, colors);
    EXPECT_EQ(dialog.SelectedFont().weight(), weight) << weight << italic;
    EXPECT_EQ(dialog.SelectedFont().italic(), italic) << weight << italic;
    EXPECT_EQ(QFontInfo(dialog.SelectedFont()).pixelSize(), 20) << weight << italic;
  }
}

TEST(FontChooser, OkReturnsFontAndColourCancelNothing) {
  QtFontChooser chooser;
  AnswerNextModal([](QDialog& dialog) {
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
      if (box->text().remove('&') == "Underline") box->click();
    }
    dialog.accept();
  });
  const std::optional<FontChoice> chosen = chooser.ChooseFont(nullptr, Mono(17), Qt::blue);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->font.family(), "DejaVu Sans Mono");
  EXPECT_TRUE(chosen->font.underline());
  EXPECT_FALSE(chosen->font.strikeOut());
  EXPECT_EQ(QFontInfo(chosen->font).pixelSize(), 17);  // the size shown is the size returned
  EXPECT_EQ(chosen->color, QColor(Qt::blue));

  AnswerNextModal([](QDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(chooser.ChooseFont(nullptr, Mono(17), Qt::blue).has_value());

  // Enter in the size field is OK, Esc in it Cancel.
  for (const auto& [key, accepted] : {std::pair{Qt::Key_Return, true}, {Qt::Key_Escape, false}}) {
    AnswerNextModal([key](QDialog& dialog) {
      QLineEdit* size = nullptr;  // the one edit that takes numbers only
      for (QLineEdit* edit :
           static_cast<FontWithColorDialog&>(dialog).FontPart()->findChildren<QLineEdit*>()) {
        if (edit->validator() != nullptr) size = edit;
      }
      ASSERT_NE(size, nullptr);
      QTest::keyClick(size, key);
      if (dialog.isVisible()) dialog.reject();
    });
    EXPECT_EQ(chooser.ChooseFont(nullptr, Mono(17), Qt::blue).has_value(), accepted) << key;
  }
  // Enter on the colour button is OK too.
  AnswerNextModal([](QDialog& dialog) {
    QTest::keyClick(static_cast<FontWithColorDialog&>(dialog).ColorButton(), Qt::Key_Return);
    if (dialog.isVisible()) dialog.reject();
  });
  EXPECT_TRUE(chooser.ChooseFont(nullptr, Mono(17), Qt::blue).has_value());
}

TEST(ColorChooser, StartsWhereAskedAndReturnsTheChoice) {
  QtColorChooser chooser;
  QColor shown;
  AnswerNextModal([&](QDialog& dialog) {
    auto& colors = static_cast<QColorDialog&>(dialog);
    shown = colors.currentColor();
    colors.setCurrentColor(QColor(0x20, 0x40, 0x60));
    dialog.accept();
  });
  EXPECT_EQ(chooser.ChooseColor(nullptr, Qt::black), QColor(0x20, 0x40, 0x60));
  EXPECT_EQ(shown, QColor(Qt::black));
  AnswerNextModal([](QDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(chooser.ChooseColor(nullptr, Qt::black).has_value());
}

TEST(MultiLineCheckBox, LongCaptionsWrapAndAnyPointToggles) {
  MultiLineCheckBox box;
  box.SetCaption("Save to file: /short");
  const int oneLine = box.heightForWidth(300);
  box.SetCaption("Save to file: /" + QString(200, 'x') + "&y");
  EXPECT_GT(box.heightForWidth(300), 2 * box.fontMetrics().lineSpacing());
  EXPECT_GT(box.heightForWidth(300), oneLine);
  EXPECT_EQ(box.Caption(), "Save to file: /" + QString(200, 'x') + "&y");
  EXPECT_TRUE(box.shortcut().isEmpty());  // the path's '&' makes no mnemonic
  box.resize(300, box.heightForWidth(300));
  box.show();
  QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(290, box.height() - 3));
  EXPECT_TRUE(box.isChecked());
}

}  // namespace
}  // namespace tarnwick
