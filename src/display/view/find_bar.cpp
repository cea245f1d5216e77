#include "display/view/find_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace tarnwick {
namespace {

QToolButton* Button(const QString& text, const QString& name, const QString& tip, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setObjectName(name);
  button->setToolTip(tip);
  button->setAccessibleName(tip);
  button->setAutoRaise(true);
  return button;
}

}  // namespace

CFindBar::CFindBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("findBar"));
  auto* label = new QLabel(QStringLiteral("Find:"), this);
  m_wndEdit = new QLineEdit(this);
  m_wndEdit->setObjectName(QStringLiteral("findText"));
  m_wndEdit->setAccessibleName(QStringLiteral("Find"));
  m_wndEdit->setClearButtonEnabled(true);
  label->setBuddy(m_wndEdit);
  m_wndMatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
  m_wndMatchCase->setObjectName(QStringLiteral("matchCase"));
  m_wndMatchCase->setAccessibleName(QStringLiteral("Match case"));
  m_wndPrevious = Button(QStringLiteral("\u25B2"), QStringLiteral("findPrevious"),
                         QStringLiteral("Previous match (Shift+F3)"), this);
  m_wndNext = Button(QStringLiteral("\u25BC"), QStringLiteral("findNext"),
                     QStringLiteral("Next match (F3)"), this);
  m_wndPosition = new QLabel(this);
  m_wndPosition->setObjectName(QStringLiteral("findPosition"));
  m_wndClose = Button(QStringLiteral("\u2715"), QStringLiteral("findClose"),
                      QStringLiteral("Close the find bar (Esc)"), this);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->addWidget(label);
  layout->addWidget(m_wndEdit, 1);
  layout->addWidget(m_wndPrevious);
  layout->addWidget(m_wndNext);
  layout->addWidget(m_wndMatchCase);
  layout->addWidget(m_wndPosition, 1);
  layout->addWidget(m_wndClose);

  connect(m_wndEdit, &QLineEdit::textChanged, this, &CFindBar::PatternChanged);
  connect(m_wndMatchCase, &QCheckBox::toggled, this, &CFindBar::PatternChanged);
  connect(m_wndPrevious, &QToolButton::clicked, this, &CFindBar::PreviousRequested);
  connect(m_wndNext, &QToolButton::clicked, this, &CFindBar::NextRequested);
  connect(m_wndClose, &QToolButton::clicked, this, [this] {
    hide();
    emit Closed();
  });
  hide();
}

void CFindBar::Open() {
  show();
  m_wndEdit->setFocus(Qt::ShortcutFocusReason);
  m_wndEdit->selectAll();
}

QString CFindBar::Pattern() const { return m_wndEdit->text(); }

bool CFindBar::MatchCase() const { return m_wndMatchCase->isChecked(); }

void CFindBar::ShowPosition(std::size_t number, std::size_t count, bool wrapped) {
  QString text;
  if (Pattern().isEmpty()) {
    text.clear();
  } else if (count == 0) {
    text = QStringLiteral("No matches");
  } else if (number == 0) {
    text = QStringLiteral("%1 matches").arg(count);
  } else {
    text = QStringLiteral("%1 of %2").arg(number).arg(count);
  }
  if (wrapped && count > 0) text += QStringLiteral("  (wrapped round)");
  m_wndPosition->setText(text);
}

void CFindBar::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      hide();
      emit Closed();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (event->modifiers() & Qt::ShiftModifier) {
        emit PreviousRequested();
      } else {
        emit NextRequested();
      }
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace tarnwick
