// The font chooser of the Screen Settings: fixed-pitch fonts with style,
// size, underline and strike-out, and the text colour with them. Behind a
// seam so that tests can answer it without a window.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <optional>

#include "dialogs/qt/color_chooser.h"

class QFontDialog;
class QPushButton;

namespace tarnwick {

struct FontChoice {
  QFont font;
  QColor color;
};

class FontChooser {
 public:
  virtual ~FontChooser() = default;
  // A chooser showing font and color. Nothing when cancelled.
  virtual std::optional<FontChoice> ChooseFont(QWidget* parent, const QFont& font,
                                               const QColor& color) = 0;
};

// Qt's font dialog cannot choose a colour: this one holds it, without its
// own buttons, beside a colour button and OK and Cancel.
class FontWithColorDialog : public QDialog {
  Q_OBJECT
 public:
  // colors answers the colour button.
  FontWithColorDialog(const QFont& font, const QColor& color, ColorChooser& colors,
                      QWidget* parent = nullptr);

  QFont SelectedFont() const;
  QColor SelectedColor() const { return m_color; }
  void SetColor(const QColor& color);

  QFontDialog* FontPart() const { return m_pFontPart; }
  QPushButton* ColorButton() const { return m_wndColor; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnColor();

  ColorChooser& m_colors;
  QColor m_color;
  QFontDialog* m_pFontPart;
  QPushButton* m_wndColor;
};

// The dialog above, its colour button answered by Qt's colour dialog.
class QtFontChooser : public FontChooser {
 public:
  std::optional<FontChoice> ChooseFont(QWidget* parent, const QFont& font,
                                       const QColor& color) override;

 private:
  QtColorChooser m_colors;
};

}  // namespace tarnwick
