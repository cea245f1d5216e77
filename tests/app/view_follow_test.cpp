// Following the newest line in the running window: a scrollback far larger
// than the window follows while at the end, stops when scrolled up (the status
// bar says so), and follows again with End.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <string>

#include "app/app_fixture.h"
#include "app/main_frame.h"
#include "display/view/zerik_view.h"

namespace tarnwick {
namespace {

using testing::AppFixture;

// Lines of one character each; then a paint, which sizes the document.
void FeedLines(CZerikView& view, int count) {
  const std::string bytes(static_cast<std::size_t>(count), 'x');
  view.Model().AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  QImage image(view.viewport()->size(), QImage::Format_RGB32);
  QPainter painter(&image);
  view.OnDraw(painter, image.rect());
}

TEST(ViewFollow, FollowsAtTheEndPausesWhenScrolledUpAndResumesWithEnd) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 1;
  settings.nRows = 5000;
  settings.lfFont.lfHeight = -16;
  fixture.WriteConfig(settings);
  fixture.Start();
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
  FeedLines(view, 200);
  for (const auto& s : steps) {
    const int before = bar->value();
    if (s.key != 0) {
      QTest::keyClick(&view, static_cast<Qt::Key>(s.key));
    } else {
      FeedLines(view, 100);
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
