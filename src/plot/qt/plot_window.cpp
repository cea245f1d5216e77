#include "plot/qt/plot_window.h"

#include <qcustomplot.h>

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSaveFile>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <string>

#include "platform/message_box.h"
#include "plot/plot_csv.h"
#include "plot/qt/plot_profile.h"

namespace tarnwick {
namespace {

constexpr int kFrameMs = 33;
// The share of one core that drawing may take; frames that cost more are
// spaced further apart (collecting goes on at every frame).
constexpr double kDrawShare = 0.15;

// Sixteen colours that stay apart from one another on white.
const QColor kChannelColours[kMaxPlotChannels] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
    QColor(0x17, 0xbe, 0xcf), QColor(0x00, 0x00, 0x80), QColor(0x80, 0x00, 0x00),
    QColor(0x00, 0x80, 0x40), QColor(0xb8, 0x86, 0x0b), QColor(0x40, 0x40, 0x40),
    QColor(0x99, 0x00, 0x99)};

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

CPlotWindow::CPlotWindow(PlotFeed& feed, Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), m_feed(feed), m_services(std::move(services)) {
  setObjectName(QStringLiteral("plotWindow"));
  setWindowTitle(QStringLiteral("Tarnwick - Plot"));
  m_store.SetDepth(static_cast<std::int64_t>(LoadPlotDepth()));

  auto* bar = new QToolBar(this);
  m_pPauseAction = bar->addAction(QStringLiteral("&Pause"));
  m_pPauseAction->setObjectName(QStringLiteral("plotPause"));
  m_pPauseAction->setCheckable(true);
  m_pPauseAction->setToolTip(QStringLiteral("Freeze the picture; samples keep being collected"));
  connect(m_pPauseAction, &QAction::toggled, this, &CPlotWindow::SetPaused);
  QAction* exportAction = bar->addAction(QStringLiteral("&Export CSV..."));
  exportAction->setObjectName(QStringLiteral("plotExport"));
  exportAction->setToolTip(QStringLiteral("Write the kept samples to a CSV file"));
  connect(exportAction, &QAction::triggered, this, &CPlotWindow::ExportCsv);
  bar->addSeparator();
  auto* depthLabel = new QLabel(QStringLiteral("&Keep last "), bar);
  m_pDepthBox = new QSpinBox(bar);
  m_pDepthBox->setObjectName(QStringLiteral("plotDepth"));
  m_pDepthBox->setAccessibleName(QStringLiteral("Keep last"));
  m_pDepthBox->setRange(static_cast<int>(kMinPlotDepth), static_cast<int>(kMaxPlotDepth));
  m_pDepthBox->setSingleStep(1000);
  m_pDepthBox->setGroupSeparatorShown(true);
  m_pDepthBox->setSuffix(QStringLiteral(" samples per channel"));
  m_pDepthBox->setKeyboardTracking(false);
  m_pDepthBox->setValue(static_cast<int>(m_store.Depth()));
  depthLabel->setBuddy(m_pDepthBox);
  bar->addWidget(depthLabel);
  bar->addWidget(m_pDepthBox);
  connect(m_pDepthBox, &QSpinBox::valueChanged, this, [this](int depth) {
    m_store.SetDepth(depth);
    SavePlotDepth(m_store.Depth());
    m_bStale = true;
  });

  m_pPlot = new QCustomPlot(this);
  m_pPlot->setObjectName(QStringLiteral("plot"));
  // Plain lines and one paint buffer: what keeps a frame of 16 channels of
  // thousands of points cheap (bench/plot_library.sh).
  m_pPlot->setNotAntialiasedElements(QCP::aeAll);
  m_pPlot->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
  m_pPlot->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
  m_pPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  m_pPlot->legend->setVisible(true);
  m_pPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
  m_pPlot->xAxis->setLabel(QStringLiteral("Sample"));
  connect(m_pPlot, &QCustomPlot::mousePress, this, &CPlotWindow::OnMousePress);
  connect(m_pPlot, &QCustomPlot::mouseWheel, this, [this] { m_bFollow = false; });
  connect(m_pPlot, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent* event) {
    if (m_pPlot->legend->selectTest(event->position(), false) < 0) ShowLive();
  });
  connect(m_pPlot, &QCustomPlot::legendClick, this,
          [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
            if (auto* entry = qobject_cast<QCPPlottableLegendItem*>(item)) {
              if (auto* graph = qobject_cast<QCPGraph*>(entry->plottable())) ToggleChannel(graph);
            }
          });

  m_pStatus = new QLabel(this);
  m_pStatus->setObjectName(QStringLiteral("plotStatus"));
  m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 4, 4);
  layout->addWidget(bar);
  layout->addWidget(m_pPlot, 1);
  layout->addWidget(m_pStatus);

  m_pFrameTimer = new QTimer(this);
  m_pFrameTimer->setInterval(kFrameMs);
  connect(m_pFrameTimer, &QTimer::timeout, this, &CPlotWindow::Collect);

  // The program ends with its main window, whether the plot is open or not.
  setAttribute(Qt::WA_QuitOnClose, false);
  m_bGeometryRestored = restoreGeometry(LoadPlotGeometry());
  if (!m_bGeometryRestored) resize(760, 440);
  UpdateStatus();
}

