// The column left of the lines that shows each line's arrival time, in a
// dimmer shade of the text colour, when the option asks for it.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <functional>

#include "display/line_timestamp.h"

class QPainter;

namespace tarnwick {

class TimestampGutter {
 public:
  // Once per paint, before the lines: the gutter's width (one stamp and one
  // blank, as measure gives them), 0 when it is not shown.
  int Begin(bool shown, const std::function<QSize(const QString&)>& measure, const QColor& text,
            const QColor& background);
  int Width() const { return m_nWidth; }
  // The time of one line, its text's baseline at y, the gutter starting at x.
  // Leaves the painter's pen as it found it.
  void Draw(QPainter& painter, int x, int y, LineTime time);

  // Halfway between the text and the background.
  static QColor Dimmed(const QColor& text, const QColor& background);

 private:
  int m_nWidth = 0;
  QColor m_color;
  TimestampFormatter m_format;
};

}  // namespace tarnwick
