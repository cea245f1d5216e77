#include "display/view/zerik_view.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "display/cell_width.h"
#include "display/code_pages.h"
#include "display/view/ansi_text.h"
#include "display/view/find_controller.h"
#include "display/view/logfont_mapping.h"
#include "display/view/styled_row_painter.h"
#include "port/port_worker.h"

namespace tarnwick {
namespace {

// Lines longer than this are measured by character count, not shaped whole.
constexpr std::size_t kLongLineBytes = 4096;
// Keeps twice the widest line and the scroll range inside int.
constexpr long long kMaxDocumentWidth = 1LL << 29;

int AbsHeight(std::int32_t lfHeight) {
  const long long height = std::llabs(static_cast<long long>(lfHeight));
  return static_cast<int>(std::min<long long>(height, kMaxFontHeight));
}

QString FromBytes(std::string_view bytes) { return AnsiToQString(bytes); }

// Decoded text that the code page's cells draw as well: ASCII in one style.
bool DrawsAsCodePage(const ScreenModel::ShownRow& row) {
  return row.styles.empty() && std::all_of(row.text.begin(), row.text.end(), [](char c) {
           return static_cast<std::uint8_t>(c) < 0x80;
         });
}

// Clipboard text: a text reader stops at the first zero byte, and so does it.
QString ClipboardText(std::string text, bool utf8) {
  const std::size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return utf8 ? QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
              : FromBytes(text);
}

}  // namespace

const DisplayOptions& ViewHost::Options() const {
  static const DisplayOptions kNoOptions{};
  return kNoOptions;
}

CZerikView::CZerikView(SETTINGS& settings, ViewHost& host, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_pSettings(&settings),
      m_host(host),
      m_model(host.Live(), this) {
  setObjectName(QStringLiteral("zerikView"));
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  m_frameTimer.setTimerType(Qt::PreciseTimer);
  m_frameTimer.setInterval(kFrameIntervalMs);
  connect(&m_frameTimer, &QTimer::timeout, this, &CZerikView::FlushRepaint);
  m_pFollower = new ViewFollower(*this, host.Options().bFollowNewLines);
  m_pSelector = new ViewSelector(
      *viewport(), [this](const QPoint& at) { return PlaceAt(at); }, [this] { RepaintMarks(); },
      [this] { OnSelectionMade(); });
  m_host.SetView(this);
  m_pWorker = &m_host.StartWorker(m_model, *this);
}

CZerikView::~CZerikView() { OnDestroy(); }

QFont CZerikView::DisplayFont() const {
  // Built again only when the record's font changed: a cell height costs a
  // few metric look-ups, and every paint asks.
  const LOGFONT& lf = m_pSettings->lfFont;
  if (!m_bFontBuilt || std::memcmp(&m_fontBuiltFrom, &lf, sizeof lf) != 0) {
    m_font = FontFromLogFont(lf);
    m_fontBuiltFrom = lf;
    m_bFontBuilt = true;
  }
  return m_font;
}

int CZerikView::LineHeight() const {
  const int height = AbsHeight(m_pSettings->lfFont.lfHeight);
  if (height > 0) return height;
  // lfHeight 0 asks for the font's default size; its line spacing keeps the
  // lines apart instead of drawing them all over the header.
  return std::max(1, QFontMetrics(DisplayFont()).lineSpacing());
}

QString CZerikView::HeaderText() const { return FromBytes(HeaderBytes()); }

std::string CZerikView::HeaderBytes() const {
  if (m_pWorker == nullptr) return {};
  if (m_pWorker->m_bPortOpen.load()) {
    char text[64];
    const int length =
        std::snprintf(text, sizeof text, "Bytes Read %d / Write %d", m_pWorker->m_nBytesRead.load(),
                      m_pWorker->m_nBytesWritten.load());
    return std::string(text, static_cast<std::size_t>(std::max(0, length)));
  }
  return m_pWorker->Line().Status();
}

void CZerikView::paintEvent(QPaintEvent* event) {
  m_paintCounter.CountPaint();
  {
    QPainter painter(viewport());
    OnDraw(painter, event->rect());
  }
  // What the viewport shows now, for the requests to come. Document
  // coordinates.
  const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const QRegion painted = event->region().translated(scroll);
  const QRect whole = viewport()->rect().translated(scroll);
  const auto covers = [&painted](const QRect& area) { return (QRegion(area) - painted).isEmpty(); };
  if (covers(whole)) {
    m_shown = m_drawing;
    m_bShownValid = true;
    m_shownExtent = m_drawnExtent;
    m_shownBackground = m_drawing.background;
  } else if (!m_shownExtent.isNull() && !m_drawnExtent.isNull()) {
    const QRect before = m_shownExtent;
    if (m_drawing.background == m_shownBackground && covers(before | m_drawnExtent)) {
      // All that is not background was drawn now.
      m_shown = m_drawing;
      m_bShownValid = true;
      m_shownExtent = m_drawnExtent;
    } else {
      m_shownExtent |= m_drawnExtent;
    }
    // Text that came to rows or columns which were background before, and
    // which this paint did not reach (it was asked for the old extent):
    // shown by the next paint.
    const QRegion grown = QRegion(m_drawnExtent) - QRegion(before) - painted;
    if (!grown.isEmpty()) viewport()->update(grown.translated(-scroll) & viewport()->rect());
  } else {
    // Without cells ink may be anywhere: requests repaint everything.
    m_shownExtent = QRect();
  }
}

bool CZerikView::ShownState::operator==(const ShownState& other) const {
  return generation == other.generation && header == other.header &&
         std::memcmp(&font, &other.font, sizeof font) == 0 && text == other.text &&
         background == other.background && sent == other.sent && timestamps == other.timestamps &&
         stampStyle == other.stampStyle && textBeside == other.textBeside;
}

CZerikView::ShownState CZerikView::CurrentState() const {
  ShownState state;
  state.generation = m_model.Generation();
  state.header = HeaderBytes();
  state.font = m_pSettings->lfFont;
  state.text = m_pSettings->crText;
  state.background = m_pSettings->crBackground;
  state.sent = m_crSent;
  state.timestamps = m_host.Options().bShowTimestamps;
  state.stampStyle = m_host.Options().timestampStyle;
  state.textBeside = m_host.Options().bTextBesideUnits;
  return state;
}

void CZerikView::SetConversation(bool sentSource, COLORREF sentColour) {
  m_model.SetDirectionPrefixes(sentSource);
  m_crSent = sentColour;
  InvalidateAll();
}

void CZerikView::OnDraw(QPainter& painter, const QRect& exposed) {
  const QColor background = ColorFromColorRef(m_pSettings->crBackground);
  const QFont font = DisplayFont();
  painter.setFont(font);
  const QFontMetrics metrics = painter.fontMetrics();
  const int h = LineHeight();
  const int ascent = metrics.ascent();
  painter.setPen(ColorFromColorRef(m_pSettings->crText));

  // Document coordinates from here on.
  const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
  painter.translate(-scroll);
  const QRect visible = exposed.translated(scroll);

  // With cells no character leaves its row: each row is filled and drawn on
  // its own, and the background under the cells, which carry it, is left
  // alone. Otherwise everything is filled first and the texts are drawn over
  // it, the next row's over what reaches into it.
  const bool cells = m_cells.Prepare(font, painter.pen().color(), background, h, ascent, painter);
  const int cellAdvance = m_cells.Advance();
  if (!cells) painter.fillRect(visible, background);
  // Texts are placed by the top of their cell, as the lines' layout counts.
  // With cells a row also says how far right its ink may reach; a row drawn
  // as text may reach anywhere.
  int contentRight = 0;
  // Sent lines: their own colour and cells, made ready at the first one.
  const QColor textColour = painter.pen().color();
  const QColor sentColour = ColorFromColorRef(m_crSent);
  std::optional<bool> sentCells;
  const auto drawRow = [&](int x, int top, std::string_view bytes, bool sent) {
    const QColor& colour = sent ? sentColour : textColour;
    if (painter.pen().color() != colour) painter.setPen(colour);
    if (!cells) {
      painter.drawText(QPoint(x, top + ascent), FromBytes(bytes));
      return;
    }
    if (sent && !sentCells)
      sentCells = m_sentCells.Prepare(font, sentColour, background, h, ascent, painter);
    CellTextPainter& rowCells = sent ? m_sentCells : m_cells;
    const bool fromCells = (!sent || *sentCells) && rowCells.CanDraw(bytes);
    // A character drawn over the cells may spill into the next cell.
    const long long right =
        fromCells ? x + (static_cast<long long>(bytes.size()) + 1) * cellAdvance : INT_MAX;
    contentRight =
        static_cast<int>(std::min<long long>(std::max<long long>(contentRight, right), INT_MAX));
    const QRect row = QRect(visible.left(), top, visible.width(), h).intersected(visible);
    if (row.isEmpty()) return;
    if (!fromCells) {
      painter.fillRect(row, background);
      painter.drawText(QPoint(x, top + ascent), FromBytes(bytes));
      return;
    }
    // Only the cells in sight.
    const long long count = static_cast<long long>(bytes.size());
    const long long first = std::clamp<long long>((row.left() - x) / cellAdvance, 0, count);
    const long long last = std::clamp<long long>((row.right() - x) / cellAdvance + 1, first, count);
    const int left = x + static_cast<int>(first) * cellAdvance;
    const int rightEdge = x + static_cast<int>(last) * cellAdvance;
    if (left > row.left()) {
      painter.fillRect(QRect(row.left(), top, left - row.left(), h), background);
    }
    if (rightEdge <= row.right()) {
      painter.fillRect(QRect(rightEdge, top, row.right() + 1 - rightEdge, h), background);
    }
    rowCells.Draw(painter, x, top, bytes, static_cast<std::size_t>(first),
                  static_cast<std::size_t>(last));
  };

  m_drawing.header = HeaderBytes();
  m_drawing.font = m_pSettings->lfFont;
  m_drawing.text = m_pSettings->crText;
  m_drawing.background = m_pSettings->crBackground;
  m_drawing.timestamps = m_host.Options().bShowTimestamps;
  m_drawing.sent = m_crSent;
  m_drawing.stampStyle = m_host.Options().timestampStyle;
  m_drawing.textBeside = m_host.Options().bTextBesideUnits;
  drawRow(0, 0, m_drawing.header, false);

  const auto measure = [&](const QString& text) {
    return m_measure ? m_measure(metrics, text)
                     : QSize(metrics.horizontalAdvance(text), metrics.height());
  };
  // Lines are measured by their length in characters: the model keeps the
  // longest as lines come and go, so no frame measures the history. With
  // cells that is exact; otherwise a character's advance is taken as the
  // widest the font has, so the scroll range reaches every line's end.
  const QSize oneCharacter = measure(QStringLiteral("0"));
  const int advance = std::max(
      1, cells && !m_measure ? cellAdvance
                             : (m_measure ? oneCharacter.width()
                                          : std::max(oneCharacter.width(), metrics.maxWidth())));
  // Lines start right of the arrival times when those are shown.
  m_gutter.SetStyle(m_drawing.stampStyle);
  const int gutter = m_gutter.Begin(m_drawing.timestamps, measure,
                                    ColorFromColorRef(m_pSettings->crText), background);
  if (cells) m_gutter.PrepareCells(font, h, ascent, painter);
  const int textLeft = 10 + gutter;
  // Line i is drawn from (i + 1) h: the rows in sight follow by division.
  // Without cells a text may reach a little above its row.
  const int reach = cells ? 0 : std::max(0, metrics.height() - h);
  const long long firstRow = std::max(0LL, (static_cast<long long>(visible.top()) - reach) / h - 1);
  const long long lastRow = std::max(0LL, static_cast<long long>(visible.bottom()) / h);
  m_nRowsDrawn = 0;
  // Marks over the text: the characters beside the units dimmed towards the
  // background, the selection, and Find's matches (the current one stronger).
  QColor dim = background;
  dim.setAlpha(110);
  const QColor selected = QColor(0x33, 0x99, 0xFF, 110);
  const QColor match = QColor(0xFF, 0xD7, 0x00, 130);
  const QColor currentMatch = QColor(0xFF, 0x7F, 0x00, 190);
  const bool finding = m_pFind != nullptr && m_pFind->Active();
  const std::optional<FindMatch> current = finding ? m_pFind->Finder().Current() : std::nullopt;
  const TextSelection& selection = m_pSelector->Selection();
  // Marks sit on characters: a character's own advance, not the widest the
  // font has, which only keeps the scroll range long enough.
  const int markAdvance = std::max(1, cells && !m_measure ? cellAdvance : oneCharacter.width());
  const auto mark = [&](int y, std::size_t begin, std::size_t end, const QColor& color) {
    if (end <= begin) return;
    const long long left = textLeft + static_cast<long long>(begin) * markAdvance;
    const long long right = textLeft + static_cast<long long>(end) * markAdvance;
    if (left > visible.right() || right < visible.left()) return;
    const QRect area(
        QPoint(static_cast<int>(std::max<long long>(left, visible.left() - 1)), y),
        QPoint(static_cast<int>(std::min<long long>(right, visible.right() + 1)) - 1, y + h - 1));
    painter.fillRect(area, color);
    contentRight = std::max(contentRight, area.right() + 1);
  };
  // Decoded text with styles or characters beyond ASCII: its own row, on the
  // grid of the marks' cells, only the cells in sight.
  const auto drawStyled = [&](int x, int top, const ScreenModel::ShownRow& row, bool sent) {
    const QRect area = QRect(visible.left(), top, visible.width(), h).intersected(visible);
    if (area.isEmpty()) return;
    painter.fillRect(area, background);
    const RowLook look{font, sent ? sentColour : textColour, background, markAdvance, h, ascent};
    const auto cellAt = [&](int px) {
      return static_cast<std::size_t>(std::max(0, (px - x) / markAdvance));
    };
    const int right = DrawStyledRow(painter, look, x, top, row.text, row.styles,
                                    cellAt(area.left()) > 0 ? cellAt(area.left()) - 1 : 0,
                                    cellAt(area.right()) + 2);
    contentRight = std::max(contentRight, right);
  };
  const ScreenModel::Extent extent = m_model.VisitShownRows(
      static_cast<std::size_t>(firstRow), static_cast<std::size_t>(lastRow - firstRow + 1),
      m_drawing.textBeside,
      [&](const ScreenModel::ShownRow& row) {
        const std::size_t index = row.nIndex;
        const std::string_view line = row.text;
        const LineTime time = row.time;
        const bool sent = row.direction == LineDirection::kSent;
        const int y = static_cast<int>(
            std::min<long long>((static_cast<long long>(index) + 1) * h, INT_MAX / 2));
        const bool rowVisible =
            cells ? y + h > visible.top() && y <= visible.bottom()
                  : y + metrics.height() >= visible.top() && y <= visible.bottom();
        if (!rowVisible) return;
        ++m_nRowsDrawn;
        const bool styled = row.bDecoded && !DrawsAsCodePage(row);
        if (styled) {
          drawStyled(textLeft, y, row, sent);
        } else if (line.size() <= kLongLineBytes) {
          drawRow(textLeft, y, line, sent);
        } else {
          // A long line: only its visible stretch is shaped and drawn.
          const std::size_t first =
              static_cast<std::size_t>(std::max(0, (visible.left() - textLeft) / advance - 1));
          const std::size_t count =
              first < line.size()
                  ? std::min<std::size_t>(line.size() - first,
                                          static_cast<std::size_t>(visible.width() / advance + 3))
                  : 0;
          drawRow(textLeft + static_cast<int>(first) * advance, y,
                  line.substr(std::min(first, line.size()), count), sent);
        }
        // Over the row's background, which the row's drawing filled.
        m_gutter.Draw(painter, 10, y, ascent, time);
        // Marks count cells: a decoded line's characters may take none or two.
        const std::size_t cells = styled ? CellCount(line) : line.size();
        if (!row.bDecoded) mark(y, row.nUnitsLength, line.size(), dim);
        const TextSelection::Columns columns = selection.ColumnsOn(row.nNumber, cells);
        // A whole line is marked one character past its end, so an empty one shows.
        mark(y, columns.nBegin,
             columns.nEnd + (selection.WholeLines() && columns.nEnd == cells ? 1 : 0), selected);
        if (finding) {
          for (const FindMatch& m : m_pFind->Finder().MatchesIn(row.nNumber, row.nNumber + 1)) {
            mark(y, m.nColumn, m.nColumn + m.nCells, m == current ? currentMatch : match);
          }
        }
      },
      [&](const ScreenModel::Extent& lines) -> std::optional<Rect> {
        if (lines.nLines == 0) return std::nullopt;
        const long long widest =
            std::min<long long>(static_cast<long long>(lines.nWidest) * advance, kMaxDocumentWidth);
        const int top = static_cast<int>(
            std::min<long long>(static_cast<long long>(lines.nLines) * h, INT_MAX / 2));
        return Rect{10, top, 2 * static_cast<int>(widest) + gutter,
                    top + h + oneCharacter.height()};
      });
  m_drawing.generation = extent.generation;
  // While the view does not follow, the lines in sight stay put as old ones drop.
  const std::uint64_t dropped = extent.nFirstNumber - std::min(extent.nFirstNumber, m_nFirstNumber);
  m_nFirstNumber = extent.nFirstNumber;
  m_nTextLeft = textLeft;
  m_nAdvance = markAdvance;
  const int widest = static_cast<int>(
      std::min<long long>(static_cast<long long>(extent.nWidest) * advance, kMaxDocumentWidth));
  const int y = static_cast<int>(
      std::min<long long>((static_cast<long long>(extent.nLines) + 1) * h, INT_MAX / 2));
  // Below the last line.
  if (cells && visible.bottom() >= y) {
    painter.fillRect(QRect(visible.left(), y, visible.width(), visible.bottom() + 1 - y),
                     background);
  }
  // Where this paint's ink may be, in document coordinates: the rows with
  // text, as far right as they reach. Unknown (null) without cells.
  m_drawnExtent = cells ? QRect(0, 0, contentRight, y) : QRect();

  SetScrollSizes(QSize(widest + 20 + gutter, y));
  if (dropped > 0 && !m_pFollower->Following() && verticalScrollBar()->value() > 0) {
    const long long shift =
        static_cast<long long>(std::min<std::uint64_t>(dropped, INT_MAX / 2)) * h;
    verticalScrollBar()->setValue(
        static_cast<int>(std::max<long long>(0, verticalScrollBar()->value() - shift)));
  }
}

ViewSelector::Place CZerikView::PlaceAt(const QPoint& viewportPos) const {
  const QPoint at =
      viewportPos + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const int h = LineHeight();
  // Row 0 is the header; above the first line counts as the first line.
  const long long row = std::max(0, at.y() / h - 1);
  const long long column =
      std::max(0, (at.x() - m_nTextLeft + m_nAdvance / 2) / std::max(1, m_nAdvance));
  return {
      TextPoint{m_nFirstNumber + static_cast<std::uint64_t>(row), static_cast<std::size_t>(column)},
      at.x() < m_nTextLeft};
}

std::uint64_t CZerikView::TopLineNumber() const {
  const long long row = std::max(0, verticalScrollBar()->value() / LineHeight());
  return m_nFirstNumber + static_cast<std::uint64_t>(row);
}

void CZerikView::ShowMatch(const FindMatch& match) {
  m_pFollower->Jumped();
  const FindSource::Held held = m_model.VisitShownFrom(0, 0, false, {});
  if (match.nLine < held.nFirst) return;
  const long long h = LineHeight();
  const long long y = static_cast<long long>(match.nLine - held.nFirst + 1) * h;
  const int page = viewport()->height();
  QScrollBar* bar = verticalScrollBar();
  // The document may not have grown to the line yet: the range follows it.
  const long long needed = y + h - page;
  if (needed > bar->maximum())
    bar->setMaximum(static_cast<int>(std::min<long long>(needed, INT_MAX / 2)));
  if (y < bar->value() || y + h > bar->value() + page) {
    bar->setValue(static_cast<int>(std::clamp<long long>(y - page / 2, 0, bar->maximum())));
  }
  const long long x = m_nTextLeft + static_cast<long long>(match.nColumn) * m_nAdvance;
  QScrollBar* across = horizontalScrollBar();
  if (x < across->value() || x + 4 * m_nAdvance > across->value() + viewport()->width()) {
    across->setValue(
        static_cast<int>(std::clamp<long long>(x - viewport()->width() / 3, 0, across->maximum())));
  }
  RepaintMarks();
}

void CZerikView::RepaintMarks() { viewport()->update(); }

FindSource::Held CZerikView::ShownLinesSource::VisitFrom(std::uint64_t from, std::size_t maxLines,
                                                         const Visitor& visit) {
  return m_view.m_model.VisitShownFrom(from, maxLines, m_view.m_host.Options().bTextBesideUnits,
                                       visit);
}

void CZerikView::OnCopySelection() {
  if (m_pSelector->Selection().Empty()) return;
  QGuiApplication::clipboard()->setText(SelectedText());
}

// As X programs do, a selection is offered for the middle button at once
// (where the platform has such a selection).
void CZerikView::OnSelectionMade() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard->supportsSelection()) clipboard->setText(SelectedText(), QClipboard::Selection);
}