CPlotWindow::~CPlotWindow() { Listen(false); }

void CPlotWindow::ShowWindow() {
  show();
  raise();
  activateWindow();
}

void CPlotWindow::PlaceBeside(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (m_bGeometryRestored || screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  const QRect beside = window.frameGeometry();
  const int x = std::min(beside.right() + 1, available.right() + 1 - width());
  move(std::max(available.left(), x), std::max(available.top(), beside.top()));
}

void CPlotWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Listen(true);
  if (!event->spontaneous()) emit VisibilityChanged(true);
}

void CPlotWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) emit VisibilityChanged(false);
}

void CPlotWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CPlotWindow::closeEvent(QCloseEvent* event) {
  SavePlotGeometry(saveGeometry());
  Listen(false);
  QWidget::closeEvent(event);
}

// A closed window costs the receive path nothing: the feed is detached and
// the frame timer stops. What was kept stays for when it opens again.
void CPlotWindow::Listen(bool on) {
  if (on == m_bListening) return;
  m_bListening = on;
  if (on) {
    m_feed.Restart();
    m_pFrameTimer->start();
  } else {
    m_pFrameTimer->stop();
  }
  if (m_services.listen) m_services.listen(on);
}

void CPlotWindow::Clear() {
  m_feed.Restart();
  m_store.Clear();
  m_pPlot->clearGraphs();
  m_graphs.fill(nullptr);
  m_shown.fill(0);
  m_bFollow = true;
  m_bStale = false;
  m_pPlot->replot();
  UpdateStatus();
}

void CPlotWindow::Collect() {
  if (m_feed.TakeBatch(m_batch)) {
    m_store.Add(m_batch.samples, m_batch.dropped);
    m_store.AddSkipped(m_batch.skipped);
    m_store.AddNames(m_batch.names);
    m_bStale = true;
    UpdateStatus();
  }
  const bool seconds = m_services.secondsAxis && m_services.secondsAxis();
  if (seconds != m_bSeconds) m_bStale = true;
  if (m_bStale && !m_bPaused && NowMs() >= m_nNextDrawMs) Redraw();
}

void CPlotWindow::Redraw() {
  const std::int64_t start = NowMs();
  UpdateGraphs();
  m_pPlot->replot();
  m_bStale = false;
  const std::int64_t took = NowMs() - start;
  m_nNextDrawMs = start + static_cast<std::int64_t>(static_cast<double>(took) / kDrawShare);
}

double CPlotWindow::Key(const StoredSample& sample) const {
  return m_bSeconds ? static_cast<double>(sample.time - m_store.Origin()) / 1000.0
                    : static_cast<double>(sample.number);
}

QCPGraph* CPlotWindow::GraphFor(int channel) {
  if (m_graphs[channel] == nullptr) {
    QCPGraph* graph = m_pPlot->addGraph();
    graph->setPen(QPen(kChannelColours[channel], 1));
    graph->setAntialiased(false);
    m_graphs[channel] = graph;
    // The legend lists channels in order, whichever sent first.
    m_pPlot->legend->clearItems();
    for (QCPGraph* each : m_graphs) {
      if (each == nullptr) continue;
      each->addToLegend();
      if (QCPPlottableLegendItem* item = m_pPlot->legend->itemWithPlottable(each)) {
        item->setTextColor(each->visible() ? Qt::black : Qt::gray);
      }
    }
  }
  return m_graphs[channel];
}

void CPlotWindow::RebuildGraphs() {
  for (QCPGraph* graph : m_graphs) {
    if (graph) graph->data()->clear();
  }
  m_shown.fill(0);
}

