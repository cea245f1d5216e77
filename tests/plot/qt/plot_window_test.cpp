// The plot window in the running program, fed by the device simulator over a
// pseudo-terminal, and on its own: pausing, the live view, the legend, the
// kept depth and the CSV export.
#include "plot/qt/plot_window.h"

#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <stdlib.h>
#include <charconv>
#include <limits>

#include <QAction>
#include <QSpinBox>
#include <QTest>
#include <bit>
#include <cmath>
#include <csignal>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "app/app_fixture.h"
#include "app/child_process.h"
#include "app/command_table.h"
#include "app/private_profile.h"
#include "display/screen_model.h"
#include "support/recording_message_boxes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::ChildProcess;
using testing::PrivateProfile;
using testing::RecordingMessageBoxes;
using testing::WaitFor;

// The program on COM1 = the simulator sending one kind of message.
struct SimulatedProgram {
  SimulatedProgram(const char* messages, const SETTINGS& settings)
      : sim(TARNWICK_SIMULATOR, {"--messages", messages, "--rate", "4000"}, {}, "", true),
        fixture(false) {
    const std::string path = sim.ReadLine(5000);
    ::setenv("TARNWICK_COM1", path.c_str(), 1);
    fixture.WriteConfig(settings);
    fixture.Start();
  }
  CPlotWindow& OpenPlot() {
    fixture.Frame().Action(ID_VIEW_PLOT)->trigger();
    return *fixture.app->PlotWindow();
  }

  PrivateProfile profile;
  ChildProcess sim;
  AppFixture fixture;
};

bool AllWithin(const SampleRing& ring, double low, double high) {
  for (std::size_t i = 0; i < ring.size(); ++i) {
    if (!(ring[i].value >= low && ring[i].value <= high)) return false;
  }
  return !ring.empty();
}

TEST(PlotWindow, PlotsTheSimulatorsFloatFramesByColumnAndClearEmptiesIt) {
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatFloat;
  settings.nUnitLengthIndex = 3;
  settings.nColumns = 4;
  SimulatedProgram program("frames", settings);
  ASSERT_TRUE(program.fixture.WaitForPortOpen());
  CPlotWindow& plot = program.OpenPlot();
  EXPECT_TRUE(plot.isVisible());
  const ChannelStore& store = plot.Store();
  ASSERT_TRUE(WaitFor([&] { return store.Channel(3).size() >= 20; }, 10000));

  // Sync and sequence, temperature, humidity, supply voltage.
  EXPECT_EQ(store.ChannelCount(), 4);
  EXPECT_TRUE(AllWithin(store.Channel(1), 18.99, 24.01));
  EXPECT_TRUE(AllWithin(store.Channel(2), 36.99, 53.01));
  EXPECT_TRUE(AllWithin(store.Channel(3), 3.249, 3.351));
  ASSERT_TRUE(WaitFor([&] { return plot.Plot()->graphCount() == 4; }));
  EXPECT_GT(plot.Plot()->graph(2)->dataCount(), 0);

  program.fixture.Frame().Action(ID_CLEAR_SCREEN)->trigger();
  EXPECT_TRUE(store.Empty());
  EXPECT_EQ(plot.Plot()->graphCount(), 0);
  // Numbering starts again. Clear dropped a partial unit, so the screen may
  // now cut the frames elsewhere: the plot's columns are still the screen's.
  ASSERT_TRUE(WaitFor([&] { return store.Channel(3).size() >= 5; }, 10000));
  EXPECT_EQ(store.Channel(0)[0].number, 1u);
  program.sim.Signal(SIGSTOP);
  QTest::qWait(300);
  const std::vector<std::string> lines = program.fixture.View().Model().Lines();
  ASSERT_GE(lines.size(), 2u);
  std::vector<std::vector<std::string>> units;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    units.emplace_back(std::istream_iterator<std::string>(in),
                       std::istream_iterator<std::string>());
  }
  const std::size_t onLast = units.back().size();
  for (int c = 0; c < 4; ++c) {
    const std::string& shown =
        units[units.size() - (static_cast<std::size_t>(c) < onLast ? 1 : 2)][c];
    // As the screen shows it, whatever the user's locale says a decimal is.
    double value = std::numeric_limits<double>::quiet_NaN();
    std::from_chars(shown.data(), shown.data() + shown.size(), value);
    if (!std::isfinite(value)) continue;  // not plotted
    EXPECT_NEAR(store.Channel(c).back().value, value, std::max(1e-6, std::abs(value) * 1e-6)) << c;
  }
  program.sim.Signal(SIGCONT);
}

