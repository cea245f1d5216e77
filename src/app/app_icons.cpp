#include "app/app_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tarnwick {
namespace {

// Pictures are drawn on a 32 x 32 grid and scaled to the requested rectangle.
using Drawing = void (*)(QPainter&);

class PaintedIconEngine : public QIconEngine {
 public:
  explicit PaintedIconEngine(Drawing drawing) : m_drawing(drawing) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(rect.topLeft());
    painter->scale(rect.width() / 32.0, rect.height() / 32.0);
    if (mode == QIcon::Disabled) painter->setOpacity(0.35);
    m_drawing(*painter);
    painter->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return pixmap;
  }

  QIconEngine* clone() const override { return new PaintedIconEngine(m_drawing); }

  QString key() const override { return QStringLiteral("tarnwick-painted"); }

 private:
  Drawing m_drawing;
};

// A small monitor screen with a square wave: a serial line being watched.
void DrawProgram(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2b, 0x3a, 0x4a));
  p.drawRoundedRect(QRectF(1.5, 3, 29, 21), 3, 3);
  p.setBrush(QColor(0x10, 0x1c, 0x24));
  p.drawRoundedRect(QRectF(4, 5.5, 24, 16), 1.5, 1.5);
  // Stand
  p.setBrush(QColor(0x2b, 0x3a, 0x4a));
  p.drawRect(QRectF(13, 24, 6, 3));
  p.drawRoundedRect(QRectF(8, 26.5, 16, 3), 1.2, 1.2);
  // Signal
  QPainterPath wave;
  wave.moveTo(5.5, 17);
  wave.lineTo(9, 17);
  wave.lineTo(9, 9.5);
  wave.lineTo(13, 9.5);
  wave.lineTo(13, 17);
  wave.lineTo(15.5, 17);
  wave.lineTo(15.5, 9.5);
  wave.lineTo(21, 9.5);
  wave.lineTo(21, 17);
  wave.lineTo(26.5, 17);
  QPen pen(QColor(0x4c, 0xe0, 0x7a), 2.0);
  pen.setJoinStyle(Qt::MiterJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPath(wave);
}

// A nine-pin serial connector seen from the front.
void DrawPortSettings(QPainter& p) {
  QPainterPath shell;
  shell.moveTo(2, 9);
  shell.lineTo(30, 9);
  shell.lineTo(26, 23);
  shell.lineTo(6, 23);
  shell.closeSubpath();
  p.setPen(QPen(QColor(0x4a, 0x55, 0x60), 1.4));
  p.setBrush(QColor(0xc9, 0xd1, 0xd9));
  p.drawPath(shell);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2b, 0x3a, 0x4a));
  for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(7.5 + 4.25 * i, 13.5), 1.5, 1.5);
  for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(9.6 + 4.25 * i, 18.5), 1.5, 1.5);
}

