// The stored font description as Qt's font and back: heights as cell or
// character heights, faces in and out of the code page.
#include "display/view/logfont_mapping.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <climits>
#include <cstring>

namespace tarnwick {
namespace {

constexpr const char* kMono = "DejaVu Sans Mono";

LOGFONT Font(std::int32_t height, const char* face = kMono) {
  LOGFONT lf{};
  lf.lfHeight = height;
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", face);
  return lf;
}

TEST(LogFontMapping, PositiveHeightIsTheCellNegativeTheCharacter) {
  for (const int cell : {8, 17, 20, 33, 100}) {
    const QFont font = FontFromLogFont(Font(cell));
    EXPECT_LE(QFontMetrics(font).height(), cell) << cell;
    QFont larger = font;  // the largest size that fits
    larger.setPixelSize(font.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(larger).height(), cell) << cell;
  }
  EXPECT_EQ(QFontMetrics(FontFromLogFont(Font(20))).height(), 20);
  const QFont character = FontFromLogFont(Font(-20));
  EXPECT_EQ(character.pixelSize(), 20);
  EXPECT_GT(QFontMetrics(character).height(), 20);
  // Heights beyond reason stay bounded; 0 keeps the default size.
  const struct {
    std::int32_t height;
    int pixelSize;
  } bounded[] = {{0, -1}, {-1, 1}, {INT_MIN, kMaxFontHeight}, {1, 1}};
  for (const auto& c : bounded) EXPECT_EQ(FontFromLogFont(Font(c.height)).pixelSize(), c.pixelSize);
  EXPECT_LE(QFontMetrics(FontFromLogFont(Font(INT_MAX))).height(), kMaxFontHeight);
}

TEST(LogFontMapping, QtFontThroughTheRecordAndBack) {
  const struct {
    int pixels;
    QFont::Weight weight;
    bool italic, underline, strikeOut;
  } cases[] = {
      {20, QFont::Bold, false, false, false},
      {40, QFont::Light, true, false, false},
      {9, QFont::Black, false, true, true},
  };
  const LOGFONT base = DefaultSettings().lfFont;
  for (const auto& c : cases) {
    QFont font(kMono);
    font.setPixelSize(c.pixels);
    font.setWeight(c.weight);
    font.setItalic(c.italic);
    font.setUnderline(c.underline);
    font.setStrikeOut(c.strikeOut);
    const LOGFONT lf = LogFontFromFont(font, base);
    EXPECT_STREQ(lf.lfFaceName, kMono);
    EXPECT_EQ(lf.lfCharSet, 0);  // ANSI_CHARSET
    EXPECT_EQ(lf.lfHeight, -c.pixels);
    EXPECT_EQ(lf.lfWeight, c.weight);
    EXPECT_EQ(std::tuple(lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut),
              std::tuple(c.italic, c.underline, c.strikeOut));
    const QFont back = FontFromLogFont(lf);
    EXPECT_EQ(
        std::tuple(back.family(), back.pixelSize(), back.weight(), back.italic(), back.underline(),
                   back.strikeOut()),
        std::tuple(font.family(), c.pixels, font.weight(), c.italic, c.underline, c.strikeOut));
  }
  // A chooser's point size counts at the screen's resolution.
  const QFont points(kMono, 12);
  EXPECT_EQ(LogFontFromFont(points, base).lfHeight, -QFontInfo(points).pixelSize());
}

TEST(LogFontMapping, AnUnchangedFontKeepsTheStoredBytes) {
  LOGFONT odd = Font(20);  // a cell height, and bytes Qt has no notion of
  odd.lfWeight = 0;
  odd.lfItalic = 0xFF;
  odd.lfCharSet = 2;
  odd.lfQuality = 5;
  for (const LOGFONT& lf : {Font(-20), Font(0), odd}) {
    const LOGFONT back = LogFontFromFont(FontFromLogFont(lf), lf);
    EXPECT_EQ(std::memcmp(&back, &lf, sizeof lf), 0) << lf.lfHeight;
  }
  QFont larger = FontFromLogFont(odd);
  larger.setPixelSize(30);
  LOGFONT expected = odd;
  expected.lfHeight = -30;
  const LOGFONT changed = LogFontFromFont(larger, odd);
  EXPECT_EQ(std::memcmp(&changed, &expected, sizeof odd), 0);
}

TEST(LogFontMapping, Faces) {
  // What the view's columns need, whether or not the system calls the face
  // it substitutes fixed-pitch.
  for (const char* face : {"", "No Such Face"}) {
    const QFontMetricsF metrics(FontFromLogFont(Font(-16, face)));
    for (char c = '!'; c <= '~'; ++c) {
      EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(c)), metrics.horizontalAdvance(' '))
          << face << " " << c;
    }
  }
  // The system's fixed font, once chosen, is stored by its real name.
  const LOGFONT empty = Font(-16, "");
  EXPECT_TRUE(QFontDatabase::hasFamily(
      QString::fromLatin1(LogFontFromFont(FontFromLogFont(empty), empty).lfFaceName)));

  const struct {
    QString family;
    std::string stored;
  } cases[] = {
      {QString::fromUtf8("Mon\xC3\xB6 \xE2\x82\xAC"), "Mon\xF6 \x80"},  // in the code page
      {QString::fromUtf8("\xE7\xAD\x89\xE5\xAE\xBD"), "\xE7\xAD\x89\xE5\xAE\xBD"},  // UTF-8
      {QString(40, QChar('x')), std::string(31, 'x')},
      // UTF-8 is cut before a character that would not fit whole.
      {QString(29, QChar('z')) + QString::fromUtf8("\xE7\xAD\x89"), std::string(29, 'z')},
  };
  for (const auto& c : cases) {
    const LOGFONT lf = LogFontFromFont(QFont(c.family), Font(-16));
    EXPECT_EQ(std::string(lf.lfFaceName), c.stored);
    if (c.family.size() < 10) {  // not cut: reads back whole
      EXPECT_EQ(FontFromLogFont(lf).family(), c.family);
    }
  }
}

}  // namespace
}  // namespace tarnwick