TEST(PlotWindow, PlotsTheNumbersInTheSimulatorsTextLines) {
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatText;
  settings.nUnitLengthIndex = 0;
  settings.nColumns = 0;
  SimulatedProgram program("text", settings);
  ASSERT_TRUE(program.fixture.WaitForPortOpen());
  CPlotWindow& plot = program.OpenPlot();
  const ChannelStore& store = plot.Store();
  ASSERT_TRUE(WaitFor([&] { return store.Channel(6).size() >= 10; }, 10000));

  // "SEQ 00012 TEMP +21.50 C HUM  45.0 %": fields 1, 3 and 6 are numbers.
  for (int c : {0, 2, 4, 5}) EXPECT_TRUE(store.Channel(c).empty()) << c;
  const SampleRing& sequence = store.Channel(1);
  for (std::size_t i = 1; i < sequence.size(); ++i) {
    EXPECT_EQ(sequence[i].value, sequence[i - 1].value + 1);
  }
  EXPECT_TRUE(AllWithin(store.Channel(3), 18.99, 24.01));
  EXPECT_TRUE(AllWithin(store.Channel(6), 36.9, 53.1));
  EXPECT_TRUE(plot.StatusText().startsWith(QStringLiteral("3 channels,")))
      << plot.StatusText().toStdString();

  // Esc closes it and View > Plot loses its check mark; closed, the window
  // takes nothing from the line; open again, it carries on.
  QAction* entry = program.fixture.Frame().Action(ID_VIEW_PLOT);
  EXPECT_TRUE(entry->isChecked());
  QTest::keyClick(&plot, Qt::Key_Escape);
  EXPECT_FALSE(plot.isVisible());
  EXPECT_FALSE(entry->isChecked());
  const std::uint64_t received = store.Received();
  QTest::qWait(300);
  EXPECT_EQ(plot.Store().Received(), received);
  EXPECT_EQ(program.fixture.Worker().m_pObserver.load(), nullptr);
  CPlotWindow& again = program.OpenPlot();
  EXPECT_EQ(&again, &plot);
  EXPECT_TRUE(entry->isChecked());
  ASSERT_TRUE(WaitFor([&] { return store.Received() > received; }, 10000));
  // The entry closes it too.
  entry->trigger();
  EXPECT_FALSE(plot.isVisible());
}

// ---- The window on its own, fed by hand --------------------------------------

struct LoneWindow {
  LoneWindow()
      : window(feed, CPlotWindow::Services{boxes, [this](bool on) { listening = on; },
                                           [this] { return seconds; },
                                           [this](QWidget*) { return csvPath; }}) {}

  void Receive(const std::vector<std::uint8_t>& bytes, const SETTINGS& settings) {
    ReadTime time = ReadTime::Now();
    time.wall = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(1'700'000'000'000 + 250 * reads++));
    record = settings;
    live.Publish();
    model.AddReceivedBytes(bytes.data(), bytes.size(), time, &feed);
  }
  void ReceiveText(const std::string& text) {
    SETTINGS settings = DefaultSettings();
    settings.nUnitFormatIndex = kFormatText;
    settings.nColumns = 0;
    Receive(std::vector<std::uint8_t>(text.begin(), text.end()), settings);
  }

  PrivateProfile profile;
  RecordingMessageBoxes boxes;
  PlotFeed feed;
  // The screen model the feed follows.
  SETTINGS record = DefaultSettings();
  LiveSettings live{record};
  ScreenModel model{live, nullptr};
  bool listening = false;
  bool seconds = false;
  std::optional<QString> csvPath;
  int reads = 0;
  CPlotWindow window;
};

// Whether the plot area (the legend aside) shows any pixel of the colour.
bool PlotShows(QCustomPlot& plot, const QColor& colour) {
  const QImage image = plot.toPixmap(plot.width(), plot.height(), 1.0).toImage();
  const QRect legend = plot.legend->outerRect();
  const QRect area = plot.axisRect()->rect();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (!legend.contains(x, y) && QColor(image.pixel(x, y)) == colour) return true;
    }
  }
  return false;
}

