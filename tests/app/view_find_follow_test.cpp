// Find, selection and following in the running window: Ctrl+F opens the bar,
// the text typed finds its matches (the newest first while following), F3
// and Shift+F3 step through them and wrap, Esc closes; a drag over the text
// or the margin selects, Ctrl+Shift+C copies; a scrollback far larger than
// the window follows while at the end, stops when scrolled up or by a Find
// jump (the status bar says so), and follows again with End or after Clear.
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
#include <functional>
#include <string>

#include "app/app_fixture.h"
#include "app/command_table.h"
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
      // Typing in a view that follows finds the newest.
      {Qt::Key_unknown, Qt::NoModifier, "2 of 2"},
      {Qt::Key_F3, Qt::NoModifier, "1 of 2  (wrapped round)"},
      {Qt::Key_F3, Qt::NoModifier, "2 of 2"},
      {Qt::Key_F3, Qt::ShiftModifier, "1 of 2"},
      {Qt::Key_F3, Qt::ShiftModifier, "2 of 2  (wrapped round)"},
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

TEST(ViewSelection, ADragSelectsTextOrWholeLinesAndCtrlCOrCtrlShiftCCopiesIt) {
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
  // Ctrl+C copies the selection while there is one, as Copy Selection does.
  for (const auto& d : drags) {
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, d.from);
    QTest::mouseMove(view.viewport(), d.to);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, d.to);
    for (const Qt::KeyboardModifiers keys :
         {Qt::ControlModifier | Qt::ShiftModifier, Qt::KeyboardModifiers(Qt::ControlModifier)}) {
      QGuiApplication::clipboard()->clear();
      QTest::keyClick(&fixture.Frame(), Qt::Key_C, keys);
      EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), d.copied) << d.name;
    }
  }
  // A click selects nothing: Ctrl+C copies all, and so does Copy All's entry
  // with a selection.
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at(1, 0));
  QTest::keyClick(&fixture.Frame(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "alpha\r\nbeta\r\ngamma\r\n");
  QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, at(1, 0));
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, at(3, 0));
  QGuiApplication::clipboard()->clear();
  fixture.Frame().Action(ID_COPY_ALL)->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "alpha\r\nbeta\r\ngamma\r\n");
}

TEST(ViewFollow, FollowsAtTheEndPausesWhenScrolledUpAndResumesWithEndOrClear) {
  AppFixture fixture(false);
  StartWithLines(fixture, std::string(200, 'x'), 1);
  CZerikView& view = fixture.View();
  QScrollBar* bar = view.verticalScrollBar();
  QLabel* paused = fixture.Frame().FollowPane();
  CFindBar* find = fixture.Frame().FindBar();
  const auto key = [&](QWidget* to, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    return [=] { QTest::keyClick(to, k, mods); };
  };
  const auto lines = [&] { Feed(view, std::string(100, 'x')); };

  enum class Where { kEnd, kStays, kAway, kAnywhere };
  const struct {
    const char* step;
    std::function<void()> act;
    bool following;
    Where where;
  } steps[] = {
      {"new lines", lines, true, Where::kEnd},
      {"Page Up", key(&view, Qt::Key_PageUp), false, Where::kAway},
      {"new lines while scrolled up", lines, false, Where::kStays},
      {"End", key(&view, Qt::Key_End), true, Where::kEnd},
      {"new lines after End", lines, true, Where::kEnd},
      {"a Find jump",
       [&] {
         QTest::keyClick(&fixture.Frame(), Qt::Key_F, Qt::ControlModifier);
         QTest::keyClicks(find->Edit(), "x");
       },
       false, Where::kAnywhere},
      {"new lines after the jump", lines, false, Where::kStays},
      {"Esc", key(find->Edit(), Qt::Key_Escape), false, Where::kStays},
      {"Ctrl+L", key(&fixture.Frame(), Qt::Key_L, Qt::ControlModifier), true, Where::kAnywhere},
      {"new lines after Clear", lines, true, Where::kEnd},
  };
  for (const auto& s : steps) {
    const int before = bar->value();
    s.act();
    EXPECT_EQ(view.Follower().Following(), s.following) << s.step;
    EXPECT_EQ(paused->isVisibleTo(&fixture.Frame()), !s.following) << s.step;
    switch (s.where) {
      case Where::kEnd:
        EXPECT_GT(bar->maximum(), 0) << s.step;
        EXPECT_EQ(bar->value(), bar->maximum()) << s.step;
        break;
      case Where::kStays:  // the lines being read stay put
        EXPECT_EQ(bar->value(), before) << s.step;
        break;
      case Where::kAway:
        EXPECT_LT(bar->value(), bar->maximum()) << s.step;
        break;
      case Where::kAnywhere:
        break;
    }
  }
}

}  // namespace
}  // namespace tarnwick
