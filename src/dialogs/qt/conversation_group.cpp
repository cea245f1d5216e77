#include "dialogs/qt/conversation_group.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "dialogs/qt/color_chooser.h"
#include "dialogs/qt/dialog_exchange.h"
#include "display/view/logfont_mapping.h"

namespace tarnwick {

CConversationGroup::CConversationGroup(const ConversationOptions& options, ColorChooser& colors,
                                       QWidget* parent)
    : QGroupBox(QStringLiteral("Both directions"), parent),
      m_colors(colors),
      m_crSent(options.crSent) {
  setObjectName(QStringLiteral("bothDirections"));
  m_wndTapPath = new QLineEdit(QFile::decodeName(options.strTapPath.c_str()), this);
  m_wndTapPath->setObjectName(QStringLiteral("tapPath"));
  m_wndTapPath->setPlaceholderText(QStringLiteral("a path, e.g. /tmp/ttyTAP"));
  m_wndTapPath->setMinimumWidth(m_wndTapPath->fontMetrics().averageCharWidth() * 32);
  m_wndShowSent = new QCheckBox(QStringLiteral("Show sent &data"), this);
  m_wndShowSent->setObjectName(QStringLiteral("showSentData"));
  m_wndShowSent->setAccessibleName(QStringLiteral("Show sent data"));
  m_wndShowSent->setChecked(options.bShowSentData);
  m_wndSentColour = new QPushButton(QStringLiteral("Sent &colour..."), this);
  m_wndSentColour->setObjectName(QStringLiteral("sentColour"));
  m_wndSentColour->setAccessibleName(QStringLiteral("Sent colour"));
  m_wndSentColour->setAutoDefault(false);
  ShowColour();

  auto* grid = new QGridLayout(this);
  grid->addWidget(
      BuddyLabel(QStringLiteral("&Offer the port to another program at"), m_wndTapPath, this), 0, 0,
      1, 2);
  grid->addWidget(m_wndTapPath, 1, 0, 1, 2);
  grid->addWidget(m_wndShowSent, 2, 0);
  grid->addWidget(m_wndSentColour, 2, 1);
  connect(m_wndSentColour, &QPushButton::clicked, this, &CConversationGroup::OnSentColour);
}

void CConversationGroup::Store(ConversationOptions& options) const {
  options.strTapPath = QFile::encodeName(m_wndTapPath->text().trimmed()).toStdString();
  options.bShowSentData = m_wndShowSent->isChecked();
  options.crSent = m_crSent;
}

void CConversationGroup::OnSentColour() {
  const std::optional<QColor> chosen = m_colors.ChooseColor(this, ColorFromColorRef(m_crSent));
  if (!chosen) return;
  m_crSent = ColorRefFromColor(*chosen);
  ShowColour();
}

void CConversationGroup::ShowColour() {
  QPixmap swatch(16, 16);
  swatch.fill(ColorFromColorRef(m_crSent));
  m_wndSentColour->setIcon(QIcon(swatch));
}

}  // namespace tarnwick
