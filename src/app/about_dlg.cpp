#include "app/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/app_icons.h"

namespace tarnwick {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kAboutCaption));
  setObjectName(QStringLiteral("aboutDialog"));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setPixmap(ProgramIcon().pixmap(QSize(32, 32), devicePixelRatioF()));
  icon->setAlignment(Qt::AlignTop);

  auto* version = new QLabel(QString::fromLatin1(kAboutVersionText), this);
  version->setObjectName(QStringLiteral("aboutVersion"));
  auto* notice = new QLabel(QString::fromLatin1(kAboutNoticeText), this);
  notice->setObjectName(QStringLiteral("aboutNotice"));

  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(notice);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  top->addWidget(buttons, 0, Qt::AlignTop);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tarnwick
