#include "dialogs/qt/multi_line_check_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace tarnwick {
namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop;
constexpr int kMinimumLines = 2;
constexpr int kMaximumLines = 4;
constexpr int kHintColumns = 60;

// Breaks text into lines no wider than width, after a '/' or a blank where
// one lies in a line's second half; more than maxLines end with the tail of
// the text, so a path still shows its file name.
QStringList WrapCaption(const QString& text, const QFontMetrics& metrics, int width, int maxLines) {
  QStringList lines;
  QString line;
  for (const QChar c : text) {
    if (!line.isEmpty() && metrics.horizontalAdvance(line + c) > width) {
      const qsizetype separator = std::max(line.lastIndexOf(u'/'), line.lastIndexOf(u' '));
      const qsizetype cut = separator >= line.size() / 2 ? separator + 1 : line.size();
      lines << line.left(cut);
      line = line.mid(cut);
    }
    line += c;
  }
  lines << line;
  if (lines.size() > maxLines) {
    const QString rest = lines.mid(maxLines - 1).join(QString());
    lines = lines.mid(0, maxLines - 1);
    lines << metrics.elidedText(rest, Qt::ElideLeft, width);
  }
  return lines;
}

}  // namespace

MultiLineCheckBox::MultiLineCheckBox(QWidget* parent) : QCheckBox(parent) {
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

void MultiLineCheckBox::SetCaption(const QString& caption) {
  m_strCaption = caption;
  // text() feeds accessibility and the button's mnemonic: doubled '&' is
  // shown as one and makes no shortcut.
  QString escaped = caption;
  setText(escaped.replace(QLatin1Char('&'), QLatin1String("&&")));
  setAccessibleName(caption);
  setToolTip(caption);
  updateGeometry();
  update();
}

QRect MultiLineCheckBox::IndicatorRect() const {
  QStyleOptionButton option;
  initStyleOption(&option);
  const int w = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
  const int h = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
  // Level with the first line of the caption.
  const int top = std::max(0, (fontMetrics().height() - h) / 2);
  return QRect(0, top, w, h);
}

QRect MultiLineCheckBox::TextRect(int width) const {
  QStyleOptionButton option;
  initStyleOption(&option);
  const int left = IndicatorRect().right() + 1 +
                   style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
  return QRect(left, 0, std::max(1, width - left), QWIDGETSIZE_MAX / 2);
}

QStringList MultiLineCheckBox::Lines(int width) const {
  return WrapCaption(m_strCaption, fontMetrics(), TextRect(width).width(), kMaximumLines);
}

int MultiLineCheckBox::heightForWidth(int width) const {
  const int lines = static_cast<int>(std::max<qsizetype>(Lines(width).size(), kMinimumLines));
  return std::max(lines * fontMetrics().lineSpacing(), IndicatorRect().bottom() + 1) + 2;
}

QSize MultiLineCheckBox::sizeHint() const {
  const int width = TextRect(0).left() + kHintColumns * fontMetrics().averageCharWidth();
  return QSize(width, heightForWidth(width));
}

QSize MultiLineCheckBox::minimumSizeHint() const {
  const int width = TextRect(0).left() + 10 * fontMetrics().averageCharWidth();
  return QSize(width, kMinimumLines * fontMetrics().lineSpacing());
}

void MultiLineCheckBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.rect = IndicatorRect();
  style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);

  const QRect textArea = TextRect(width()).intersected(rect());
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  QRect drawn;
  painter.drawText(textArea, kTextFlags, Lines(width()).join(u'\n'), &drawn);
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = drawn.adjusted(-1, 0, 1, 0).intersected(rect());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

}  // namespace tarnwick
