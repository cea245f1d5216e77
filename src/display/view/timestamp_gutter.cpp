#include "display/view/timestamp_gutter.h"

#include <QPainter>

namespace tarnwick {

int TimestampGutter::Begin(bool shown, const std::function<QSize(const QString&)>& measure,
                           const QColor& text, const QColor& background) {
  // A fixed width: every stamp of a style has as many characters, and digits
  // share one advance in the fonts the display uses.
  m_nWidth = shown ? measure(QString::fromLatin1(m_format.Sample() + ' ')).width() : 0;
  m_color = Dimmed(text, background);
  m_background = background;
  m_bCells = false;
  return m_nWidth;
}

void TimestampGutter::PrepareCells(const QFont& font, int lineHeight, int ascent,
                                   const QPainter& painter) {
  m_bCells =
      m_nWidth > 0 && m_cells.Prepare(font, m_color, m_background, lineHeight, ascent, painter);
}

void TimestampGutter::Draw(QPainter& painter, int x, int top, int ascent, LineTime time) {
  if (m_nWidth == 0) return;
  char stamp[kMaxTimestampLength];
  const std::string_view text(stamp, m_format.Format(time, stamp));
  const QPen pen = painter.pen();
  painter.setPen(m_color);
  if (m_bCells && m_cells.CanDraw(text)) {
    m_cells.Draw(painter, x, top, text, 0, text.size());
  } else {
    painter.drawText(QPoint(x, top + ascent),
                     QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  }
  painter.setPen(pen);
}

QColor TimestampGutter::Dimmed(const QColor& text, const QColor& background) {
  return QColor((text.red() + background.red()) / 2, (text.green() + background.green()) / 2,
                (text.blue() + background.blue()) / 2);
}

}  // namespace tarnwick
