// Draws a line of decoded text: characters in the cells of the screen's grid
// (wide ones in two, combining marks with the character before them) in the
// colours and attributes of the line's style runs. Runs of plain ASCII in one
// style are drawn as one text; any other character is drawn on its own at its
// cell, so fallback glyphs and right-to-left letters never push the rest of
// the line out of the grid.
#pragma once

#include <QColor>
#include <QFont>
#include <cstddef>
#include <string_view>

class QPainter;

namespace tarnwick {

struct RowLook {
  QFont font;
  QColor text;        // the line's own colour (sent lines have theirs)
  QColor background;  // the view's
  int advance = 1;    // a cell's width
  int lineHeight = 1;
  int ascent = 0;
};

// Whether the view's background is light: the palette of the 16 colours
// and the invalid-byte style follow it.
bool IsLightBackground(const QColor& background);

// Draws the cells [firstCell, endCell) of text (UTF-8) with its runs, cell 0
// at x and the row's top at top; the row's background is already filled.
// Returns how far right the ink may reach.
int DrawStyledRow(QPainter& painter, const RowLook& look, int x, int top, std::string_view text,
                  std::string_view runs, std::size_t firstCell, std::size_t endCell);

}  // namespace tarnwick
