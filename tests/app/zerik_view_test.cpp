#include "display/view/zerik_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <atomic>
#include <thread>

#include "app/command_table.h"
#include "app_fixture.h"
#include "display/view/text_options_menu.h"
#include "logging_settings.h"
#include "port/port_worker.h"
#include "settings/qt/display_options_profile.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::WaitFor;

void Feed(CZerikView& view, const std::string& bytes) {
  view.Model().AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Paints the view into an image, as a paint event would.
QImage Paint(CZerikView& view) {
  QImage image(400, 300, QImage::Format_RGB32);
  QPainter painter(&image);
  view.OnDraw(painter, image.rect());
  return image;
}

// TEXT, one unit per line: every received byte is a line of its own.
SETTINGS OneCharacterLines(std::int32_t lfHeight) {
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 1;
  settings.lfFont.lfHeight = lfHeight;
  return settings;
}

// No header text from here on. The worker stops first: it looks for the
// missing device every 500 ms and writes its failure into the header each
// time, which could come between the clear and the paint.
void EmptyHeader(AppFixture& fixture) {
  fixture.Worker().Stop();
  fixture.Worker().Line().SetStatus("");
}

// 40 px a character, heights fixed, as the layout cases give them.
QSize MeasureByLetter(const QFontMetrics&, const QString& text) {
  return {40 * static_cast<int>(text.size()), 7};
}

TEST(ZerikViewLayout, NoLinesGivesHeaderOnlyScrollSize) {
  AppFixture fixture(false);
  fixture.WriteConfig(OneCharacterLines(-16));
  fixture.Start();
  Paint(fixture.View());
  EXPECT_EQ(fixture.View().ScrollSize(), QSize(20, 16));
}

TEST(ZerikViewLayout, ThreeLinesSizeTheScrollAreaAndTheLastLine) {
  AppFixture fixture(false);
  SETTINGS settings = OneCharacterLines(-16);
  settings.nColumns = 0;  // line mode: lines of 1, 3 and 2 characters
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  view.SetTextMeasure(&MeasureByLetter);
  Feed(view, "a\rbbb\rcc");
  Paint(view);
  EXPECT_EQ(view.ScrollSize(), QSize(140, 4 * 16));
  // The last line: left 10, top 3h, right twice the widest, bottom top + h + c.
  EXPECT_EQ(view.Model().LastLineRect(), (Rect{10, 48, 240, 48 + 16 + 7}));
}

// A frame draws the rows in sight, whatever the history holds, and the
// document still spans every line.
TEST(ZerikViewLayout, APaintDrawsOnlyTheRowsInSight) {
  AppFixture fixture(false);
  SETTINGS settings = OneCharacterLines(-16);
  settings.nRows = 100'000;
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  std::string bytes(100'000, 'x');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
  Feed(view, bytes);
  view.resize(400, 300);
  Paint(view);
  ASSERT_EQ(view.ScrollSize().height(), 100'001 * 16);
  const int h = 16;
  for (const int scroll : {0, 7, 800'008, 100'001 * 16 - 300}) {
    view.verticalScrollBar()->setValue(scroll);
    ASSERT_EQ(view.verticalScrollBar()->value(), scroll);
    Paint(view);  // 400 x 300 from the scroll position
    // Line i is the row from (i + 1) h; those reaching into the 300 rows in sight.
    std::size_t inSight = 0;
    for (long long i = 0; i < 100'000; ++i) {
      const long long top = (i + 1) * h;
      if (top + h > scroll && top < scroll + 300) ++inSight;
    }
    EXPECT_GE(view.RowsDrawn(), inSight) << scroll;
    EXPECT_LE(view.RowsDrawn(), inSight + 1) << scroll;
  }
}

// A line that never breaks must not make every paint shape the whole of it:
// past a few KiB it is sized by its character count and drawn only where seen.
TEST(ZerikViewLayout, LongLinesAreSizedByCountWithoutMeasuringThemWhole) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 0;  // TEXT line mode: no CR, no break
  settings.lfFont.lfHeight = -16;
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  qsizetype longestMeasured = 0;
  view.SetTextMeasure([&](const QFontMetrics&, const QString& text) {
    longestMeasured = std::max(longestMeasured, text.size());
    return QSize(5 * static_cast<int>(text.size()), 7);
  });
  Feed(view, "short\r");
  Feed(view, std::string(200000, 'x'));
  Paint(view);
  EXPECT_LE(longestMeasured, 4096);
  EXPECT_EQ(view.ScrollSize(), QSize(5 * 200000 + 20, 3 * 16));
  EXPECT_EQ(view.Model().LastLineRect(), (Rect{10, 32, 2 * 5 * 200000, 32 + 16 + 7}));

  // Scrolled far right, the stretch in sight is still drawn.
  view.resize(400, 300);
  view.horizontalScrollBar()->setValue(500000);
  QImage image(400, 300, QImage::Format_RGB32);
  QPainter painter(&image);
  view.OnDraw(painter, image.rect());
  painter.end();
  const QRgb background = image.pixel(0, 299);
  bool inked = false;
  for (int x = 0; x < 400 && !inked; ++x) {
    for (int y = 32; y < 48 && !inked; ++y) inked = image.pixel(x, y) != background;
  }
  EXPECT_TRUE(inked);
}

// The same layout either way: lines h apart, whatever the sign.
TEST(ZerikViewLayout, NegativeAndPositiveHeightLayOutAlike) {
  std::vector<QSize> sizes;
  for (std::int32_t lfHeight : {-16, 16}) {
    AppFixture fixture(false);
    fixture.WriteConfig(OneCharacterLines(lfHeight));
    fixture.Start();
    CZerikView& view = fixture.View();
    EXPECT_EQ(view.LineHeight(), 16);
    EmptyHeader(fixture);
    Feed(view, "abc");
    const QImage image = Paint(view);
    sizes.push_back(view.ScrollSize());
    EXPECT_EQ(sizes.back().height(), 4 * 16);
    // Line i is drawn from (i + 1) h: nothing is inked well below 4h.
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    for (int y = 4 * 16 + 4; y < image.height(); ++y) {
      for (int x = 0; x < 60; ++x) ASSERT_EQ(image.pixel(x, y), background) << x << "," << y;
    }
  }
  EXPECT_EQ(sizes[0].height(), sizes[1].height());
}

// A positive lfHeight is the cell: a line's glyphs, descenders included,
// stay within its h rows. A negative one is the character height,
// so the cell is taller and descenders reach into the next row.
TEST(ZerikViewLayout, DrawnCellOfTwentyFitsTheLineAndOfMinusTwentyExceedsIt) {
  for (const std::int32_t lfHeight : {20, -20}) {
    AppFixture fixture(false);
    SETTINGS settings = OneCharacterLines(lfHeight);
    settings.nColumns = 0;  // line mode: the whole text on one line
    std::snprintf(settings.lfFont.lfFaceName, sizeof settings.lfFont.lfFaceName,
                  "DejaVu Sans Mono");
    fixture.WriteConfig(settings);
    fixture.Start();
    CZerikView& view = fixture.View();
    EmptyHeader(fixture);
    EXPECT_EQ(QFontMetrics(view.DisplayFont()).height(), lfHeight > 0 ? 20 : 24);
    Feed(view, "Hgjy|_");
    const QImage image = Paint(view);
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) == background) continue;
        if (top < 0) top = y;
        bottom = y;
      }
    }
    EXPECT_GE(top, 20) << lfHeight;  // nothing above the line's cell (the header is empty)
    if (lfHeight > 0) {
      EXPECT_LT(bottom, 40) << lfHeight;
    } else {
      EXPECT_GE(bottom, 40) << lfHeight;
    }
  }
}