QString CZerikView::SelectedText() {
  const TextSelection& selection = m_pSelector->Selection();
  if (selection.Empty()) return {};
  // In the code page, or in UTF-8 once a decoded line is among the lines.
  std::string text;
  std::string part;
  bool utf8 = false;
  const std::uint64_t first = selection.FirstLine();
  m_model.VisitShownFrom(first, static_cast<std::size_t>(selection.LastLine() - first + 1),
                         m_host.Options().bTextBesideUnits,
                         [&](std::uint64_t line, std::string_view shown, bool decoded) {
                           if (decoded && !utf8) {
                             part.swap(text);
                             text.clear();
                             AppendCodePageAsUtf8(part, text);
                             utf8 = true;
                           }
                           part.clear();
                           selection.AppendCopied(part, line, shown, decoded);
                           if (utf8 && !decoded) {
                             AppendCodePageAsUtf8(part, text);
                           } else {
                             text.append(part);
                           }
                         });
  return ClipboardText(std::move(text), utf8);
}

void CZerikView::SetScrollSizes(QSize size) {
  if (size == m_scrollSize) return;
  m_scrollSize = size;
  UpdateScrollBars();
}

void CZerikView::UpdateScrollBars() {
  const QSize page = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, m_scrollSize.width() - page.width()));
  horizontalScrollBar()->setPageStep(std::max(1, page.width()));
  horizontalScrollBar()->setSingleStep(std::max(1, page.width() / 10));
  verticalScrollBar()->setRange(0, std::max(0, m_scrollSize.height() - page.height()));
  verticalScrollBar()->setPageStep(std::max(1, page.height()));
  verticalScrollBar()->setSingleStep(std::max(1, page.height() / 10));
}

