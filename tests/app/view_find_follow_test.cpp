// Find, selection and following in the running window: Ctrl+F opens the bar,
// the text typed finds its matches, F3 and Shift+F3 step through them and
// wrap, Esc closes; a drag over the text or the margin selects, Ctrl+Shift+C
// copies; a scrollback far larger than the window follows while at the end,
// stops when scrolled up (the status bar says so), and follows again with End.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <string>

#include "app/app_fixture.h"
#include "app/main_frame.h"
#include "display/view/find_bar.h"
#include "display/view/zerik_view.h"

namespace tarnwick {
namespace {

using testing::AppFixture;

// Received bytes, then a paint, which lays the lines out and sizes the document.
void Feed(CZerikView& view, const std::string& bytes) {
  view.Model().AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  QImage image(view.viewport()->size(), QImage::Format_RGB32);
  QPainter painter(&image);
  view.OnDraw(painter, image.rect());
}

// columns 0: TEXT line mode, CR ends a line; 1: every byte is a line.
void StartWithLines(AppFixture& fixture, const std::string& bytes, std::int32_t columns = 0) {
  SETTINGS settings = DefaultSettings();
  settings.nColumns = columns;
  settings.nRows = 5000;
  settings.lfFont.lfHeight = -16;
  fixture.WriteConfig(settings);
  fixture.Start();
  Feed(fixture.View(), bytes);
  // Keys reach the window's shortcuts only while it is active.
  fixture.Frame().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&fixture.Frame()));
}

TEST(ViewFind, CtrlFThenF3AndShiftF3StepThroughTheMatches) {
  AppFixture fixture(false);
  StartWithLines(fixture, "alpha\rERR one\rbeta\rerr two\r");
  CFindBar* bar = fixture.Frame().FindBar();
  QTest::keyClick(&fixture.Frame(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(bar->isVisibleTo(&fixture.Frame()));
  QTest::keyClicks(bar->Edit(), "err");
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* position;
  } steps[] = {
      {Qt::Key_unknown, Qt::NoModifier, "1 of 2"},  // typing finds the first
      {Qt::Key_F3, Qt::NoModifier, "2 of 2"},
      {Qt::Key_F3, Qt::NoModifier, "1 of 2  (wrapped round)"},
      {Qt::Key_F3, Qt::ShiftModifier, "2 of 2  (wrapped round)"},
      {Qt::Key_F3, Qt::ShiftModifier, "1 of 2"},
  };
  for (const auto& s : steps) {
    if (s.key != Qt::Key_unknown) QTest::keyClick(&fixture.Frame(), s.key, s.modifiers);
    EXPECT_EQ(bar->PositionLabel()->text().toStdString(), s.position);
  }
  // Going to a match stops following; "Match case" leaves one match.
  EXPECT_FALSE(fixture.View().Follower().Following());
  bar->MatchCaseBox()->click();
  EXPECT_EQ(bar->PositionLabel()->text().toStdString(), "1 of 1");
  QTest::keyClick(bar->Edit(), Qt::Key_Escape);
  EXPECT_FALSE(bar->isVisibleTo(&fixture.Frame()));
}

TEST(ViewSelection, ADragSelectsTextOrWholeLinesAndCtrlShiftCCopiesIt) {
  AppFixture fixture(false);
  StartWithLines(fixture, "alpha\rbeta\rgamma\r");
  CZerikView& view = fixture.View();
  const int h = view.LineHeight();
  const int advance = QFontMetrics(view.DisplayFont()).horizontalAdvance(QLatin1Char('0'));
  // Line i is drawn from (i + 1) h, its text from x = 10.
  const auto at = [&](int column, int line) {
    return QPoint(10 + column * advance + 1, (line + 1) * h + h / 2);
  };
  const struct {
    const char* name;
    QPoint from, to;
    const char* copied;
  } drags[] = {
      {"a stretch over two lines", at(1, 0), at(2, 1), "lpha\r\nbe"},
      {"backwards on one line", at(4, 2), at(1, 2), "amm"},
      {"whole lines from the margin", QPoint(2, 2 * h + 2), QPoint(2, 3 * h + 2),
       "beta\r\ngamma\r\n"},
  };
  for (const auto& d : drags) {
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, d.from);
    QTest::mouseMove(view.viewport(), d.to);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, d.to);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&fixture.Frame(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), d.copied) << d.name;
  }
}

TEST(ViewFollow, FollowsAtTheEndPausesWhenScrolledUpAndResumesWithEnd) {
  AppFixture fixture(false);
  StartWithLines(fixture, std::string(200, 'x'), 1);
  CZerikView& view = fixture.View();
  QScrollBar* bar = view.verticalScrollBar();
  QLabel* paused = fixture.Frame().FollowPane();

  const struct {
    const char* step;
    int key;  // 0: none
    bool following;
  } steps[] = {
      {"new lines", 0, true},
      {"Page Up", Qt::Key_PageUp, false},
      {"new lines while scrolled up", 0, false},
      {"End", Qt::Key_End, true},
      {"new lines after End", 0, true},
  };
  for (const auto& s : steps) {
    const int before = bar->value();
    if (s.key != 0) {
      QTest::keyClick(&view, static_cast<Qt::Key>(s.key));
    } else {
      Feed(view, std::string(100, 'x'));
    }
    EXPECT_GT(bar->maximum(), 0) << s.step;
    if (s.following) {
      EXPECT_EQ(bar->value(), bar->maximum()) << s.step;
    } else if (s.key == 0) {
      EXPECT_EQ(bar->value(), before) << s.step;  // the lines being read stay put
    } else {
      EXPECT_LT(bar->value(), bar->maximum()) << s.step;
    }
    EXPECT_EQ(paused->isVisibleTo(&fixture.Frame()), !s.following) << s.step;
  }
}

}  // namespace
}  // namespace tarnwick