// lfHeight 0 would stack every line on the header: the font's own line
// spacing is used instead.
TEST(ZerikViewLayout, ZeroHeightFallsBackToTheFontsLineSpacing) {
  AppFixture fixture(false);
  fixture.WriteConfig(OneCharacterLines(0));
  fixture.Start();
  CZerikView& view = fixture.View();
  const int h = view.LineHeight();
  EXPECT_EQ(h, QFontMetrics(view.DisplayFont()).lineSpacing());
  EXPECT_GT(h, 0);
  Feed(view, "ab");
  Paint(view);
  EXPECT_EQ(view.ScrollSize().height(), 3 * h);
}

TEST(ZerikViewLayout, FontAndColoursComeFromTheSettings) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.crBackground = 0x00FF0000;  // blue, as 0x00BBGGRR
  settings.lfFont.lfHeight = -20;
  std::snprintf(settings.lfFont.lfFaceName, sizeof settings.lfFont.lfFaceName, "DejaVu Sans Mono");
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  EXPECT_EQ(view.DisplayFont().pixelSize(), 20);
  EXPECT_EQ(view.DisplayFont().family(), "DejaVu Sans Mono");
  const QImage image = Paint(view);
  EXPECT_EQ(QColor(image.pixel(399, 299)), QColor(0, 0, 255));
}

