// Redraw cost of a live plot: 8 channels of 10,000 points each, 100 new points
// per channel per frame (the window scrolls), 30 frames per second, in a real
// window. Prints the frames drawn and the process's CPU time against the wall
// clock; run under Xvfb by bench/plot_library.sh.
//
//   plot_library_<lib> [SECONDS]
//
// PLOT_BENCH_DEFAULTS=1: QCustomPlot with its default drawing settings
// instead of the plot window's (antialiased lines, three paint buffers).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef PLOT_WITH_QCUSTOMPLOT
#include <qcustomplot.h>
#else
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#endif

namespace {

constexpr int kChannels = 8;
constexpr int kPoints = 10'000;
constexpr int kNewPerFrame = 100;
constexpr int kFrameMs = 33;

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Channel c: c + 1 periods of a wave across the window, each with a ripple of
// 2 % of its height, as a sensor's noise. PLOT_BENCH_NOISY=1 makes the ripple
// fill the whole height, so every pixel column holds a full vertical stroke:
// the costliest picture a line plot can have.
const bool g_noisy = std::getenv("PLOT_BENCH_NOISY") != nullptr;

double Value(int channel, long sample) {
  const double wave = std::sin(sample * 6.2832 * (channel + 1) / kPoints) * (channel + 1);
  const double ripple = (g_noisy ? 1.0 : 0.02) * (channel + 1) * std::sin(sample * 1.9);
  return wave + ripple;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  long next = 0;

#ifdef PLOT_WITH_QCUSTOMPLOT
  const char* name = "QCustomPlot";
  QCustomPlot plot;
  plot.resize(900, 600);
  plot.legend->setVisible(true);
  // As the plot window draws: lines without antialiasing, fast polylines.
  if (std::getenv("PLOT_BENCH_DEFAULTS") == nullptr) {
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    // One paint buffer for every layer: each extra one costs a clear and a
    // blended copy of the whole window per frame.
    plot.layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
  }
  for (int c = 0; c < kChannels; ++c) {
    QCPGraph* graph = plot.addGraph();
    graph->setPen(QPen(QColor::fromHsv(c * 45, 220, 200), 1));
    if (std::getenv("PLOT_BENCH_DEFAULTS") == nullptr) graph->setAntialiased(false);
    graph->setName(QString("Channel %1").arg(c + 1));
  }
  for (; next < kPoints; ++next) {
    for (int c = 0; c < kChannels; ++c) plot.graph(c)->addData(next, Value(c, next));
  }
  auto frame = [&] {
    for (int i = 0; i < kNewPerFrame; ++i, ++next) {
      for (int c = 0; c < kChannels; ++c) plot.graph(c)->addData(next, Value(c, next));
    }
    for (int c = 0; c < kChannels; ++c) plot.graph(c)->data()->removeBefore(next - kPoints);
    plot.xAxis->setRange(next - kPoints, next);
    plot.yAxis->rescale();
    plot.replot();
  };
  plot.show();
#else
  const char* name = "Qt Charts";
  QChart* chart = new QChart;
  std::vector<QLineSeries*> series;
  std::vector<QList<QPointF> > points(kChannels);
  auto* xAxis = new QValueAxis;
  auto* yAxis = new QValueAxis;
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  for (int c = 0; c < kChannels; ++c) {
    auto* s = new QLineSeries;
    s->setName(QString("Channel %1").arg(c + 1));
    chart->addSeries(s);
    s->attachAxis(xAxis);
    s->attachAxis(yAxis);
    series.push_back(s);
  }
  for (; next < kPoints; ++next) {
    for (int c = 0; c < kChannels; ++c) points[c].append(QPointF(next, Value(c, next)));
  }
  QChartView view(chart);
  view.resize(900, 600);
  auto frame = [&] {
    for (int i = 0; i < kNewPerFrame; ++i, ++next) {
      for (int c = 0; c < kChannels; ++c) points[c].append(QPointF(next, Value(c, next)));
    }
    double low = 0, high = 0;
    for (int c = 0; c < kChannels; ++c) {
      points[c].remove(0, points[c].size() - kPoints);
      for (const QPointF& p : points[c]) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
      }
      series[c]->replace(points[c]);
    }
    xAxis->setRange(next - kPoints, next);
    yAxis->setRange(low, high);
    view.repaint();
  };
  view.show();
#endif

  QElapsedTimer wall;
  double cpuStart = 0;
  int frames = 0;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    frame();
    ++frames;
    if (wall.elapsed() >= seconds * 1000) app.quit();
  });
  // Measure after the window is up and has drawn once.
  QTimer::singleShot(500, [&] {
    wall.start();
    cpuStart = CpuSeconds();
    timer.start(kFrameMs);
  });
  app.exec();
  const double elapsed = wall.elapsed() / 1000.0;
  const double cpu = CpuSeconds() - cpuStart;
  std::printf(
      "%s: %d channels x %d points, %d frames in %.1f s (%.1f fps), CPU %.2f s = %.1f %% of one "
      "core\n",
      name, kChannels, kPoints, frames, elapsed, frames / elapsed, cpu, 100.0 * cpu / elapsed);
  return 0;
}