// Channels take the names the text gives them; a channel with a single
// sample (the first after Clear) is drawn as a dot.
TEST(PlotWindow, ChannelsAreNamedByTheTextAndALoneSampleShows) {
  LoneWindow lone;
  lone.window.resize(700, 400);
  lone.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&lone.window));
  QCustomPlot& plot = *lone.window.Plot();
  const struct {
    const char* lines;
    std::vector<std::string> names;  // by graph, in channel order
    bool cleared;                    // Clear first
  } cases[] = {
      {"temp=22 hum=40\r\n", {"temp", "hum"}, true},
      {"temp: 22, hum: 40\r\n", {"temp", "hum"}, true},
      {"x=1 5\r\nx=2 6\r\n", {"x", "Channel 2"}, true},
      {"7 y=8\r\n", {"x", "y"}, false},  // a name stays until the text gives another
  };
  for (const auto& c : cases) {
    if (c.cleared) lone.window.Clear();
    lone.ReceiveText(c.lines);
    lone.window.Collect();
    lone.window.ShowLive();  // drawn now, whenever the last frame was
    ASSERT_EQ(plot.graphCount(), static_cast<int>(c.names.size())) << c.lines;
    for (int g = 0; g < plot.graphCount(); ++g) {
      EXPECT_EQ(plot.graph(g)->name().toStdString(), c.names[static_cast<std::size_t>(g)])
          << c.lines;
    }
    EXPECT_TRUE(PlotShows(plot, plot.graph(0)->pen().color())) << c.lines;
  }
}

TEST(PlotWindow, CountsNaNAndInfinityInTheStatusLine) {
  LoneWindow lone;
  lone.window.show();
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatFloat;
  settings.nUnitLengthIndex = 3;
  settings.nColumns = 2;
  std::vector<std::uint8_t> bytes;
  for (float v : {1.0f, std::numeric_limits<float>::quiet_NaN(),
                  std::numeric_limits<float>::infinity(), 2.0f}) {
    const auto bits = std::bit_cast<std::uint32_t>(v);
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  lone.Receive(bytes, settings);
  lone.window.Collect();
  EXPECT_EQ(lone.window.StatusText(),
            QStringLiteral("2 channels, 2 samples; not plotted: 2 NaN or infinite"));
}

TEST(PlotWindow, PauseFreezesThePictureWhileSamplesKeepComing) {
  LoneWindow lone;
  lone.window.show();
  EXPECT_TRUE(lone.listening);
  lone.ReceiveText("1,10\r\n2,20\r\n");
  lone.window.Collect();
  ASSERT_EQ(lone.window.Plot()->graphCount(), 2);
  lone.window.findChild<QAction*>(QStringLiteral("plotPause"))->trigger();
  EXPECT_TRUE(lone.window.Paused());
  lone.ReceiveText("3,30\r\n");
  lone.window.Collect();
  EXPECT_EQ(lone.window.Store().Channel(0).size(), 3u);
  EXPECT_EQ(lone.window.Plot()->graph(0)->dataCount(), 2);
  EXPECT_TRUE(lone.window.StatusText().endsWith(QStringLiteral("; paused")));
  lone.window.SetPaused(false);
  EXPECT_EQ(lone.window.Plot()->graph(0)->dataCount(), 3);
  EXPECT_DOUBLE_EQ(lone.window.Plot()->xAxis->range().upper, 3);

  // With timestamps the x axis is in seconds from the first sample.
  lone.seconds = true;
  ASSERT_TRUE(WaitFor([&] { return lone.window.Plot()->xAxis->label() == "Seconds"; }));
  EXPECT_DOUBLE_EQ(lone.window.Plot()->xAxis->range().upper, 0.25);
  EXPECT_EQ(lone.window.Plot()->xAxis->label(), QStringLiteral("Seconds"));
}

TEST(PlotWindow, WheelLeavesTheLiveViewDoubleClickReturnsLegendTogglesChannels) {
  LoneWindow lone;
  lone.window.resize(700, 400);
  lone.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&lone.window));
  for (int i = 0; i < 50; ++i)
    lone.ReceiveText(std::to_string(i) + ";" + std::to_string(-i) + "\r\n");
  lone.window.Collect();
  QCustomPlot* plot = lone.window.Plot();
  const QPoint middle = plot->axisRect()->rect().center();
  QWheelEvent wheel(middle, plot->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(plot, &wheel);
  EXPECT_FALSE(lone.window.Live());
  const QCPRange zoomed = plot->xAxis->range();
  EXPECT_LT(zoomed.size(), 49);
  lone.ReceiveText("50;-50\r\n");
  lone.window.Collect();
  EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, zoomed.upper);  // the user's view stays
  QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, middle);
  EXPECT_TRUE(lone.window.Live());
  EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, 51);

  // A click on a channel in the legend hides it, another shows it again.
  QCPAbstractLegendItem* second = plot->legend->item(1);
  ASSERT_NE(second, nullptr);
  const QPoint onItem = second->rect().center();
  QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, onItem);
  EXPECT_FALSE(plot->graph(1)->visible());
  EXPECT_TRUE(lone.window.Live());
  QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, onItem);
  EXPECT_TRUE(plot->graph(1)->visible());
}

