// A check box whose caption wraps onto lines at the top beside the box: the
// "Save to file: " box shows a path this way. A caption longer than four lines
// keeps its end (the file name) in view; the whole of it is the tooltip.
#pragma once

#include <QCheckBox>

namespace tarnwick {

class MultiLineCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  explicit MultiLineCheckBox(QWidget* parent = nullptr);

  // The caption exactly as given: an '&' in a path is shown, not taken as a
  // keyboard mnemonic.
  void SetCaption(const QString& caption);
  QString Caption() const { return m_strCaption; }
  // The caption as drawn at the box's present width, lines joined by '\n'.
  QString ShownText() const { return Lines(width()).join(u'\n'); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

 private:
  QRect IndicatorRect() const;
  QRect TextRect(int width) const;
  QStringList Lines(int width) const;

  QString m_strCaption;
};

}  // namespace tarnwick
