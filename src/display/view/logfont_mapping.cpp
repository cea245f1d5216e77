#include "display/view/logfont_mapping.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/view/ansi_text.h"

namespace tarnwick {
namespace {

constexpr std::uint8_t kAnsiCharset = 0;
constexpr std::size_t kFaceBytes = sizeof(LOGFONT::lfFaceName) - 1;

QString FaceName(const LOGFONT& lf) {
  const std::string bytes(lf.lfFaceName, ::strnlen(lf.lfFaceName, sizeof lf.lfFaceName));
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(QByteArrayView(bytes.data(), std::ssize(bytes)));
    if (!utf8.hasError()) return decoded;
  }
  return AnsiToQString(bytes);
}

void SetFaceName(LOGFONT& lf, const QString& face) {
  std::string bytes = QStringToAnsi(face);
  if (AnsiToQString(bytes) != face) {
    // Not in the code page: UTF-8, cut at a character boundary.
    bytes = face.toStdString();
    if (bytes.size() > kFaceBytes) {
      std::size_t end = kFaceBytes;
      while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
      bytes.resize(end);
    }
  }
  bytes.resize(std::min(bytes.size(), kFaceBytes));
  std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
  std::memcpy(lf.lfFaceName, bytes.data(), bytes.size());
}

// A name that fills the record's field may be the start of a longer one.
QString InstalledFamily(const QString& face, std::size_t storedBytes) {
  if (QFontDatabase::hasFamily(face)) return face;
  if (storedBytes == kFaceBytes) {
    for (const QString& family : QFontDatabase::families()) {
      if (family.startsWith(face)) return family;
    }
  }
  return {};
}

// The largest pixel size whose cell (ascent + descent) is at most cell.
int PixelSizeForCell(QFont font, int cell) {
  constexpr int kReference = 100;
  font.setPixelSize(kReference);
  const QFontMetricsF reference(font);
  const double perPixel = std::max(0.01, (reference.ascent() + reference.descent()) / kReference);
  int size = std::clamp(static_cast<int>(cell / perPixel), 1, 2 * kMaxFontHeight);
  const auto cellOf = [&font](int pixels) {
    font.setPixelSize(pixels);
    return QFontMetrics(font).height();
  };
  while (size > 1 && cellOf(size) > cell) --size;
  while (size < 2 * kMaxFontHeight && cellOf(size + 1) <= cell) ++size;
  return size;
}

// An installed family whose characters take one advance, tried in the order
// the system prefers fixed faces; empty when there is none. Looked up once.
QString EqualAdvanceFamily() {
  static const QString family = [] {
    QStringList candidates{QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family()};
    for (const QString& name : QFontDatabase::families()) {
      if (QFontDatabase::isFixedPitch(name)) candidates.append(name);
    }
    candidates.append(QFontDatabase::families());
    for (const QString& name : candidates) {
      if (HasEqualAdvances(QFont(name))) return name;
    }
    return QString();
  }();
  return family;
}

}  // namespace

bool HasEqualAdvances(const QFont& font) {
  const QFontMetricsF metrics(font);
  const qreal advance = metrics.horizontalAdvance(QLatin1Char(' '));
  for (char c = '!'; c <= '~'; ++c) {
    if (std::abs(metrics.horizontalAdvance(QLatin1Char(c)) - advance) > 1.0 / 64) return false;
  }
  return advance > 0;
}

QFont FontFromLogFont(const LOGFONT& lf) {
  const QString face = FaceName(lf);
  const QString family =
      face.isEmpty() ? QString()
                     : InstalledFamily(face, ::strnlen(lf.lfFaceName, sizeof lf.lfFaceName));
  QFont font;
  if (!family.isEmpty()) {
    font = QFont(family);
    font.setStyleHint(QFont::TypeWriter);
  } else if (!face.isEmpty()) {
    // Not installed: the name stays (the system may substitute a
    // look-alike), and the hint makes any other substitute fixed-pitch.
    font = QFont(face);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
  } else {
    // The system's fixed font by the family it resolves to, so that a font
    // chooser shows (and the record then stores) a real face name.
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamily(QFontInfo(font).family());
  }
  // A substitute the system picked may still have proportional letters; the
  // first equal-advance family then comes next, behind the stored name.
  if (family.isEmpty() && !HasEqualAdvances(font)) {
    const QString fixed = EqualAdvanceFamily();
    if (!fixed.isEmpty()) {
      if (face.isEmpty()) {
        font.setFamily(fixed);
      } else {
        font.setFamilies({face, fixed});
      }
    }
  }
  if (lf.lfWeight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(lf.lfWeight, 1, 1000)));
  font.setItalic(lf.lfItalic != 0);
  font.setUnderline(lf.lfUnderline != 0);
  font.setStrikeOut(lf.lfStrikeOut != 0);
  // Glyphs on whole pixels, as the record's fonts are drawn where it comes
  // from: columns of units stay on the pixel grid, and the view can copy a
  // line's characters from cells drawn once (CellTextPainter).
  font.setHintingPreference(QFont::PreferFullHinting);
  const int height = static_cast<int>(
      std::min<long long>(std::llabs(static_cast<long long>(lf.lfHeight)), kMaxFontHeight));
  if (lf.lfHeight < 0) {
    font.setPixelSize(height);
  } else if (lf.lfHeight > 0) {
    font.setPixelSize(PixelSizeForCell(font, height));
  }
  return font;
}

LOGFONT LogFontFromFont(const QFont& font, const LOGFONT& base) {
  LOGFONT lf = base;
  const QFont was = FontFromLogFont(base);
  // The face is always the one chosen: an empty one (the system's fixed
  // font) becomes that font's name.
  SetFaceName(lf, font.family());
  if (std::memcmp(lf.lfFaceName, base.lfFaceName, sizeof lf.lfFaceName) != 0) {
    lf.lfCharSet = kAnsiCharset;
  }
  // Point sizes (a font chooser's) count at the screen's resolution.
  const int pixels = QFontInfo(font).pixelSize();
  if (pixels != QFontInfo(was).pixelSize()) lf.lfHeight = -std::clamp(pixels, 1, kMaxFontHeight);
  if (font.weight() != was.weight()) lf.lfWeight = font.weight();
  if (font.italic() != was.italic()) lf.lfItalic = font.italic() ? 1 : 0;
  if (font.underline() != was.underline()) lf.lfUnderline = font.underline() ? 1 : 0;
  if (font.strikeOut() != was.strikeOut()) lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
  return lf;
}

QColor ColorFromColorRef(COLORREF color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

COLORREF ColorRefFromColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<COLORREF>(rgb.red()) | (static_cast<COLORREF>(rgb.green()) << 8) |
         (static_cast<COLORREF>(rgb.blue()) << 16);
}

}  // namespace tarnwick
