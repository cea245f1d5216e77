// The counters strip that a transmitted byte repaints: as tall as the view's
// real line height, which a font with lfHeight 0 takes from the font; and the
// status bar's counters, told of every change with no timer of their own.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPaintEvent>
#include <cstdlib>
#include <vector>

#include "app_fixture.h"
#include "display/view/zerik_view.h"
#include "port/port_worker.h"
#include "port/qt/port_status_pane.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::WaitFor;

// Records the areas the view's viewport paints.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QWidget* target) { target->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      areas.push_back(static_cast<QPaintEvent*>(event)->region().boundingRect());
    return false;
  }
  // Processes events until nothing was painted for quietMs.
  void Settle(int quietMs = 150) {
    QElapsedTimer quiet;
    quiet.start();
    std::size_t seen = areas.size();
    while (quiet.elapsed() < quietMs) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (areas.size() != seen) {
        seen = areas.size();
        quiet.restart();
      }
    }
    areas.clear();
  }
  std::vector<QRect> areas;
};

TEST(CountersStrip, TransmittedByteRepaintsTheHeaderRowAtTheRealLineHeight) {
  for (const std::int32_t lfHeight : {0, -16, 24}) {
    SCOPED_TRACE(lfHeight);
    AppFixture fixture(true);
    SETTINGS settings = DefaultSettings();
    settings.lfFont.lfHeight = lfHeight;
    fixture.WriteConfig(settings);
    fixture.Start();
    ASSERT_TRUE(fixture.WaitForPortOpen());
    CZerikView& view = fixture.View();
    const int h = view.LineHeight();
    ASSERT_GT(h, 0);
    EXPECT_EQ(h,
              lfHeight != 0 ? std::abs(lfHeight) : QFontMetrics(view.DisplayFont()).lineSpacing());
    PaintRecorder recorder(view.viewport());
    recorder.Settle();

    static const std::uint8_t block[] = {'w'};
    fixture.Worker().HandOver(block, 1);
    EXPECT_EQ(fixture.Pty().Read(1, 3000).size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return !recorder.areas.empty(); }));
    // The whole header row, which holds the counters text "... / Write 1".
    EXPECT_EQ(recorder.areas.front(), QRect(0, 0, view.viewport()->width(), h));
    EXPECT_EQ(view.HeaderText(), "Bytes Read 0 / Write 1");
    // The status bar's counters are told with that frame; they have no timer.
    const QLabel* counters = fixture.Frame().PortPane()->CountersLabel();
    EXPECT_TRUE(WaitFor([&] { return counters->text() == QStringLiteral("Read 0 / Write 1"); }))
        << counters->text().toStdString();
  }
}

}  // namespace
}  // namespace tarnwick
