#include "port/qt/elided_label.h"

#include <QEvent>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

// The least a pane keeps: a port's name and the ellipsis.
constexpr int kMinimumCharacters = 6;

}  // namespace

ElidedLabel::ElidedLabel(QWidget* parent, int maxWidth, Qt::TextElideMode mode)
    : QLabel(parent), m_nMaxWidth(maxWidth), m_mode(mode) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  // The text starts at the margins, so its room is known exactly.
  setIndent(0);
}

void ElidedLabel::SetFullText(const QString& text) {
  if (text == m_strFull && !text.isEmpty() == !this->text().isEmpty()) return;
  m_strFull = text;
  setToolTip(text);
  Elide();
  updateGeometry();
}

// The frame and the margins around the text.
int ElidedLabel::Chrome() const { return width() - contentsRect().width() + 2 * margin(); }

QSize ElidedLabel::sizeHint() const {
  // The text's width in fractions of a pixel, as eliding measures it, and
  // a pixel a glyph may reach beyond its advance.
  int width = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_strFull))) + 1;
  if (m_nMaxWidth > 0) width = std::min(width, m_nMaxWidth);
  return {width + Chrome(), QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
  const int least = fontMetrics().averageCharWidth() * kMinimumCharacters + Chrome();
  return {std::min(least, sizeHint().width()), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    Elide();
    updateGeometry();
  }
}

void ElidedLabel::Elide() {
  const int room = std::max(0, contentsRect().width() - 2 * margin());
  const QString shown = fontMetrics().elidedText(m_strFull, m_mode, room);
  if (shown != text()) setText(shown);
}

}  // namespace tarnwick
