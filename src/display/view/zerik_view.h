// The one view: paints the header line and the screen model's lines with the
// font and colours of the settings, sizes the scroll area to what it painted,
// and owns the screen model. Constructing it starts the port worker;
// OnDestroy stops it.
#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <functional>
#include <mutex>
#include <string>

#include "display/repaint_sink.h"
#include "display/screen_model.h"
#include "display/view/cell_text_painter.h"
#include "display/view/paint_counter.h"
#include "display/view/timestamp_gutter.h"
#include "display/view/view_follower.h"
#include "display/view/view_selector.h"
#include "settings/display_options.h"
#include "settings/live_settings.h"

namespace tarnwick {

class FindController;
class PortWorker;

// Where the view finds the worker it starts and stops: the application.
class ViewHost {
 public:
  virtual ~ViewHost() = default;
  // Creates and starts the port worker feeding model and repainting through sink.
  virtual PortWorker& StartWorker(ScreenModel& model, RepaintSink& sink) = 0;
  // The view registers itself (m_pView) and unregisters with nullptr.
  virtual void SetView(class CZerikView* view) = 0;
  // The record as published to the worker and the screen model.
  virtual const LiveSettings& Live() const = 0;
  // The display options as this thread holds them; all off unless overridden.
  virtual const DisplayOptions& Options() const;
};

class CZerikView : public QAbstractScrollArea, public RepaintSink {
  Q_OBJECT
 public:
  // Repaint requests are applied at most once per this many milliseconds:
  // never more than 60 frames a second.
  static constexpr int kFrameIntervalMs = 17;

  CZerikView(SETTINGS& settings, ViewHost& host, QWidget* parent = nullptr);
  ~CZerikView() override;

  // Draws what paintEvent draws: background, header and lines, in viewport
  // coordinates, then records the last line's rectangle and the scroll size.
  void OnDraw(QPainter& painter, const QRect& exposed);

  // Stops the worker and waits for it, then clears the screen so the pending
  // line reaches the text log. Runs once; later calls do nothing.
  void OnDestroy();

  // "Bytes Read %d / Write %d" while the port is open, the status text otherwise.
  QString HeaderText() const;
  // The same in the display's code page.
  std::string HeaderBytes() const;
  // The line height h in pixels (see LineHeight in the .cpp for lfHeight 0).
  int LineHeight() const;
  QFont DisplayFont() const;
  // The document size the last paint computed: (W + 20) x ((lines + 1) h).
  QSize ScrollSize() const { return m_scrollSize; }

  ScreenModel& Model() { return m_model; }
  // The sent direction: whether a source of it is configured (Copy All and
  // the text log then mark each line's direction) and the colour sent lines
  // are drawn in. Repaints.
  void SetConversation(bool sentSource, COLORREF sentColour);
  // Lines the last OnDraw drew: those in sight, whatever the history.
  std::size_t RowsDrawn() const { return m_nRowsDrawn; }

  // The lines as shown, for Find: read a chunk at a time under the model's lock.
  FindSource& ShownLines() { return m_shownLines; }
  // Whose matches the paint marks (may be null).
  void SetFind(const FindController* find) { m_pFind = find; }
  // Scrolls so that the match is in sight; following pauses.
  void ShowMatch(const FindMatch& match);
  // The number of the first line in sight, where a search starts.
  std::uint64_t TopLineNumber() const;
  ViewFollower& Follower() { return *m_pFollower; }
  const TextSelection& Selection() const { return m_pSelector->Selection(); }
  // The selection's text as Copy Selection puts it on the clipboard; empty
  // with nothing selected.
  QString SelectedText();
  // The selection, the find marks or how lines are shown changed: paint again.
  void RepaintMarks();

  // Measures one line as the paint does (width, height); tests replace it.
  using TextMeasure = std::function<QSize(const QFontMetrics&, const QString&)>;
  void SetTextMeasure(TextMeasure measure) { m_measure = std::move(measure); }

