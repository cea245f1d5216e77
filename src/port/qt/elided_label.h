// A status-bar pane for a text that may be long (a port's failure, a device
// path): it asks for room for the whole text, up to a cap, makes do with a
// few characters, and shows as much as it gets, ending in "...". The whole
// text is its tooltip. What it asks for never depends on what it shows, so a
// text that changes never widens the window.
#pragma once

#include <QLabel>
#include <QString>

namespace tarnwick {

class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  // maxWidth: the most it asks for, in pixels (0: the whole text); mode:
  // where the text is cut.
  explicit ElidedLabel(QWidget* parent = nullptr, int maxWidth = 0,
                       Qt::TextElideMode mode = Qt::ElideRight);

  void SetFullText(const QString& text);
  QString FullText() const { return m_strFull; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int Chrome() const;
  void Elide();

  QString m_strFull;
  int m_nMaxWidth;
  Qt::TextElideMode m_mode;
};

}  // namespace tarnwick
