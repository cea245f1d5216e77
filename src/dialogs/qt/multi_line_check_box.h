// A check box whose caption wraps onto as many lines as it needs, at the top
// beside the box: the "Save to file: " box shows a whole path this way.
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

  QString m_strCaption;
};

}  // namespace tarnwick
