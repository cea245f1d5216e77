// The options in the running program: the time gutter's layout, scroll size
// and colour, Copy All with times, and a pause on a real pseudo-terminal
// that starts a new line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/app_fixture.h"
#include "display/line_timestamp.h"
#include "display/view/timestamp_gutter.h"
#include "display/view/zerik_view.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::WaitFor;
using namespace std::string_literals;

constexpr LineTime kEpochMs = 1'700'000'000'000;

ReadTime At(std::int64_t ms) {
  return {std::chrono::system_clock::time_point(std::chrono::milliseconds(kEpochMs + ms)),
          std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms))};
}

void Feed(CZerikView& view, const std::string& bytes, std::int64_t ms) {
  view.Model().AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                At(ms));
}

QImage Paint(CZerikView& view) {
  QImage image(400, 300, QImage::Format_RGB32);
  QPainter painter(&image);
  view.OnDraw(painter, image.rect());
  return image;
}

void SetOptions(AppFixture& fixture, const DisplayOptions& options) {
  fixture.app->m_Options = options;
  fixture.app->PublishSettings();
}

// TEXT, one character per line, lines 16 px apart, black on white.
void StartOneCharacterLines(AppFixture& fixture) {
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 1;
  settings.lfFont.lfHeight = -16;
  std::snprintf(settings.lfFont.lfFaceName, sizeof settings.lfFont.lfFaceName, "DejaVu Sans Mono");
  fixture.WriteConfig(settings);
  fixture.Start();
  // The header stays empty, so only lines are inked.
  ASSERT_TRUE(WaitFor([&] { return !fixture.Worker().Line().Status().empty(); }));
  fixture.Worker().Line().SetStatus("");
}

// Darkest pixel (black on white: the lowest grey) in a rectangle; 255 when
// nothing is inked.
int Darkest(const QImage& image, const QRect& area) {
  int darkest = 255;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      darkest = std::min(darkest, qGray(image.pixel(x, y)));
    }
  }
  return darkest;
}

TEST(TimestampGutter, LayoutScrollSizeAndColour) {
  AppFixture fixture(false);
  StartOneCharacterLines(fixture);
  CZerikView& view = fixture.View();
  Feed(view, "abc", 0);
  // Each character 5 px wide, 7 px tall: the gutter ("00:00:00.000 ") is 65 px.
  view.SetTextMeasure([](const QFontMetrics&, const QString& text) {
    return QSize(5 * static_cast<int>(text.size()), 7);
  });
  const struct {
    DisplayOptions options;
    int gutter;
  } cases[] = {{{false, false, 0}, 0}, {{true, false, 0}, 65}, {{false, true, 0}, 0}};
  for (const auto& c : cases) {
    SetOptions(fixture, c.options);
    Paint(view);
    EXPECT_EQ(view.ScrollSize(), QSize(5 + 20 + c.gutter, 4 * 16));
    // The last line: left 10, top 3h, right twice the widest plus the gutter.
    EXPECT_EQ(view.Model().LastLineRect(), (Rect{10, 48, 2 * 5 + c.gutter, 48 + 16 + 7}));
  }

  // With real metrics: grey digits in the gutter, never darker than halfway
  // between black and white, and the line's text right of them in black.
  view.SetTextMeasure({});
  const QFontMetrics metrics(view.DisplayFont());
  const int stamp = metrics.horizontalAdvance("00:00:00.000");
  const int blank = metrics.horizontalAdvance(" ");
  const QRect gutter(10, 16, stamp, 16);
  const QRect text(10 + stamp + blank, 16, blank, 16);
  SetOptions(fixture, {false, false, 0});
  QImage image = Paint(view);
  EXPECT_LT(Darkest(image, QRect(10, 16, blank, 16)), 64) << "the text starts at 10";
  EXPECT_EQ(Darkest(image, text), 255);
  SetOptions(fixture, {true, false, 0});
  image = Paint(view);
  const int dimmed = qGray(TimestampGutter::Dimmed(Qt::black, Qt::white).rgb());
  EXPECT_LT(Darkest(image, gutter), 200);
  EXPECT_GE(Darkest(image, gutter), dimmed - 2);
  EXPECT_LT(Darkest(image, text), 64);
}

// The view draws lines and times from cells where its device lets it (an
// RGB32 image), as text elsewhere (an unpremultiplied ARGB32 image): both
// look alike, gutter included.
TEST(TimestampGutter, FromCellsLooksAsDrawnText) {
  AppFixture fixture(false);
  StartOneCharacterLines(fixture);
  CZerikView& view = fixture.View();
  Feed(view, "a0", 3'723'456);
  SetOptions(fixture, {true, false, 0});
  QImage images[2];
  const QImage::Format formats[2] = {QImage::Format_RGB32, QImage::Format_ARGB32};
  for (int i = 0; i < 2; ++i) {
    images[i] = QImage(300, 60, formats[i]);
    QPainter painter(&images[i]);
    view.OnDraw(painter, images[i].rect());
  }
  const QImage cells = images[0];
  const QImage text = images[1].convertToFormat(QImage::Format_RGB32);
  EXPECT_LT(Darkest(cells, QRect(10, 16, 60, 32)), 200) << "stamps in the gutter";
  int largest = 0;
  for (int y = 16; y < 48; ++y) {
    for (int x = 0; x < cells.width(); ++x) {
      const QRgb p = cells.pixel(x, y);
      const QRgb q = text.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  }
  EXPECT_LE(largest, 2);
}

// Copy All follows the log option, not the gutter's.
TEST(TimestampCopyAll, TheLogOptionPutsTimesBeforeTheLines) {
  AppFixture fixture(false);
  fixture.Start();
  Feed(fixture.View(), "AB", 2500);
  const std::string stamp = TimestampFormatter().Text(kEpochMs + 2500);
  for (const auto& [options, clipboard] :
       {std::pair{DisplayOptions{true, false, 0}, "AB\r\n"s},
        std::pair{DisplayOptions{false, true, 0}, stamp + " AB\r\n"}}) {
    SetOptions(fixture, options);
    fixture.View().OnCopyAll();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), clipboard);
  }
}

// A real worker on a real line: the second packet comes well after the first
// was read, so the reads are at least that far apart whatever the load.
TEST(PauseLineBreak, APauseOnTheLineStartsANewLine) {
  AppFixture fixture(true);
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 0;  // TEXT line mode: only CR would end a line
  fixture.WriteConfig(settings);
  fixture.Start();
  SetOptions(fixture, {false, false, 50});
  ASSERT_TRUE(fixture.WaitForPortOpen());
  ASSERT_TRUE(fixture.Pty().Write(std::string("AB")));
  ASSERT_TRUE(WaitFor([&] { return fixture.Worker().m_nBytesRead.load() == 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  ASSERT_TRUE(fixture.Pty().Write(std::string("CD")));
  // Counted first, then shown: wait for the screen.
  ScreenModel& model = fixture.View().Model();
  ASSERT_TRUE(WaitFor([&] { return model.Lines().size() == 2 && model.Lines()[1] == "CD"; }))
      << model.Lines().size();
  EXPECT_EQ(model.Lines()[0], "AB");
  const std::vector<LineTime> times = model.LineTimes();
  ASSERT_EQ(times.size(), 2u);
  EXPECT_GE(times[1] - times[0], 100);  // the wall clock, unless it was set meanwhile
}

}  // namespace
}  // namespace tarnwick