// Only what came since the last frame joins a graph, and what the store let
// go leaves it: a frame costs the new samples, not all of them.
void CPlotWindow::UpdateGraphs() {
  const bool seconds = m_services.secondsAxis && m_services.secondsAxis();
  if (seconds != m_bSeconds) {
    m_bSeconds = seconds;
    m_pPlot->xAxis->setLabel(seconds ? QStringLiteral("Seconds") : QStringLiteral("Sample"));
    RebuildGraphs();
  }
  QVector<QCPGraphData> added;
  for (int c = 0; c < m_store.ChannelCount(); ++c) {
    const SampleRing& ring = m_store.Channel(c);
    if (ring.empty()) continue;
    QCPGraph* graph = GraphFor(c);
    // The text may name a channel later than its first sample, or rename it.
    const QString name = QString::fromStdString(m_store.ChannelName(c));
    if (graph->name() != name) graph->setName(name);
    std::size_t first = ring.size();
    while (first > 0 && ring[first - 1].number > m_shown[c]) --first;
    added.clear();
    added.reserve(static_cast<qsizetype>(ring.size() - first));
    for (std::size_t i = first; i < ring.size(); ++i) {
      added.append(QCPGraphData(Key(ring[i]), ring[i].value));
    }
    // Sample numbers only grow; the wall clock may be set back.
    graph->data()->add(added, !m_bSeconds);
    graph->data()->removeBefore(Key(ring[0]));
    m_shown[c] = ring.back().number;
    // A line needs two points: a lone sample is drawn as a dot.
    const bool lone = graph->dataCount() == 1;
    if (lone != (graph->scatterStyle().shape() != QCPScatterStyle::ssNone)) {
      graph->setScatterStyle(lone ? QCPScatterStyle(QCPScatterStyle::ssDisc, 6)
                                  : QCPScatterStyle());
    }
  }
  if (m_bFollow) {
    m_pPlot->xAxis->rescale(true);
    m_pPlot->yAxis->rescale(true);
    const QCPRange y = m_pPlot->yAxis->range();
    m_pPlot->yAxis->setRange(y.lower - 0.05 * y.size(), y.upper + 0.05 * y.size());
  }
}

void CPlotWindow::OnMousePress(QMouseEvent* event) {
  // Dragging the picture leaves the live view; a click on the legend does not.
  if (m_pPlot->legend->selectTest(event->position(), false) < 0) m_bFollow = false;
  UpdateStatus();
}

void CPlotWindow::ToggleChannel(QCPGraph* graph) {
  graph->setVisible(!graph->visible());
  if (QCPPlottableLegendItem* item = m_pPlot->legend->itemWithPlottable(graph)) {
    item->setTextColor(graph->visible() ? Qt::black : Qt::gray);
  }
  if (m_bFollow) UpdateGraphs();
  m_pPlot->replot();
}

void CPlotWindow::SetPaused(bool paused) {
  m_bPaused = paused;
  if (m_pPauseAction->isChecked() != paused) m_pPauseAction->setChecked(paused);
  if (!paused && m_bStale) Redraw();
  UpdateStatus();
}

void CPlotWindow::ShowLive() {
  m_bFollow = true;
  if (!m_bPaused) Redraw();
  UpdateStatus();
}

QString CPlotWindow::StatusText() const {
  int channels = 0;
  for (int c = 0; c < m_store.ChannelCount(); ++c) channels += m_store.Channel(c).empty() ? 0 : 1;
  QString text = QStringLiteral("%1 channels, %2 samples")
                     .arg(channels)
                     .arg(static_cast<qulonglong>(m_store.Received()));
  const SkipCounts& skipped = m_store.Skipped();
  QStringList parts;
  if (skipped.nNotFinite > 0) {
    parts << QStringLiteral("%1 NaN or infinite").arg(static_cast<qulonglong>(skipped.nNotFinite));
  }
  if (skipped.nOutOfRange > 0) {
    parts << QStringLiteral("%1 out of range").arg(static_cast<qulonglong>(skipped.nOutOfRange));
  }
  if (skipped.nBeyondChannels > 0) {
    parts << QStringLiteral("%1 beyond channel %2")
                 .arg(static_cast<qulonglong>(skipped.nBeyondChannels))
                 .arg(kMaxPlotChannels);
  }
  if (skipped.nDropped > 0) {
    parts << QStringLiteral("%1 dropped").arg(static_cast<qulonglong>(skipped.nDropped));
  }
  if (!parts.isEmpty())
    text += QStringLiteral("; not plotted: ") + parts.join(QStringLiteral(", "));
  if (m_bPaused) {
    text += QStringLiteral("; paused");
  } else if (!m_bFollow) {
    text += QStringLiteral("; double-click for the live view");
  }
  return text;
}

void CPlotWindow::UpdateStatus() {
  const QString text = StatusText();
  if (m_pStatus->text() != text) m_pStatus->setText(text);
}

void CPlotWindow::ExportCsv() {
  std::optional<QString> path;
  if (m_services.chooseCsvPath) {
    path = m_services.chooseCsvPath(this);
  } else {
    const QString chosen =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QString(),
                                     QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!chosen.isEmpty()) path = chosen;
  }
  if (!path) return;
  const std::string text = PlotCsv(m_store, m_bSeconds);
  // Written aside and renamed over the target: a failure leaves any file
  // that was there as it was.
  QSaveFile file(*path);
  const bool written = file.open(QIODevice::WriteOnly) &&
                       file.write(text.data(), static_cast<qint64>(text.size())) ==
                           static_cast<qint64>(text.size()) &&
                       file.commit();
  if (written) return;
  const std::string message = QFile::encodeName(*path).toStdString() +
                              "\n\nCannot write this file: " + file.errorString().toStdString() +
                              "\nThe plot keeps its samples; choose another file.";
  m_services.boxes.ShowPath(message, "Export CSV", MessageIcon::kError);
}

}  // namespace tarnwick
