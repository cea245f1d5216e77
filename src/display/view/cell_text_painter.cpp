#include "display/view/cell_text_painter.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "display/ansi_code_page.h"

namespace tarnwick {
namespace {

constexpr int kBytesPerPixel = 4;

// The pixel format the painter draws into when a straight copy of 32-bit
// pixels reaches it unchanged; Format_Invalid otherwise.
QImage::Format CopyableFormat(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  if (engine == nullptr || engine->type() != QPaintEngine::Raster) return QImage::Format_Invalid;
  const QPaintDevice* device = engine->paintDevice();
  if (device == nullptr || device->devType() != QInternal::Image) return QImage::Format_Invalid;
  if (device->devicePixelRatio() != 1.0) return QImage::Format_Invalid;
  const QTransform& transform = painter.worldTransform();
  if (transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx()) ||
      transform.dy() != std::floor(transform.dy()))
    return QImage::Format_Invalid;
  const QImage::Format format = static_cast<const QImage*>(device)->format();
  return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied
             ? format
             : QImage::Format_Invalid;
}

// Characters whose look depends on their neighbours or that a line draws
// differently from a lone one: controls (tab among them), format
// characters (the soft hyphen), marks and line separators.
bool MayStandAlone(QChar c) {
  switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
      return false;
    default:
      return true;
  }
}

}  // namespace

bool CellTextPainter::Key::operator==(const Key& other) const {
  return font == other.font && text == other.text && background == other.background &&
         lineHeight == other.lineHeight && ascent == other.ascent && format == other.format;
}

bool CellTextPainter::Prepare(const QFont& font, QColor text, QColor background, int lineHeight,
                              int ascent, const QPainter& painter) {
  Key key{font, text.rgba(), background.rgba(), lineHeight, ascent, CopyableFormat(painter)};
  if (!m_bPrepared || !(key == m_key)) {
    m_key = key;
    m_bPrepared = true;
    Build(key);
  }
  return m_nAdvance > 0;
}

void CellTextPainter::Build(const Key& key) {
  m_nAdvance = 0;
  m_overlays.clear();
  m_kind.fill(Kind::kText);
  m_cells = QImage();
  const int h = key.lineHeight;
  if (key.format == QImage::Format_Invalid || h <= 0 || key.ascent < 0) return;
  // The cell width: the advance of a digit, when it is a whole number of
  // pixels (glyphs then sit on whole pixels in a line as in their cell).
  const QFontMetricsF metrics(key.font);
  const qreal digit = metrics.horizontalAdvance(QStringLiteral("0"));
  const int advance = static_cast<int>(digit);
  if (advance <= 0 || digit != advance || advance > 4 * h + 64) return;

  // Each character is drawn alone on the background, with room around it:
  // it gets a cell when its ink stays inside one. Ink above or below its row
  // (a tall fallback glyph, a font taller than the lines) would reach into
  // the next row, which cells would cover: such a font gets no cells at all.
  const int margin = advance + 2 * h;
  QImage scratch(2 * margin + advance, 3 * h, key.format);
  QImage cells((kBlankCell + 1) * advance, h, key.format);
  cells.fill(QColor::fromRgba(key.background));
  std::array<Kind, 256> kind{};
  for (int b = 0; b < 256; ++b) {
    const QChar c(AnsiToUnicode(static_cast<std::uint8_t>(b)));
    const QString one(c);
    scratch.fill(QColor::fromRgba(key.background));
    {
      QPainter p(&scratch);
      p.setFont(key.font);
      p.setPen(QColor::fromRgba(key.text));
      p.drawText(QPoint(margin, h + key.ascent), one);
    }
    const quint32 empty = reinterpret_cast<const quint32*>(scratch.constScanLine(0))[0];
    bool insideCell = true;
    for (int y = 0; y < scratch.height(); ++y) {
      const auto* row = reinterpret_cast<const quint32*>(scratch.constScanLine(y));
      const bool ownRow = y >= h && y < 2 * h;
      for (int x = 0; x < scratch.width(); ++x) {
        if (row[x] == empty || (ownRow && x >= margin && x < margin + advance)) continue;
        if (!ownRow) return;
        insideCell = false;
      }
    }
    if (!MayStandAlone(c) || metrics.horizontalAdvance(one) != digit) {
      kind[static_cast<std::size_t>(b)] = Kind::kText;
      continue;
    }
    if (!insideCell) {
      kind[static_cast<std::size_t>(b)] = Kind::kOverlay;
      continue;
    }
    for (int y = 0; y < h; ++y) {
      std::memcpy(cells.scanLine(y) + b * advance * kBytesPerPixel,
                  scratch.constScanLine(h + y) + margin * kBytesPerPixel,
                  static_cast<std::size_t>(advance) * kBytesPerPixel);
    }
    kind[static_cast<std::size_t>(b)] = Kind::kCell;
  }
  // Overlays are texts of spaces with a few characters among them.
  if (kind[' '] != Kind::kCell) {
    std::replace(kind.begin(), kind.end(), Kind::kOverlay, Kind::kText);
  }
  m_kind = kind;
  for (int b = 0; b < 256; ++b) {
    m_cellStart[static_cast<std::size_t>(b)] =
        (kind[static_cast<std::size_t>(b)] == Kind::kCell ? b : kBlankCell) * advance;
  }
  m_cells = std::move(cells);
  m_nAdvance = advance;
}

