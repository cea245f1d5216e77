#include "display/view/zerik_view.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "display/view/ansi_text.h"
#include "display/view/logfont_mapping.h"
#include "port/port_worker.h"

namespace tarnwick {
namespace {

// Requests gathered for one frame at 60 Hz.
constexpr int kRepaintIntervalMs = 16;
// Lines longer than this are measured by character count, not shaped whole.
constexpr std::size_t kLongLineBytes = 4096;
// Keeps twice the widest line and the scroll range inside int.
constexpr long long kMaxDocumentWidth = 1LL << 29;

int AbsHeight(std::int32_t lfHeight) {
  const long long height = std::llabs(static_cast<long long>(lfHeight));
  return static_cast<int>(std::min<long long>(height, kMaxFontHeight));
}

QString FromBytes(const std::string& bytes) { return AnsiToQString(bytes); }

}  // namespace

CZerikView::CZerikView(SETTINGS& settings, ViewHost& host, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_pSettings(&settings),
      m_host(host),
      m_model(host.Live(), this) {
  setObjectName(QStringLiteral("zerikView"));
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  m_repaintTimer.setSingleShot(true);
  m_repaintTimer.setInterval(kRepaintIntervalMs);
  connect(&m_repaintTimer, &QTimer::timeout, this, &CZerikView::FlushRepaint);
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

QString CZerikView::HeaderText() const {
  if (m_pWorker == nullptr) return {};
  if (m_pWorker->m_bPortOpen.load()) {
    return QString::asprintf("Bytes Read %d / Write %d", m_pWorker->m_nBytesRead.load(),
                             m_pWorker->m_nBytesWritten.load());
  }
  return FromBytes(m_pWorker->Line().Status());
}

void CZerikView::paintEvent(QPaintEvent* event) {
  m_paintCounter.CountPaint();
  QPainter painter(viewport());
  OnDraw(painter, event->rect());
}

void CZerikView::OnDraw(QPainter& painter, const QRect& exposed) {
  painter.fillRect(exposed, ColorFromColorRef(m_pSettings->crBackground));
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

  // Texts are placed by the top of their cell, as the lines' layout counts.
  painter.drawText(QPoint(0, ascent), HeaderText());

  int y = h;
  int widest = 0;
  int lastHeight = 0;
  bool anyLine = false;
  const Rect previous = m_model.LastLineRect();
  const auto measure = [&](const QString& text) {
    return m_measure ? m_measure(metrics, text)
                     : QSize(metrics.horizontalAdvance(text), metrics.height());
  };
  // A line without a break by count can grow without limit. Shaping and
  // measuring all of it at every paint (under the lock the worker waits for)
  // would make a paint cost the whole line, so a long line is measured by one
  // character's advance and only its visible stretch is drawn.
  const QSize oneCharacter = measure(QStringLiteral("0"));
  const int advance = std::max(1, oneCharacter.width());
  m_model.VisitLines(
      [&](const DisplayLine& line) {
        const bool rowVisible = y + metrics.height() >= visible.top() && y <= visible.bottom();
        QSize extent;
        if (line.size() <= kLongLineBytes) {
          const QString text = FromBytes(line);
          if (rowVisible) painter.drawText(QPoint(10, y + ascent), text);
          extent = measure(text);
        } else {
          const long long width = static_cast<long long>(line.size()) * advance;
          extent = QSize(static_cast<int>(std::min<long long>(width, kMaxDocumentWidth)),
                         oneCharacter.height());
          if (rowVisible) {
            const std::size_t first =
                static_cast<std::size_t>(std::max(0, (visible.left() - 10) / advance - 1));
            if (first < line.size()) {
              const std::size_t count = std::min<std::size_t>(
                  line.size() - first, static_cast<std::size_t>(visible.width() / advance + 3));
              const std::string slice = line.substr(first, count);
              painter.drawText(QPoint(10 + static_cast<int>(first) * advance, y + ascent),
                               FromBytes(slice));
            }
          }
        }
        widest = std::max(widest, extent.width());
        lastHeight = extent.height();
        anyLine = true;
        y += h;
      },
      [&]() -> Rect {
        if (!anyLine) return previous;
        const int top = y - h;
        return Rect{10, top, 2 * widest, top + h + lastHeight};
      });

  SetScrollSizes(QSize(widest + 20, y));
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
  if (m_bRepaintPosted) return;
  m_bRepaintPosted = true;
  // The worker never touches the widget: the timer starts on this thread.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!m_repaintTimer.isActive()) m_repaintTimer.start();
      },
      Qt::QueuedConnection);
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
    m_bRepaintAll = false;
    m_bRepaintCounters = false;
    m_pendingArea = QRect();
    m_bRepaintPosted = false;
  }
  // The line height comes from the settings and the font, both of this thread.
  if (counters) area |= QRect(0, 0, 1, LineHeight());
  if (all) {
    viewport()->update();
  } else if (!area.isNull()) {
    // The rectangles are as wide as the last paint measured (and inverted
    // when it measured nothing); units that came since may reach further
    // along the line, longer counters further along the header. Their rows
    // are repainted across the whole width, shifted as the view is scrolled.
    area = area.normalized();
    const int top = area.top() - verticalScrollBar()->value();
    viewport()->update(QRect(0, top, viewport()->width(), area.height()));
  }
}

void CZerikView::OnCopyAll() {
  std::string text = m_model.CopyAllText();
  // A text reader stops at the first zero byte; so does the clipboard text.
  const std::size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  QGuiApplication::clipboard()->setText(FromBytes(text));
}

void CZerikView::OnClearScreen() {
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
  OnClearScreen();
  m_host.SetView(nullptr);
}

}  // namespace tarnwick
