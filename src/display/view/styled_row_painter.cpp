#include "display/view/styled_row_painter.h"

#include <QPainter>
#include <QString>
#include <algorithm>

#include "display/cell_width.h"
#include "display/text_style.h"

namespace tarnwick {
namespace {

QColor FromRgb(std::uint32_t rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::uint32_t ToRgb(const QColor& colour) {
  return (static_cast<std::uint32_t>(colour.red()) << 16) |
         (static_cast<std::uint32_t>(colour.green()) << 8) |
         static_cast<std::uint32_t>(colour.blue());
}

QColor Blend(const QColor& a, const QColor& b) {
  return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

// What one style looks like on this view.
struct Ink {
  QColor text;
  QColor fill;  // invalid when the view's background shows
  std::uint32_t flags = 0;
};

Ink InkOf(const TextStyle& style, const RowLook& look, bool light) {
  Ink ink;
  ink.flags = style.nFlags;
  ink.text = FromRgb(ColourRgb(style.nForeground, ToRgb(look.text), light));
  if (style.nBackground != colour::kDefault) {
    ink.fill = FromRgb(ColourRgb(style.nBackground, ToRgb(look.background), light));
  }
  if (style.nFlags & kStyleInverse) {
    const QColor fill = ink.fill.isValid() ? ink.fill : look.background;
    ink.fill = ink.text;
    ink.text = fill;
  }
  if (style.nFlags & kStyleInvalid) {
    // Its own colour, whatever the escape codes said: a byte that did not
    // decode must not pass for text.
    ink.text = light ? QColor(0xB0, 0x00, 0x60) : QColor(0xFF, 0x6E, 0xB4);
    ink.fill = light ? QColor(0xFF, 0xE2, 0xEE) : QColor(0x4A, 0x12, 0x30);
  }
  if (style.nFlags & (kStyleDim | kStyleControl)) {
    ink.text = Blend(ink.text, ink.fill.isValid() ? ink.fill : look.background);
  }
  return ink;
}

}  // namespace

bool IsLightBackground(const QColor& background) { return background.lightnessF() >= 0.5; }

int DrawStyledRow(QPainter& painter, const RowLook& look, int x, int top, std::string_view text,
                  std::string_view runs, std::size_t firstCell, std::size_t endCell) {
  const bool light = IsLightBackground(look.background);
  const std::size_t runCount = StyleRunCount(runs);
  std::size_t nextRun = 0;
  Ink ink = InkOf(TextStyle{}, look, light);
  QFont font = look.font;
  const QFont oldFont = painter.font();
  const QPen oldPen = painter.pen();
  int right = x;

  // A piece: characters of one style drawn from one cell on.
  QString piece;
  std::size_t pieceCell = 0;
  std::size_t pieceCells = 0;
  const auto flush = [&] {
    if (piece.isEmpty()) return;
    const int left = x + static_cast<int>(pieceCell) * look.advance;
    const int width = static_cast<int>(std::max<std::size_t>(pieceCells, 1)) * look.advance;
    if (ink.fill.isValid()) painter.fillRect(QRect(left, top, width, look.lineHeight), ink.fill);
    font.setBold((ink.flags & kStyleBold) != 0);
    font.setItalic((ink.flags & kStyleItalic) != 0);
    font.setUnderline((ink.flags & kStyleUnderline) != 0);
    if (painter.font() != font) painter.setFont(font);
    if (painter.pen().color() != ink.text) painter.setPen(ink.text);
    painter.drawText(QPoint(left, top + look.ascent), piece);
    // A glyph from another font may be wider than its cells.
    right = std::max(right, left + width + look.advance);
    piece.clear();
    pieceCells = 0;
  };

  std::size_t cell = 0;
  bool joinable = false;  // the piece may take more plain ASCII
  for (std::size_t at = 0, length = 0; at < text.size() && cell < endCell; at += length) {
    if (nextRun < runCount && StyleRunAt(runs, nextRun).nStart <= at) {
      flush();
      while (nextRun < runCount && StyleRunAt(runs, nextRun).nStart <= at) {
        ink = InkOf(StyleRunAt(runs, nextRun).style, look, light);
        ++nextRun;
      }
      joinable = false;
    }
    const char32_t c = DecodeUtf8At(text, at, &length);
    const int width = CellWidth(c);
    if (width == 0) {
      // A mark joins the character drawn before it, if that is in sight.
      if (!piece.isEmpty()) piece.append(QString::fromUcs4(&c, 1));
      continue;
    }
    const bool plain = c >= 0x20 && c < 0x7F;
    if (cell + static_cast<std::size_t>(width) <= firstCell) {
      flush();
      cell += static_cast<std::size_t>(width);
      joinable = false;
      continue;
    }
    if (!(plain && joinable)) {
      flush();
      pieceCell = cell;
    }
    piece.append(QString::fromUcs4(&c, 1));
    pieceCells += static_cast<std::size_t>(width);
    cell += static_cast<std::size_t>(width);
    joinable = plain;
  }
  flush();
  painter.setFont(oldFont);
  painter.setPen(oldPen);
  return right;
}

}  // namespace tarnwick
