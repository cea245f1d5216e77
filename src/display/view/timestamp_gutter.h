// The column left of the lines that shows each line's arrival time, in a
// dimmer shade of the text colour, when the option asks for it.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <functional>

#include "display/line_timestamp.h"
#include "display/view/cell_text_painter.h"

class QPainter;

namespace tarnwick {

class TimestampGutter {
 public:
  // Once per paint, before the lines: the gutter's width (one stamp and one
  // blank, as measure gives them), 0 when it is not shown.
  int Begin(bool shown, const std::function<QSize(const QString&)>& measure, const QColor& text,
            const QColor& background);
  int Width() const { return m_nWidth; }
  // The stamps' style, from the options; before Begin.
  void SetStyle(TimestampStyle style) { m_format.SetStyle(style); }
  // After Begin, when the lines are drawn from cells of this font, line
  // height and ascent: the stamps are then copied from cells of their own,
  // which leave nothing outside the row. Costs a comparison when nothing
  // changed.
  void PrepareCells(const QFont& font, int lineHeight, int ascent, const QPainter& painter);
  // The time of one line in the row whose top is at top, its text's baseline
  // ascent below, the gutter starting at x. Leaves the painter's pen as it
  // found it.
  void Draw(QPainter& painter, int x, int top, int ascent, LineTime time);

  // Halfway between the text and the background.
  static QColor Dimmed(const QColor& text, const QColor& background);

 private:
  int m_nWidth = 0;
  QColor m_color;
  QColor m_background;
  TimestampFormatter m_format;
  CellTextPainter m_cells;
  bool m_bCells = false;
};

}  // namespace tarnwick