  // RepaintSink, callable from any thread: requests are gathered and applied
  // on this thread at most once per frame (kFrameIntervalMs). The first
  // request after a quiet spell is shown at once; a request that would paint
  // exactly what the whole view already shows is dropped.
  void InvalidateAll() override;
  void InvalidateRect(const Rect& rect) override;
  // The header row, LineHeight() tall, mapped when the request is applied.
  void InvalidateCounters() override;

 signals:
  // Once per frame that had repaint requests: the lines, the header (the
  // port's state, the counters) or the settings changed.
  void RequestsTaken();

 public slots:
  void OnCopyAll();
  void OnClearScreen();
  // The selected lines or text to the clipboard, as Copy All puts lines there.
  void OnCopySelection();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  // What a paint of the whole view draws, apart from its size and scrolling.
  struct ShownState {
    std::uint64_t generation = 0;
    std::string header;
    LOGFONT font{};
    COLORREF text = 0;
    COLORREF background = 0;
    COLORREF sent = 0;
    bool timestamps = false;  // the gutter with the lines' arrival times
    TimestampStyle stampStyle = TimestampStyle::kTime;
    bool textBeside = false;  // the characters beside number units
    bool operator==(const ShownState& other) const;
  };
  ShownState CurrentState() const;

  // Empties the screen model and takes its bytes off the Read counter.
  void ClearModel();
  void OnSelectionMade();
  QRect RepaintAllArea() const;
  void PostRepaint(const QRect* area, bool counters = false);
  void StartFrames();
  void FlushRepaint();
  void SetScrollSizes(QSize size);
  void UpdateScrollBars();

  SETTINGS* m_pSettings;
  ViewHost& m_host;
  ScreenModel m_model;
  PortWorker* m_pWorker = nullptr;
  bool m_bDestroyed = false;
  QSize m_scrollSize{100, 100};
  TextMeasure m_measure;
  TimestampGutter m_gutter;
  // The display font and the LOGFONT it was built from.
  mutable QFont m_font;
  mutable LOGFONT m_fontBuiltFrom{};
  mutable bool m_bFontBuilt = false;
  CellTextPainter m_cells;
  // Sent lines' cells, prepared once the first sent line is drawn.
  CellTextPainter m_sentCells;
  COLORREF m_crSent = 0;

  // Repaint requests waiting for the next frame, in document coordinates.
  std::mutex m_csRepaint;
  // Set with the first request after a quiet spell; cleared by the frame
  // that finds nothing to do, which stops the frame timer.
  bool m_bFramesArmed = false;
  bool m_bRepaintAll = false;
  bool m_bRepaintCounters = false;
  QRect m_pendingArea;
  QTimer m_frameTimer;
  QElapsedTimer m_lastFrame;
  // What the viewport shows as far as the paints tell: the state the last
  // paint of everything that was not background drew, and the part of the
  // document outside which there is only background of m_shownBackground
  // (null when not known: then everything may show text).
  ShownState m_shown;
  bool m_bShownValid = false;
  QRect m_shownExtent;
  COLORREF m_shownBackground = 0;
  // What the paint in progress draws, and where its ink may be (null: anywhere).
  ShownState m_drawing;
  QRect m_drawnExtent;
  PaintCounter m_paintCounter;

  // Where the last paint put things, for the mouse: the number of line 0,
  // the left of the text and a character's advance.
  std::uint64_t m_nFirstNumber = 0;
  int m_nTextLeft = 10;
  int m_nAdvance = 1;
  ViewSelector::Place PlaceAt(const QPoint& viewportPos) const;

  class ShownLinesSource : public FindSource {
   public:
    explicit ShownLinesSource(CZerikView& view) : m_view(view) {}
    Held VisitFrom(std::uint64_t from, std::size_t maxLines, const Visitor& visit) override;

   private:
    CZerikView& m_view;
  };
  ShownLinesSource m_shownLines{*this};
  const FindController* m_pFind = nullptr;
  ViewFollower* m_pFollower = nullptr;  // children of this view
  ViewSelector* m_pSelector = nullptr;
  std::size_t m_nRowsDrawn = 0;
};

}  // namespace tarnwick
