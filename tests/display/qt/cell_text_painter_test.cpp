// Lines copied from character cells look as the same lines drawn as text,
// and cells are refused wherever copying could not look the same.
#include "display/view/cell_text_painter.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPicture>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "display/view/ansi_text.h"
#include "display/view/logfont_mapping.h"

namespace tarnwick {
namespace {

QFont Mono(std::int32_t lfHeight) {
  LOGFONT lf{};
  lf.lfHeight = lfHeight;
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "DejaVu Sans Mono");
  return FontFromLogFont(lf);
}

struct Look {
  QColor text;
  QColor background;
};

// The line drawn as the view draws it without cells: background, then text.
QImage AsText(const QFont& font, const Look& look, int h, const std::string& line) {
  QImage image(400, 3 * h, QImage::Format_RGB32);
  image.fill(look.background);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(look.text);
  painter.drawText(QPoint(10, h + painter.fontMetrics().ascent()), AnsiToQString(line));
  return image;
}

// The same line from cells; false when the cells refuse it.
bool FromCells(CellTextPainter& cells, const QFont& font, const Look& look, int h,
               const std::string& line, QImage* image) {
  *image = QImage(400, 3 * h, QImage::Format_RGB32);
  image->fill(look.background);
  QPainter painter(image);
  painter.setFont(font);
  painter.setPen(look.text);
  const int ascent = painter.fontMetrics().ascent();
  if (!cells.Prepare(font, look.text, look.background, h, ascent, painter)) return false;
  if (!cells.CanDraw(line)) return false;
  cells.Draw(painter, 10, h, line, 0, line.size());
  return true;
}

// The largest difference of any colour channel between two images.
int LargestDifference(const QImage& a, const QImage& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  }
  return largest;
}

TEST(CellTextPainter, CopiedLinesLookAsDrawnText) {
  const QFont font = Mono(20);
  const int h = 20;
  const struct {
    std::string line;
    int tolerance;  // characters drawn over the cells blend in another order
  } cases[] = {
      {" 0A 1F FF 00 7E 3C", 0},
      {" 00000001 11111111 -12.500000", 0},
      {"Bytes Read 123456 / Write 78", 2},
      {"KWXR_w#& ", 2},
      {"\xE4\xF6\xFC\xDF\xE9 \xA3\xB5\xBF", 2},
  };
  for (const Look& look :
       {Look{Qt::black, Qt::white}, Look{QColor(0xF0, 0xD0, 0x60), QColor(0x1C, 0x28, 0x33)}}) {
    CellTextPainter cells;
    for (const auto& c : cases) {
      QImage copied;
      ASSERT_TRUE(FromCells(cells, font, look, h, c.line, &copied)) << c.line;
      EXPECT_LE(LargestDifference(copied, AsText(font, look, h, c.line)), c.tolerance) << c.line;
    }
  }
}

// Cells go straight into an image's pixels only where the paint may change
// them: a clip of the painter's own, or the device's (a widget's paint
// region), keeps everything outside it as it was.
TEST(CellTextPainter, CopiesOnlyInsideTheClip) {
  const QFont font = Mono(20);
  const Look look{Qt::black, Qt::white};
  const int h = 20;
  const std::string line = " 0A 1F FF 00 7E 3C 0A 1F FF 00";
  const QImage text = AsText(font, look, h, line);
  const QRect clip(40, h + 5, 60, 10);
  for (const bool system : {false, true}) {
    QImage image(text.size(), QImage::Format_RGB32);
    image.fill(Qt::red);
    if (system) image.paintEngine()->setSystemClip(QRegion(clip));
    {
      QPainter painter(&image);
      if (!system) painter.setClipRect(clip);
      painter.setFont(font);
      painter.setPen(look.text);
      CellTextPainter cells;
      ASSERT_TRUE(cells.Prepare(font, look.text, look.background, h, painter.fontMetrics().ascent(),
                                painter));
      cells.Draw(painter, 10, h, line, 0, line.size());
    }
    if (system) image.paintEngine()->setSystemClip(QRegion());
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb expected = clip.contains(x, y) ? text.pixel(x, y) : QColor(Qt::red).rgb();
        ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y << (system ? " system" : "");
      }
    }
  }
}

// Bytes whose look depends on what stands around them stay text; so do
// lines on devices the copy cannot reach pixel for pixel, and fonts whose
// ink reaches into the next row or whose advance is no whole pixel.
TEST(CellTextPainter, RefusesWhatCopyingCannotShowAlike) {
  const QFont font = Mono(20);
  const Look look{Qt::black, Qt::white};
  CellTextPainter cells;
  QImage image;
  for (const std::string& line : {std::string("A\tB"), std::string("x\ry"), std::string(1, '\0'),
                                  std::string("soft\xADhyphen")}) {
    EXPECT_FALSE(FromCells(cells, font, look, 20, line, &image)) << line;
  }
  EXPECT_TRUE(FromCells(cells, font, look, 20, "plain", &image));

  QImage scaled(200, 60, QImage::Format_RGB32);
  scaled.setDevicePixelRatio(2);
  QPainter onScaled(&scaled);
  EXPECT_FALSE(cells.Prepare(font, look.text, look.background, 20, 16, onScaled));
  onScaled.end();

  QPicture picture;
  QPainter onPicture(&picture);
  EXPECT_FALSE(cells.Prepare(font, look.text, look.background, 20, 16, onPicture));
  onPicture.end();

  // Rows lower than the font: descenders would reach the next row.
  const QFont tall = Mono(-20);
  EXPECT_FALSE(FromCells(cells, tall, look, 20, "plain", &image));

  QFont unhinted = tall;
  unhinted.setHintingPreference(QFont::PreferNoHinting);
  unhinted.setPixelSize(15);
  if (QFontMetricsF(unhinted).horizontalAdvance(QStringLiteral("0")) != 9.0) {
    EXPECT_FALSE(FromCells(cells, unhinted, look, 40, "plain", &image));
  }
}

}  // namespace
}  // namespace tarnwick