void CZerikView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CZerikView::scrollContentsBy(int, int) { viewport()->update(); }

void CZerikView::InvalidateAll() { PostRepaint(nullptr); }

void CZerikView::InvalidateRect(const Rect& rect) {
  const QRect area(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1));
  PostRepaint(&area);
}

void CZerikView::InvalidateCounters() { PostRepaint(nullptr, true); }

void CZerikView::PostRepaint(const QRect* area, bool counters) {
  std::lock_guard lock(m_csRepaint);
  if (counters) {
    m_bRepaintCounters = true;
  } else if (area != nullptr) {
    m_pendingArea |= *area;
  } else {
    m_bRepaintAll = true;
  }
  // While frames run, the next one takes the request: no call to this thread.
  if (m_bFramesArmed) return;
  m_bFramesArmed = true;
  // The worker never touches the widget: the frames start on this thread.
  QMetaObject::invokeMethod(this, &CZerikView::StartFrames, Qt::QueuedConnection);
}

// A change after a quiet spell is shown at once, unless the last frame was
// painted less than a frame ago; the timer then looks for more every frame.
void CZerikView::StartFrames() {
  if (m_frameTimer.isActive()) return;
  m_frameTimer.start();
  if (!m_lastFrame.isValid() || m_lastFrame.hasExpired(kFrameIntervalMs)) FlushRepaint();
}

