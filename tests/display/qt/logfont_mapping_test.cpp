// The stored font description as Qt's font and back: heights as cell or
// character heights, faces in and out of the code page, colours.
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

bool SameBytes(const LOGFONT& a, const LOGFONT& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(LogFontMapping, PositiveHeightIsTheCellNegativeTheCharacter) {
  for (const int cell : {8, 12, 16, 17, 20, 24, 33, 100}) {
    const QFont font = FontFromLogFont(Font(cell));
    const int drawn = QFontMetrics(font).height();
    EXPECT_LE(drawn, cell) << cell;
    EXPECT_GE(drawn, cell - 2) << cell;  // the next pixel size would not fit
    QFont larger = font;
    larger.setPixelSize(font.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(larger).height(), cell) << cell;
  }
  // The default record's 20 is a 20-pixel cell, not a 20-pixel character.
  EXPECT_EQ(QFontMetrics(FontFromLogFont(Font(20))).height(), 20);
  const QFont character = FontFromLogFont(Font(-20));
  EXPECT_EQ(character.pixelSize(), 20);
  EXPECT_GT(QFontMetrics(character).height(), 20);  // ascent + descent exceed the em
}

TEST(LogFontMapping, HeightsOutsideReasonStayBounded) {
  const struct {
    std::int32_t height;
    int pixelSize;  // -1: the font's default size
  } cases[] = {{0, -1}, {-1, 1}, {INT_MIN, kMaxFontHeight}, {-5000, kMaxFontHeight}, {1, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(FontFromLogFont(Font(c.height)).pixelSize(), c.pixelSize) << c.height;
  }
  const QFont huge = FontFromLogFont(Font(INT_MAX));
  EXPECT_LE(QFontMetrics(huge).height(), kMaxFontHeight);
  EXPECT_GT(QFontMetrics(huge).height(), kMaxFontHeight - 10);
}

TEST(LogFontMapping, QtFontThroughTheRecordAndBack) {
  struct Case {
    int pixels;
    QFont::Weight weight;
    bool italic, underline, strikeOut;
  };
  const Case cases[] = {
      {13, QFont::Normal, false, false, false}, {20, QFont::Bold, false, false, false},
      {40, QFont::Light, true, false, false},   {9, QFont::Black, false, true, false},
      {16, QFont::Normal, true, true, true},
  };
  const LOGFONT base = DefaultSettings().lfFont;
  for (const Case& c : cases) {
    QFont font(kMono);
    font.setPixelSize(c.pixels);
    font.setWeight(c.weight);
    font.setItalic(c.italic);
    font.setUnderline(c.underline);
    font.setStrikeOut(c.strikeOut);
    const LOGFONT lf = LogFontFromFont(font, base);
    EXPECT_STREQ(lf.lfFaceName, kMono);
    EXPECT_EQ(lf.lfHeight, -c.pixels);
    // The default record's "don't care" (0) already is the normal weight.
    EXPECT_EQ(lf.lfWeight, c.weight == QFont::Normal ? 0 : c.weight);
    EXPECT_EQ(lf.lfItalic, c.italic ? 1 : 0);
    EXPECT_EQ(lf.lfUnderline, c.underline ? 1 : 0);
    EXPECT_EQ(lf.lfStrikeOut, c.strikeOut ? 1 : 0);
    EXPECT_EQ(lf.lfCharSet, 0);  // ANSI_CHARSET
    const QFont back = FontFromLogFont(lf);
    EXPECT_EQ(back.family(), font.family());
    EXPECT_EQ(back.pixelSize(), c.pixels);
    EXPECT_EQ(back.weight(), c.weight);
    EXPECT_EQ(back.italic(), c.italic);
    EXPECT_EQ(back.underline(), c.underline);
    EXPECT_EQ(back.strikeOut(), c.strikeOut);
  }
}

TEST(LogFontMapping, AnUnchangedFontKeepsTheStoredBytes) {
  LOGFONT odd = Font(20);
  odd.lfWeight = 0;     // "don't care"
  odd.lfItalic = 0xFF;  // any non-zero is italic
  odd.lfCharSet = 2;    // kept while the face is
  odd.lfQuality = 5;    // no Qt counterpart
  odd.lfWidth = 7;
  for (const LOGFONT& lf : {Font(20), Font(-20), Font(0), odd}) {
    EXPECT_TRUE(SameBytes(LogFontFromFont(FontFromLogFont(lf), lf), lf)) << lf.lfHeight;
  }
  // Only what changed is written; a new size becomes a character height.
  QFont larger = FontFromLogFont(odd);
  larger.setPixelSize(30);
  const LOGFONT changed = LogFontFromFont(larger, odd);
  LOGFONT expected = odd;
  expected.lfHeight = -30;
  EXPECT_TRUE(SameBytes(changed, expected));
}

TEST(LogFontMapping, PointSizesCountAtTheScreensResolution) {
  QFont font(kMono, 12);  // as a font chooser returns it
  const LOGFONT lf = LogFontFromFont(font, Font(0, ""));
  EXPECT_EQ(lf.lfHeight, -QFontInfo(font).pixelSize());
  EXPECT_GT(-lf.lfHeight, 0);
}

TEST(LogFontMapping, Faces) {
  // Empty or not installed: still a fixed-pitch font.
  for (const char* face : {"", "No Such Face", "Courier New"}) {
    EXPECT_TRUE(QFontInfo(FontFromLogFont(Font(-16, face))).fixedPitch()) << face;
  }
  // The system's fixed font, once chosen, is stored by its real name.
  const LOGFONT empty = Font(-16, "");
  const LOGFONT named = LogFontFromFont(FontFromLogFont(empty), empty);
  EXPECT_STRNE(named.lfFaceName, "");
  EXPECT_TRUE(QFontDatabase::hasFamily(QString::fromLatin1(named.lfFaceName)));
  EXPECT_EQ(named.lfHeight, -16);

  const struct {
    QString family;
    std::string stored;
    bool whole;  // the stored name reads back as the family
  } cases[] = {
      {kMono, kMono, true},
      {QString::fromUtf8("Mon\xC3\xB6 \xE2\x82\xAC"), "Mon\xF6 \x80", true},  // in the code page
      {QString::fromUtf8("\xE7\xAD\x89\xE5\xAE\xBD"), "\xE7\xAD\x89\xE5\xAE\xBD", true},  // UTF-8
      {QString(40, QChar('x')), std::string(31, 'x'), false},
      // Cut before a character that would not fit whole.
      {QString(30, QChar('y')) + QString::fromUtf8("\xC3\xA9\xE2\x80\xA0"),
       std::string(30, 'y') + "\xE9", false},
      {QString(29, QChar('z')) + QString::fromUtf8("\xE7\xAD\x89"), std::string(29, 'z'), false},
  };
  for (const auto& c : cases) {
    QFont font(c.family);
    const LOGFONT lf = LogFontFromFont(font, Font(-16));
    EXPECT_EQ(std::string(lf.lfFaceName), c.stored) << c.family.toStdString();
    EXPECT_EQ(lf.lfFaceName[31], '\0');
    if (c.whole) {
      EXPECT_EQ(FontFromLogFont(lf).family(), c.family) << c.family.toStdString();
    }
  }
}

TEST(LogFontMapping, ColorRefIsBlueGreenRed) {
  const struct {
    COLORREF ref;
    QColor color;
  } cases[] = {
      {0x00000000, QColor(0, 0, 0)},   {0x00FFFFFF, QColor(255, 255, 255)},
      {0x000000FF, QColor(255, 0, 0)}, {0x0000FF00, QColor(0, 255, 0)},
      {0x00FF0000, QColor(0, 0, 255)}, {0x00123456, QColor(0x56, 0x34, 0x12)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ColorFromColorRef(c.ref), c.color) << std::hex << c.ref;
    EXPECT_EQ(ColorRefFromColor(c.color), c.ref) << std::hex << c.ref;
  }
  // The unused top byte is ignored on the way in and zero on the way out.
  EXPECT_EQ(ColorFromColorRef(0xAB00FF00), QColor(0, 255, 0));
  EXPECT_EQ(ColorRefFromColor(QColor::fromHsv(0, 255, 255)), 0x000000FFu);
}

}  // namespace
}  // namespace tarnwick