bool CellTextPainter::CanDraw(std::string_view bytes) const {
  if (m_nAdvance <= 0) return false;
  return std::none_of(bytes.begin(), bytes.end(), [this](char byte) {
    return m_kind[static_cast<std::uint8_t>(byte)] == Kind::kText;
  });
}

uchar* CellTextPainter::DevicePixels(QPainter& painter, const QRect& area,
                                     qsizetype* stride) const {
  if (m_key.format == QImage::Format_Invalid || painter.hasClipping() || painter.opacity() != 1.0)
    return nullptr;
  QPaintEngine* engine = painter.paintEngine();
  if (engine == nullptr || engine->type() != QPaintEngine::Raster) return nullptr;
  QPaintDevice* device = engine->paintDevice();
  if (device == nullptr || device->devType() != QInternal::Image) return nullptr;
  auto* image = static_cast<QImage*>(device);
  if (image->format() != m_key.format || image->devicePixelRatio() != 1.0) return nullptr;
  // A widget's painter reaches its window's image through an offset.
  const QTransform& transform = painter.deviceTransform();
  if (transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx()) ||
      transform.dy() != std::floor(transform.dy()))
    return nullptr;
  const QRect onDevice =
      area.translated(static_cast<int>(transform.dx()), static_cast<int>(transform.dy()));
  if (!image->rect().contains(onDevice)) return nullptr;
  // The part of the device this paint may change (a widget's paint region);
  // empty when it may change all of it.
  const QRegion clip = engine->systemClip();
  if (!clip.isEmpty()) {
    const bool inside = clip.rectCount() == 1 ? clip.boundingRect().contains(onDevice)
                                              : (QRegion(onDevice) - clip).isEmpty();
    if (!inside) return nullptr;
  }
  *stride = image->bytesPerLine();
  return image->bits() + onDevice.top() * *stride + onDevice.left() * kBytesPerPixel;
}

void CellTextPainter::Draw(QPainter& painter, int x, int top, std::string_view line,
                           std::size_t first, std::size_t last) {
  last = std::min(last, line.size());
  if (first >= last) return;
  const int h = m_key.lineHeight;
  const int width = static_cast<int>(last - first) * m_nAdvance;
  const int left = x + static_cast<int>(first) * m_nAdvance;
  // Straight into the device's pixels where the paint may change all of
  // them; otherwise composed aside and copied there.
  qsizetype stride = 0;
  uchar* target = DevicePixels(painter, QRect(left, top, width, h), &stride);
  const bool direct = target != nullptr;
  if (!direct) {
    if (m_line.width() < width || m_line.height() != h || m_line.format() != m_key.format) {
      m_line = QImage(std::max(width, m_line.width()), h, m_key.format);
    }
    target = m_line.bits();
    stride = m_line.bytesPerLine();
  }
  // Cells are a few pixels wide: a plain loop copies them faster than
  // memcpy calls do.
  const int advance = m_nAdvance;
  const std::string_view shown = line.substr(first, last - first);
  for (int y = 0; y < h; ++y) {
    auto* out = reinterpret_cast<quint32*>(target + y * stride);
    const auto* strip = reinterpret_cast<const quint32*>(m_cells.constScanLine(y));
    for (const char byte : shown) {
      const quint32* cell = strip + m_cellStart[static_cast<std::uint8_t>(byte)];
      for (int i = 0; i < advance; ++i) out[i] = cell[i];
      out += advance;
    }
  }
  if (!direct) {
    // The cells carry their background: a copy, not a blend.
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(left, top), m_line, QRect(0, 0, width, h));
    painter.setCompositionMode(mode);
  }

  // The characters whose ink leaves their cells, with those of the
  // neighbours just out of sight, blended over the copy at their places.
  const std::size_t from = first > 0 ? first - 1 : 0;
  const std::size_t to = std::min(line.size(), last + 1);
  const std::string_view near = line.substr(from, to - from);
  if (std::none_of(near.begin(), near.end(), [this](char byte) {
        return m_kind[static_cast<std::uint8_t>(byte)] == Kind::kOverlay;
      }))
    return;
  QString text(static_cast<qsizetype>(to - from), QLatin1Char(' '));
  for (std::size_t i = from; i < to; ++i) {
    const auto b = static_cast<std::uint8_t>(line[i]);
    if (m_kind[b] == Kind::kOverlay)
      text[static_cast<qsizetype>(i - from)] = QChar(AnsiToUnicode(b));
  }
  // The same overlay comes back frame after frame (the header's letters):
  // laid out once, its glyphs are drawn as they were placed.
  auto found = m_overlays.find(text);
  if (found == m_overlays.end()) {
    if (m_overlays.size() >= kMaxOverlays) m_overlays.clear();
    QTextLayout layout(text, m_key.font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    found =
        m_overlays.emplace(text, Overlay{layout.glyphRuns(), line.isValid() ? line.ascent() : 0})
            .first;
  }
  const QPointF origin(x + static_cast<int>(from) * m_nAdvance,
                       top + m_key.ascent - found->second.ascent);
  for (const QGlyphRun& run : found->second.runs) painter.drawGlyphRun(origin, run);
}

}  // namespace tarnwick
