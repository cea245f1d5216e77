#include "display/view/text_options_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace tarnwick {
namespace {

QMenu* SubMenu(QMenu& parent, const QString& title, const QString& name) {
  QMenu* menu = parent.addMenu(title);
  menu->setObjectName(name);
  return menu;
}

}  // namespace

TextOptionsMenu::TextOptionsMenu(QMenu& view, const Ids& ids,
                                 const std::function<QAction*(int)>& makeAction)
    : QObject(&view) {
  m_pMenu = SubMenu(view, QStringLiteral("Te&xt"), QStringLiteral("textMenu"));
  QMenu* encoding = SubMenu(*m_pMenu, QStringLiteral("&Encoding"), QStringLiteral("encodingMenu"));
  auto* encodings = new QActionGroup(this);
  for (int i = 0; i < 4; ++i) {
    m_encodings[i] = makeAction(ids.encodings[i]);
    m_encodings[i]->setCheckable(true);
    encodings->addAction(m_encodings[i]);
    encoding->addAction(m_encodings[i]);
  }
  m_pAnsiColours = makeAction(ids.ansiColours);
  m_pAnsiColours->setCheckable(true);
  m_pMenu->addAction(m_pAnsiColours);
  QMenu* controls = SubMenu(*m_pMenu, QStringLiteral("Show &control characters"),
                            QStringLiteral("controlCharactersMenu"));
  auto* group = new QActionGroup(this);
  for (int i = 0; i < 3; ++i) {
    m_controls[i] = makeAction(ids.controls[i]);
    m_controls[i]->setCheckable(true);
    group->addAction(m_controls[i]);
    controls->addAction(m_controls[i]);
  }
  m_pMenu->addSeparator();
  m_pLogKeepsEscapes = makeAction(ids.logKeepsEscapes);
  m_pLogKeepsEscapes->setCheckable(true);
  m_pMenu->addAction(m_pLogKeepsEscapes);
  // Only the user's clicks: Show() checks entries without a word.
  for (QMenu* menu : {encoding, m_pMenu, controls}) {
    for (QAction* action : menu->actions()) {
      if (action->isCheckable())
        connect(action, &QAction::triggered, this, &TextOptionsMenu::Changed);
    }
  }
}

void TextOptionsMenu::Show(const DisplayOptions& options) {
  m_encodings[static_cast<int>(options.textEncoding) & 3]->setChecked(true);
  m_pAnsiColours->setChecked(options.bAnsiColours);
  m_controls[static_cast<int>(options.controlCharacters) % 3]->setChecked(true);
  m_pLogKeepsEscapes->setChecked(options.bTextLogKeepsEscapes);
}

void TextOptionsMenu::Store(DisplayOptions& options) const {
  for (int i = 0; i < 4; ++i) {
    if (m_encodings[i]->isChecked()) options.textEncoding = static_cast<TextEncoding>(i);
  }
  options.bAnsiColours = m_pAnsiColours->isChecked();
  for (int i = 0; i < 3; ++i) {
    if (m_controls[i]->isChecked()) options.controlCharacters = static_cast<ControlCharacters>(i);
  }
  options.bTextLogKeepsEscapes = m_pLogKeepsEscapes->isChecked();
}

}  // namespace tarnwick