TEST(ZerikViewHeader, ShowsTheStatusWhileThePortIsClosed) {
  AppFixture fixture(false);
  fixture.Start();
  CZerikView& view = fixture.View();
  ASSERT_TRUE(WaitFor([&] { return !view.HeaderText().isEmpty(); }));
  EXPECT_TRUE(view.HeaderText().startsWith("Open Port FAILED !"))
      << view.HeaderText().toStdString();
  EXPECT_EQ(view.HeaderText().toStdString(), fixture.Worker().Line().Status());
  EXPECT_EQ(view.HeaderText().indexOf("Bytes Read"), -1);
}

TEST(ZerikViewHeader, CountsBytesReadAndWrittenWhileThePortIsOpen) {
  AppFixture fixture(true);
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  ASSERT_TRUE(fixture.Pty().Write(std::string("12345")));
  ASSERT_TRUE(WaitFor([&] { return fixture.Worker().m_nBytesRead.load() == 5; }));
  static const std::uint8_t block[] = {'x', 'y', 'z'};
  fixture.Worker().HandOver(block, 3);
  EXPECT_EQ(fixture.Pty().Read(3, 3000).size(), 3u);
  ASSERT_TRUE(WaitFor([&] { return fixture.Worker().TxBuffer() == nullptr; }));
  EXPECT_EQ(fixture.View().HeaderText(), "Bytes Read 5 / Write 3");
}

struct CopyCase {
  const char* name;
  std::string received;  // TEXT line mode: CR ends a line
  QString clipboard;
};

TEST(ZerikViewCopyAll, PutsEveryLineWithCrLfOnTheClipboard) {
  const CopyCase cases[] = {
      {"empty screen", "", ""},
      {"two lines", "AB\r\nPQ", "AB\r\nPQ\r\n"},
      {"percent signs copied as they are", "100% and %s", "100% and %s\r\n"},
      {"bytes above 127 one character each", "caf\xE9\xFF", QString::fromLatin1("caf\xE9\xFF\r\n")},
      {"the code page's own characters", "\x80\x93x\x94\x81",
       QString::fromUtf8("\u20AC\u201Cx\u201D\u0081\r\n")},
      {"a zero byte ends the text", std::string("A\0B\r\nC", 6), "A"},
  };
  for (const CopyCase& c : cases) {
    AppFixture fixture(false);
    SETTINGS settings = DefaultSettings();
    settings.nColumns = 0;
    fixture.WriteConfig(settings);
    fixture.Start();
    Feed(fixture.View(), c.received);
    QApplication::clipboard()->setText("stale");
    fixture.View().OnCopyAll();
    EXPECT_EQ(QApplication::clipboard()->text(), c.clipboard) << c.name;
  }
}

// A device's log in UTF-8 with ANSI colours, received in pieces cut inside
// characters and escape sequences, read with View > Text > UTF-8 and ANSI
// colours: Copy All and the text log hold its text without the sequences,
// and the colours are drawn.
TEST(ZerikViewCopyAll, ColouredUtf8LogCopiesAsItsText) {
  // Every test of this program shares the profile: it gets its options back.
  struct ProfileGuard {
    DisplayOptions saved = LoadDisplayOptions();
    ~ProfileGuard() { SaveDisplayOptions(saved); }
  } guard;
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 0;
  settings.bSaveText = 1;
  const std::string logPath = fixture.dir.File("text.log");
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", logPath.c_str());
  fixture.WriteConfig(settings);
  fixture.Start();
  for (int id : {ID_VIEW_TEXT_UTF8, ID_VIEW_TEXT_ANSI_COLOURS})
    fixture.Frame().Action(id)->trigger();

  const std::string received =
      "\x1B[32mI (31) boot: \xE2\x9C\x93 ready\x1B[0m\r\n"
      "\x1B[1;31mE (42) wifi: \xC3\xA9"
      "chec \xE2\x80\x94 \xE4\xB8\xAD\xE6\x96\x87\x1B[0m\r\n"
      "\x1B]0;sensor\x07temp=21.5\xC2\xB0"
      "C\x1B[K\r\n";
  CZerikView& view = fixture.View();
  for (std::size_t at = 0, n = 1; at < received.size(); at += n, n = n % 5 + 1) {
    Feed(view, received.substr(at, n));
  }
  const QString text = QString::fromUtf8(
      "I (31) boot: \u2713 ready\r\nE (42) wifi: \u00E9"
      "chec \u2014 \u4E2D\u6587\r\n"
      "temp=21.5\u00B0"
      "C\r\n\r\n");
  QApplication::clipboard()->setText("stale");
  view.OnCopyAll();
  EXPECT_EQ(QApplication::clipboard()->text(), text);

  // The error line's ink is red.
  const QImage image = Paint(view);
  const int h = view.LineHeight();
  bool red = false;
  for (int y = 2 * h; y < 3 * h && y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      red = red || (pixel.red() > 140 && pixel.green() < 90 && pixel.blue() < 90);
    }
  }
  EXPECT_TRUE(red);

  // Line mode: the log holds the lines' text one after the other, in UTF-8.
  view.OnClearScreen();
  const std::vector<unsigned char> log = testing::ReadBytes(logPath);
  EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(log.data()),
                              static_cast<qsizetype>(log.size())),
            QString(text).remove(QStringLiteral("\r\n")));

  // The menu's entries are known by the names they show.
  QStringList names;
  QAccessibleInterface* menu =
      QAccessible::queryAccessibleInterface(fixture.Frame().TextMenu()->Menu());
  ASSERT_NE(menu, nullptr);
  for (int i = 0; i < menu->childCount(); ++i) names << menu->child(i)->text(QAccessible::Name);
  names.removeAll(QString());  // the separator
  EXPECT_EQ(names, (QStringList{"Encoding", "ANSI colours", "Show control characters",
                                "Keep escapes in text log"}));
}