// Display lines with a slider: how the received data is shown.
void DrawScreenSettings(QPainter& p) {
  p.setPen(QPen(QColor(0x55, 0x60, 0x6c), 1.5));
  p.setBrush(QColor(0xfa, 0xfb, 0xfc));
  p.drawRoundedRect(QRectF(2, 3, 28, 20), 2, 2);
  p.setPen(QPen(QColor(0x2f, 0x7b, 0xd6), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(6, 8.5), QPointF(10, 8.5));
  p.drawLine(QPointF(13, 8.5), QPointF(17, 8.5));
  p.drawLine(QPointF(20, 8.5), QPointF(24, 8.5));
  p.drawLine(QPointF(6, 13), QPointF(10, 13));
  p.drawLine(QPointF(13, 13), QPointF(17, 13));
  p.drawLine(QPointF(6, 17.5), QPointF(10, 17.5));
  p.setPen(QPen(QColor(0x55, 0x60, 0x6c), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(4, 27.5), QPointF(28, 27.5));
  p.setPen(QPen(QColor(0x1c, 0x4f, 0x8c), 1.2));
  p.setBrush(QColor(0xf0, 0xa0, 0x30));
  p.drawRoundedRect(QRectF(17, 24, 5, 7), 1.2, 1.2);
}

// An arrow leaving towards a line: data going out.
void DrawSend(QPainter& p) {
  p.setPen(QPen(QColor(0x55, 0x60, 0x6c), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(28, 5), QPointF(28, 27));
  QPainterPath arrow;
  arrow.moveTo(3, 12);
  arrow.lineTo(14, 12);
  arrow.lineTo(14, 6);
  arrow.lineTo(25, 16);
  arrow.lineTo(14, 26);
  arrow.lineTo(14, 20);
  arrow.lineTo(3, 20);
  arrow.closeSubpath();
  p.setPen(QPen(QColor(0x1f, 0x6e, 0x3a), 1.2));
  p.setBrush(QColor(0x3c, 0xb3, 0x62));
  p.drawPath(arrow);
}

// A screen of text lines with an eraser wiping it.
void DrawClear(QPainter& p) {
  p.setPen(QPen(QColor(0x55, 0x60, 0x6c), 1.5));
  p.setBrush(QColor(0xfa, 0xfb, 0xfc));
  p.drawRoundedRect(QRectF(2, 3, 24, 22), 2, 2);
  p.setPen(QPen(QColor(0x8a, 0x96, 0xa3), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(6, 8.5), QPointF(21, 8.5));
  p.drawLine(QPointF(6, 13), QPointF(17, 13));
  p.drawLine(QPointF(6, 17.5), QPointF(11, 17.5));
  // Eraser, tilted, over the lower right corner.
  p.save();
  p.translate(21.5, 22.5);
  p.rotate(-40);
  p.setPen(QPen(QColor(0x7a, 0x2a, 0x2a), 1.2));
  p.setBrush(QColor(0xe8, 0x5d, 0x5d));
  p.drawRoundedRect(QRectF(-4, -9, 8, 11), 1.2, 1.2);
  p.setBrush(QColor(0xf2, 0xf2, 0xf2));
  p.drawRoundedRect(QRectF(-4, 2, 8, 6), 1.2, 1.2);
  p.restore();
}

// Two curves over a pair of axes.
void DrawPlot(QPainter& p) {
  p.setPen(QPen(QColor(0x55, 0x60, 0x6c), 1.5));
  p.setBrush(QColor(0xfa, 0xfb, 0xfc));
  p.drawRoundedRect(QRectF(2, 3, 28, 26), 2, 2);
  p.setPen(QPen(QColor(0x55, 0x60, 0x6c), 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(6, 7), QPointF(6, 25));
  p.drawLine(QPointF(6, 25), QPointF(27, 25));
  p.setBrush(Qt::NoBrush);
  QPainterPath blue(QPointF(7, 19));
  blue.cubicTo(QPointF(11, 6), QPointF(15, 6), QPointF(18, 14));
  blue.cubicTo(QPointF(21, 22), QPointF(24, 20), QPointF(27, 10));
  p.setPen(QPen(QColor(0x2f, 0x7b, 0xd6), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(blue);
  QPainterPath red(QPointF(7, 22));
  red.cubicTo(QPointF(12, 20), QPointF(16, 16), QPointF(20, 18));
  red.cubicTo(QPointF(23, 19), QPointF(25, 16), QPointF(27, 15));
  p.setPen(QPen(QColor(0xe8, 0x5d, 0x5d), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(red);
}

// The usual information sign.
void DrawAbout(QPainter& p) {
  p.setPen(QPen(QColor(0x1c, 0x4f, 0x8c), 1.2));
  p.setBrush(QColor(0x2f, 0x7b, 0xd6));
  p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(14, 7, 4, 4));
  p.drawRoundedRect(QRectF(14, 13, 4, 12.5), 1, 1);
  p.drawRoundedRect(QRectF(11.5, 13, 5, 2.5), 0.8, 0.8);
  p.drawRoundedRect(QRectF(11.5, 23.5, 9, 2.5), 0.8, 0.8);
}

// A plug and its socket: joined (Connect), or pulled apart (Disconnect).
void DrawPlugPair(QPainter& p, double gap) {
  const double shift = gap / 2;
  p.setPen(QPen(QColor(0x55, 0x60, 0x6c), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(1.5, 16), QPointF(5 - shift, 16));
  p.drawLine(QPointF(27 + shift, 16), QPointF(30.5, 16));
  p.setPen(QPen(QColor(0x1f, 0x6e, 0x3a), 1.2));
  p.setBrush(QColor(0x3c, 0xb3, 0x62));
  // The plug with its two pins, on the left; the socket on the right.
  p.drawRoundedRect(QRectF(5 - shift, 8, 10, 16), 2, 2);
  p.drawRect(QRectF(15 - shift, 11, 3, 2.5));
  p.drawRect(QRectF(15 - shift, 18.5, 3, 2.5));
  p.drawRoundedRect(QRectF(18 + shift, 7, 9, 18), 2, 2);
}

void DrawConnect(QPainter& p) { DrawPlugPair(p, 0); }

void DrawDisconnect(QPainter& p) {
  DrawPlugPair(p, 6);
  p.setPen(QPen(QColor(0xe8, 0x5d, 0x5d), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12.5, 28), QPointF(19.5, 4));
}

}  // namespace

QIcon ProgramIcon() { return QIcon(new PaintedIconEngine(&DrawProgram)); }
QIcon PortSettingsIcon() { return QIcon(new PaintedIconEngine(&DrawPortSettings)); }
QIcon ScreenSettingsIcon() { return QIcon(new PaintedIconEngine(&DrawScreenSettings)); }
QIcon SendIcon() { return QIcon(new PaintedIconEngine(&DrawSend)); }
QIcon ClearIcon() { return QIcon(new PaintedIconEngine(&DrawClear)); }
QIcon AboutIcon() { return QIcon(new PaintedIconEngine(&DrawAbout)); }
QIcon PlotIcon() { return QIcon(new PaintedIconEngine(&DrawPlot)); }
QIcon ConnectIcon() { return QIcon(new PaintedIconEngine(&DrawConnect)); }
QIcon DisconnectIcon() { return QIcon(new PaintedIconEngine(&DrawDisconnect)); }

}  // namespace tarnwick