void CZerikView::FlushRepaint() {
  bool all = false;
  bool counters = false;
  QRect area;
  {
    std::lock_guard lock(m_csRepaint);
    all = m_bRepaintAll;
    counters = m_bRepaintCounters;
    area = m_pendingArea;
    if (!all && !counters && area.isNull()) {
      // A frame with nothing to do: quiet until the next request.
      m_bFramesArmed = false;
      m_frameTimer.stop();
      return;
    }
    m_bRepaintAll = false;
    m_bRepaintCounters = false;
    m_pendingArea = QRect();
  }
  emit RequestsTaken();
  // Asked to draw what the whole view already shows (a port state or
  // settings change that changed nothing visible): nothing to paint. Every
  // change reaches the model or the header before its request is made, so
  // the state read now includes everything asked for.
  if (area.isNull() && m_bShownValid && CurrentState() == m_shown) return;
  m_lastFrame.restart();
  // The line height comes from the settings and the font, both of this thread.
  if (counters) area |= QRect(0, 0, 1, LineHeight());
  // Painted now: the frame timer already paces the paints, and a deferred
  // update would cost one more wake-up per frame.
  if (all) {
    viewport()->repaint(RepaintAllArea());
  } else if (!area.isNull()) {
    // The rectangles are as wide as the last paint measured (and inverted
    // when it measured nothing); units that came since may reach further
    // along the line, longer counters further along the header. Their rows
    // are repainted across the whole width, shifted as the view is scrolled.
    area = area.normalized();
    const int top = area.top() - verticalScrollBar()->value();
    viewport()->repaint(QRect(0, top, viewport()->width(), area.height()));
  }
}