TEST(ZerikViewClear, EmptiesTheScreenResetsCountersAndLogsThePendingLineOnce) {
  AppFixture fixture(true);
  SETTINGS settings = testing::HexLoggingSettings(fixture.dir, false, true);
  settings.nColumns = 2;
  const std::string log = fixture.dir.File("text.log");
  fixture.WriteConfig(settings);
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  ASSERT_TRUE(fixture.Pty().Write(std::vector<std::uint8_t>{0x01, 0x02, 0x03}));
  CZerikView& view = fixture.View();
  ASSERT_TRUE(WaitFor([&] { return view.Model().LineCount() == 2; }));
  EXPECT_EQ(view.HeaderText(), "Bytes Read 3 / Write 0");

  fixture.Frame().Action(147)->trigger();
  EXPECT_EQ(view.Model().LineCount(), 0u);
  EXPECT_EQ(view.HeaderText(), "Bytes Read 0 / Write 0");
  const std::vector<unsigned char> expected = {' ', '0', '1', ' ', '0', '2', ' ', '0', '3'};
  EXPECT_EQ(testing::ReadBytes(log), expected);

  view.OnClearScreen();  // nothing pending: nothing written again
  EXPECT_EQ(testing::ReadBytes(log), expected);
}

// The worker asks for repaints per unit; the view turns a flood of them into
// a paint per frame.
TEST(ZerikViewRepaint, AFloodOfRequestsCostsAFewPaints) {
  AppFixture fixture(false);
  fixture.Start();
  CZerikView& view = fixture.View();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.Frame()));
  WaitFor([] { return false; }, 100);  // let start-up paints settle

  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  view.viewport()->installEventFilter(&counter);
  std::thread worker([&view] {
    for (int i = 0; i < 20000; ++i) {
      view.InvalidateRect(Rect{10, 16, 200, 40});
      if (i % 1000 == 0) view.InvalidateAll();
    }
  });
  worker.join();
  WaitFor([] { return false; }, 200);
  view.viewport()->removeEventFilter(&counter);
  EXPECT_GE(counter.paints, 1);
  EXPECT_LE(counter.paints, 3);
}

// Units that join the last line between two frames may carry it past the
// rectangle the previous paint measured; the next frame still shows all of it.
TEST(ZerikViewRepaint, ALineThatGrewBetweenFramesIsRepaintedToItsEnd) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 0;  // TEXT line mode: one line that keeps growing
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.Frame()));
  Feed(view, "A");
  WaitFor([] { return false; }, 100);  // the new line's whole-view paint

  struct PaintRecorder : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
      return false;
    }
  } recorder;
  view.viewport()->installEventFilter(&recorder);
  Feed(view, "BCDEFGHIJKLMNOPQRSTU");
  WaitFor([] { return false; }, 100);
  view.viewport()->removeEventFilter(&recorder);

  const QFontMetrics metrics(view.DisplayFont());
  const int h = view.LineHeight();
  const QRect line(10, h, metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTU"), h);
  ASSERT_LE(line.right(), view.viewport()->width());
  EXPECT_EQ(recorder.painted.intersected(line), QRegion(line))
      << recorder.painted.boundingRect().right();
}

