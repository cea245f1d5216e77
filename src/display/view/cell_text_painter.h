// Draws display lines by copying each byte's character from a strip of cells
// drawn once, instead of laying out and blending the text again at every
// paint: a screen that scrolls at line rate repaints every row every frame.
// A character gets a cell when it advances by the font's whole-pixel cell
// width and its ink stays inside the cell, so copying the cells gives the
// pixels drawing the line would give. A character of that width whose ink
// reaches into its neighbours' cells (K, W, _ in many fonts) is drawn over
// the copied cells, in one text of its own where the others are spaces: the
// ink blends as drawing the whole line blends it. A line with any other byte
// (a control character, a tab, a glyph of another width) is left to the
// caller, and so is every line when the font has no such cell width, when any
// character's ink reaches above or below its row, or when the device scales.
#pragma once

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <array>
#include <string_view>
#include <unordered_map>

class QPainter;

namespace tarnwick {

class CellTextPainter {
 public:
  // Draws the cells for font and colours, lineHeight pixels tall with the
  // baseline ascent pixels below their top, as the target device wants them.
  // Costs a comparison when nothing changed since the last call. False when
  // no byte can be drawn from cells; when true, no character drawn in a row
  // reaches outside it, cell or not.
  bool Prepare(const QFont& font, QColor text, QColor background, int lineHeight, int ascent,
               const QPainter& painter);

  // The cell width in pixels; 0 when the last Prepare failed.
  int Advance() const { return m_nAdvance; }

  // True when every byte of bytes can be drawn from cells.
  bool CanDraw(std::string_view bytes) const;

  // Draws the characters first..last-1 of line (which CanDraw) where they
  // stand when line's first cell has its top-left corner at (x, top). The
  // painter has the font and pen given to Prepare.
  void Draw(QPainter& painter, int x, int top, std::string_view line, std::size_t first,
            std::size_t last);

 private:
  struct Key {
    QFont font;
    QRgb text = 0;
    QRgb background = 0;
    int lineHeight = 0;
    int ascent = 0;
    QImage::Format format = QImage::Format_Invalid;
    bool operator==(const Key& other) const;
  };

  enum class Kind : unsigned char { kText, kCell, kOverlay };
  // The cell of the background alone, after the 256 characters' cells.
  static constexpr int kBlankCell = 256;

  void Build(const Key& key);
  // The pixels of area (painter coordinates) in the painter's device, and
  // the bytes from one row to the next, when the copy may go straight there:
  // an image of the cells' format, all of area inside it and inside what the
  // paint may change, no clip or opacity of the painter's own. nullptr
  // otherwise.
  uchar* DevicePixels(QPainter& painter, const QRect& area, qsizetype* stride) const;

  Key m_key;
  bool m_bPrepared = false;
  int m_nAdvance = 0;
  // Byte b's cell is at x = b * m_nAdvance.
  QImage m_cells;
  std::array<Kind, 256> m_kind{};
  // Where in a row of m_cells each byte's pixels start: its own cell, or
  // the blank one.
  std::array<int, 256> m_cellStart{};
  // The line being composed, kept for the next one.
  QImage m_line;
  // Overlay texts as laid out, with the ascent their origin is above the
  // baseline; cleared when full or when the cells are drawn again.
  struct Overlay {
    QList<QGlyphRun> runs;
    qreal ascent = 0;
  };
  static constexpr std::size_t kMaxOverlays = 256;
  std::unordered_map<QString, Overlay> m_overlays;
};

}  // namespace tarnwick