// The whole view, as far as it can have changed: the part of the document
// that may show text now and the rows new lines have added since; the rest
// of the viewport shows background and keeps showing it. A paint that finds
// the lines grew wider asks for the rest itself.
QRect CZerikView::RepaintAllArea() const {
  const QRect whole = viewport()->rect();
  if (m_shownExtent.isNull() || m_shownBackground != m_pSettings->crBackground) return whole;
  const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const long long rows = static_cast<long long>(m_model.LineCount()) + 1;
  const int bottom =
      static_cast<int>(std::min<long long>(rows * LineHeight(), INT_MAX / 2)) - scroll.y();
  QRect area = m_shownExtent.translated(-scroll);
  if (bottom > area.bottom() + 1) {
    area |= QRect(QPoint(0, area.bottom() + 1), QPoint(whole.right(), bottom - 1));
  }
  return area & whole;
}

void CZerikView::OnCopyAll() {
  ScreenModel::CopiedText copied =
      m_model.CopyAll(m_host.Options().bTimestampsInLog, m_host.Options().bTextBesideUnits);
  QGuiApplication::clipboard()->setText(ClipboardText(std::move(copied.text), copied.bUtf8));
}

void CZerikView::OnClearScreen() {
  ClearModel();
  // An empty screen shows its newest line: whatever paused following (a
  // scroll, a Find jump) is over, and the lines that come next are followed.
  m_pFollower->GoToEnd();
}

void CZerikView::ClearModel() {
  m_model.Clear([this](std::uint32_t bytesTaken) {
    if (m_pWorker != nullptr) m_pWorker->ResetCounters(bytesTaken);
  });
}

void CZerikView::OnDestroy() {
  if (m_bDestroyed) return;
  m_bDestroyed = true;
  // The worker goes first: bytes it reads until it stops still reach the
  // model, and the clear below then writes the complete pending line.
  if (m_pWorker != nullptr) m_pWorker->Stop();
  ClearModel();
  m_host.SetView(nullptr);
}

}  // namespace tarnwick