TEST(PlotWindow, DepthIsBoundedAndKeptInTheProfileWithTheGeometry) {
  {
    LoneWindow lone;
    auto* depth = lone.window.findChild<QSpinBox*>(QStringLiteral("plotDepth"));
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->value(), static_cast<int>(kDefaultPlotDepth));
    EXPECT_EQ(depth->maximum(), static_cast<int>(kMaxPlotDepth));
    depth->setValue(25);
    for (int i = 0; i < 40; ++i) lone.ReceiveText(std::to_string(i) + "\r\n");
    lone.window.Collect();
    EXPECT_EQ(lone.window.Store().Channel(0).size(), 25u);
    EXPECT_EQ(lone.profile.Value("Options/PlotDepth").toInt(), 25);
    lone.window.show();
    lone.window.close();
    EXPECT_FALSE(lone.listening);
    EXPECT_FALSE(lone.profile.Value("Options/PlotGeometry").toByteArray().isEmpty());
  }
  // A hand-edited profile beyond the bounds is brought back into them.
  PrivateProfile profile;
  RecordingMessageBoxes boxes;
  PlotFeed feed;
  for (const auto& [stored, kept] :
       {std::pair{-3, kMinPlotDepth}, std::pair{1'000'000'000, kMaxPlotDepth}}) {
    profile.SetValue("Options/PlotDepth", stored);
    CPlotWindow window(feed, CPlotWindow::Services{boxes, {}, {}, {}});
    EXPECT_EQ(window.Store().Depth(), kept) << stored;
  }
}

TEST(PlotWindow, ExportCsvWritesTheKeptSamplesAndReportsAFileItCannotWrite) {
  LoneWindow lone;
  lone.ReceiveText("1.5,2\r\n2.5\r\n");
  lone.window.Collect();
  testing::TempDir dir;
  lone.csvPath = QString::fromStdString((dir.path() / "samples.csv").string());
  lone.window.findChild<QAction*>(QStringLiteral("plotExport"))->trigger();
  std::ifstream in(dir.path() / "samples.csv", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "Sample,Channel 1,Channel 2\r\n1,1.5,2\r\n2,2.5,\r\n");
  EXPECT_TRUE(lone.boxes.shown.empty());

  // A directory where the file should go: a box names it, nothing is lost.
  lone.csvPath = QString::fromStdString(dir.path().string());
  lone.window.ExportCsv();
  ASSERT_EQ(lone.boxes.shown.size(), 1u);
  EXPECT_EQ(lone.boxes.shown[0].caption, "Export CSV");
  EXPECT_EQ(lone.boxes.shown[0].icon, MessageIcon::kError);
  EXPECT_NE(lone.boxes.shown[0].text.find(dir.path().string()), std::string::npos);
  EXPECT_NE(lone.boxes.shown[0].text.find("Cannot write this file"), std::string::npos);
  EXPECT_EQ(lone.window.Store().Channel(0).size(), 2u);

  // Cancelled: nothing written, nothing shown.
  lone.csvPath.reset();
  lone.window.ExportCsv();
  EXPECT_EQ(lone.boxes.shown.size(), 1u);
}

}  // namespace
}  // namespace tarnwick
