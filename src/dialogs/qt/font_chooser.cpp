#include "dialogs/qt/font_chooser.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/qt/color_chooser.h"

namespace tarnwick {
namespace {

// The font with the name of its style in its family ("Book" for a normal
// weight, say): Qt's font dialog looks for the style by name and otherwise
// selects the first one in its list, an oblique perhaps.
QFont WithStyleName(QFont font) {
  const QString family = QFontInfo(font).family();
  for (const QString& style : QFontDatabase::styles(family)) {
    const QFont candidate = QFontDatabase::font(family, style, 12);
    if (candidate.weight() == font.weight() && candidate.italic() == font.italic()) {
      font.setFamily(family);
      font.setStyleName(style);
      break;
    }
  }
  return font;
}

}  // namespace

FontWithColorDialog::FontWithColorDialog(const QFont& font, const QColor& color,
                                         ColorChooser& colors, QWidget* parent)
    : QDialog(parent), m_colors(colors) {
  setWindowTitle(tr("Font"));
  setObjectName(QStringLiteral("fontDialog"));

  m_pFontPart = new QFontDialog(this);
  m_pFontPart->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog |
                          QFontDialog::MonospacedFonts);
  m_pFontPart->setWindowFlags(Qt::Widget);
  m_pFontPart->setCurrentFont(WithStyleName(font));
  // Esc inside the embedded dialog ends the whole chooser; Enter, which it
  // would swallow for want of a button, is OK.
  connect(m_pFontPart, &QDialog::finished, this, &QDialog::done);
  m_pFontPart->installEventFilter(this);

  auto* colorLabel = new QLabel(tr("&Color:"), this);
  m_wndColor = new QPushButton(this);
  m_wndColor->setObjectName(QStringLiteral("textColor"));
  m_wndColor->setAccessibleName(QStringLiteral("Color"));
  m_wndColor->setAutoDefault(false);
  colorLabel->setBuddy(m_wndColor);
  connect(m_wndColor, &QPushButton::clicked, this, &FontWithColorDialog::OnColor);
  SetColor(color);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  // Named default: otherwise the font part's hidden buttons may take the role.
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* colorRow = new QHBoxLayout;
  colorRow->addWidget(colorLabel);
  colorRow->addWidget(m_wndColor);
  colorRow->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_pFontPart, 1);
  layout->addLayout(colorRow);
  layout->addWidget(buttons);
}

bool FontWithColorDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_pFontPart && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

QFont FontWithColorDialog::SelectedFont() const { return m_pFontPart->currentFont(); }

void FontWithColorDialog::SetColor(const QColor& color) {
  m_color = color;
  QPixmap swatch(32, 14);
  swatch.fill(color);
  m_wndColor->setIcon(QIcon(swatch));
  m_wndColor->setIconSize(swatch.size());
  m_wndColor->setText(color.name(QColor::HexRgb).toUpper());
}

void FontWithColorDialog::OnColor() {
  if (const std::optional<QColor> chosen = m_colors.ChooseColor(this, m_color)) SetColor(*chosen);
}

std::optional<FontChoice> QtFontChooser::ChooseFont(QWidget* parent, const QFont& font,
                                                    const QColor& color) {
  FontWithColorDialog dialog(font, color, m_colors, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return FontChoice{dialog.SelectedFont(), dialog.SelectedColor()};
}

}  // namespace tarnwick