// Paint events of the view's viewport and what they painted, while it is
// installed.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(CZerikView& view) : m_view(view) {
    m_view.viewport()->installEventFilter(this);
  }
  ~PaintRecorder() override { m_view.viewport()->removeEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      painted += static_cast<QPaintEvent*>(event)->region();
    }
    return false;
  }
  int paints = 0;
  QRegion painted;

 private:
  CZerikView& m_view;
};

void Settle(int ms = 150) {
  WaitFor([] { return false; }, ms);
}

// However fast the worker asks, frames come at most every kFrameIntervalMs.
TEST(ZerikViewRepaint, AStreamOfChangesIsPaintedAtMostSixtyTimesASecond) {
  AppFixture fixture(false);
  fixture.Start();
  CZerikView& view = fixture.View();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.Frame()));
  Settle();
  QElapsedTimer elapsed;
  elapsed.start();
  PaintRecorder recorder(view);
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop.load()) {
      view.InvalidateRect(Rect{10, 16, 200, 40});
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  Settle(400);
  stop.store(true);
  worker.join();
  Settle();
  EXPECT_GE(recorder.paints, 1);
  EXPECT_LE(recorder.paints, elapsed.elapsed() / CZerikView::kFrameIntervalMs + 1);
}

// A quiet view is not painted, and neither is a request to show again what
// the whole view shows (the worker asks for the missing port's text every
// retry); a change is.
TEST(ZerikViewRepaint, WhatIsShownAlreadyIsNotPaintedAgain) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.Frame()));
  ASSERT_TRUE(WaitFor([&] { return !view.HeaderText().isEmpty(); }));
  Settle();
  {
    PaintRecorder recorder(view);
    view.InvalidateAll();
    view.InvalidateCounters();
    Settle(1200);  // two retries of the missing port
    EXPECT_EQ(recorder.paints, 0);
  }
  PaintRecorder recorder(view);
  Feed(view, "\x41");
  Settle();
  EXPECT_GE(recorder.paints, 1);
}

// Showing the times changes nothing in the lines, yet the view looks
// different: the request that follows the option is painted, gutter and all.
TEST(ZerikViewRepaint, TheTimeGutterComingOrGoingIsPainted) {
  AppFixture fixture(false);
  fixture.Start();
  CZerikView& view = fixture.View();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.Frame()));
  Feed(view, "AB");
  Settle();
  for (const bool shown : {true, false}) {
    PaintRecorder recorder(view);
    fixture.app->m_Options.bShowTimestamps = shown;
    fixture.app->SettingsChanged();
    Settle();
    const QRect firstLine(10, view.LineHeight(), 40, view.LineHeight());
    EXPECT_TRUE((QRegion(firstLine) - recorder.painted).isEmpty()) << shown;
  }
}

// A whole-view request repaints the rows with text and the rows new lines
// took, not the background beyond them; a new background colour is painted
// everywhere.
TEST(ZerikViewRepaint, TheWholeViewIsRepaintedWhereTextMayBe) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.nColumns = 4;
  fixture.WriteConfig(settings);
  fixture.Start();
  CZerikView& view = fixture.View();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.Frame()));
  Feed(view, std::string(8, '\x11'));
  Settle();

  PaintRecorder recorder(view);
  Feed(view, std::string(12, '\x22'));  // three more lines, each a whole-view request
  Settle();
  const int h = view.LineHeight();
  const int width = QFontMetrics(view.DisplayFont()).horizontalAdvance(" 22 22 22 22");
  const QRect newLines(10, 3 * h, width, 3 * h);
  ASSERT_LT(newLines.bottom(), view.viewport()->height());
  EXPECT_TRUE((QRegion(newLines) - recorder.painted).isEmpty());
  const QPoint farCorner(view.viewport()->width() - 1, view.viewport()->height() - 1);
  EXPECT_FALSE(recorder.painted.contains(farCorner));

  recorder.painted = QRegion();
  fixture.app->m_Settings.crBackground = 0x00332211;
  fixture.app->SettingsChanged();
  Settle();
  EXPECT_TRUE((QRegion(view.viewport()->rect()) - recorder.painted).isEmpty());
}

}  // namespace
}  // namespace tarnwick
