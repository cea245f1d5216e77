#include "transmit/qt/send_line_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "settings/qt/user_profile.h"
#include "transmit/send_line.h"

namespace tarnwick {
namespace {

constexpr const char* kFormatKey = "Options/SendLineFormat";
constexpr const char* kUnitKey = "Options/SendLineUnit";
constexpr const char* kReverseKey = "Options/SendLineReverse";
constexpr const char* kLineEndKey = "Options/SendLineEnd";
// Entries the History button lists; Up and Down reach all of them.
constexpr std::size_t kMenuEntries = 25;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QLabel* Label(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  buddy->setAccessibleName(QString(text).remove(QLatin1Char('&')));
  return label;
}

QComboBox* List(const QStringList& items, const char* name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  list->addItems(items);
  return list;
}

int ProfileChoice(const char* key, int fallback, int last) {
  const std::optional<qlonglong> value = ProfileInteger(OpenUserProfile(), QLatin1String(key));
  return value && *value >= 0 && *value <= last ? static_cast<int>(*value) : fallback;
}

}  // namespace

CSendLineEdit::CSendLineEdit(QWidget* parent) : QLineEdit(parent) {
  setObjectName(QStringLiteral("sendLineField"));
}

bool CSendLineEdit::event(QEvent* event) {
  // The field would take Ctrl+C for itself even with nothing selected;
  // without a selection the window's Copy All has it, as everywhere else.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy) && !hasSelectedText()) {
      event->ignore();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void CSendLineEdit::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    if (event->key() == Qt::Key_Up) return emit Older();
    if (event->key() == Qt::Key_Down) return emit Newer();
  }
  QLineEdit::keyPressEvent(event);
}

CSendLineBar::CSendLineBar(Services services, const std::filesystem::path& historyPath,
                           QWidget* parent)
    : QWidget(parent), m_services(std::move(services)) {
  setObjectName(QStringLiteral("sendLineBar"));
  m_pField = new CSendLineEdit(this);
  m_pFormat = List({QStringLiteral("ASCII"), QStringLiteral("HEX"), QStringLiteral("BIN"),
                    QStringLiteral("DEC"), QStringLiteral("FLOAT")},
                   "sendLineFormat", this);
  m_pUnit =
      List({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")},
           "sendLineUnit", this);
  m_pReverse = new QCheckBox(QStringLiteral("Reverse bytes"), this);
  m_pReverse->setObjectName(QStringLiteral("sendLineReverse"));
  m_pReverse->setAccessibleName(m_pReverse->text());
  m_pLineEnd = List(
      {QStringLiteral("None"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")},
      "sendLineEnd", this);
  m_pSend = new QPushButton(QStringLiteral("Send"), this);
  m_pSend->setObjectName(QStringLiteral("sendLineSend"));
  m_pSend->setAccessibleName(m_pSend->text());
  m_pSend->setAutoDefault(false);
  m_pHistoryButton = new QToolButton(this);
  m_pHistoryButton->setObjectName(QStringLiteral("sendLineHistory"));
  m_pHistoryButton->setText(QStringLiteral("History"));
  m_pHistoryButton->setAccessibleName(m_pHistoryButton->text());
  m_pHistoryButton->setToolTip(QStringLiteral("What was sent before; Up and Down in the field"));
  m_pHistoryButton->setPopupMode(QToolButton::InstantPopup);
  auto* historyMenu = new QMenu(m_pHistoryButton);
  m_pHistoryButton->setMenu(historyMenu);
  connect(historyMenu, &QMenu::aboutToShow, this, &CSendLineBar::FillHistoryMenu);
  m_pError = new QLabel(this);
  m_pError->setObjectName(QStringLiteral("sendLineError"));
  m_pError->setStyleSheet(QStringLiteral("color: #b00020;"));
  m_pError->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pError->hide();

  // The field and what sends it on the first row; how it is read, and why
  // it was refused, on the second, under the field.
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  grid->addWidget(Label(QStringLiteral("Send line"), m_pField, this), 0, 0);
  grid->addWidget(m_pField, 0, 1);
  grid->addWidget(m_pSend, 0, 2);
  grid->addWidget(m_pHistoryButton, 0, 3);
  grid->setColumnStretch(1, 1);
  auto* choices = new QHBoxLayout;
  choices->setSpacing(6);
  choices->addWidget(Label(QStringLiteral("Format"), m_pFormat, this));
  choices->addWidget(m_pFormat);
  choices->addWidget(Label(QStringLiteral("Length"), m_pUnit, this));
  choices->addWidget(m_pUnit);
  choices->addWidget(m_pReverse);
  choices->addWidget(Label(QStringLiteral("Line end"), m_pLineEnd, this));
  choices->addWidget(m_pLineEnd);
  choices->addSpacing(12);
  choices->addWidget(m_pError, 1);
  choices->addStretch(0);
  grid->addLayout(choices, 1, 1, 1, 3);
  setFocusProxy(m_pField);
  // Tab goes from the field to what sends it, then to how it is read.
  QWidget* const order[] = {m_pField, m_pSend,    m_pHistoryButton, m_pFormat,
                            m_pUnit,  m_pReverse, m_pLineEnd};
  for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);

  m_pFormat->setCurrentIndex(ProfileChoice(kFormatKey, kTxFormatAscii, kTxFormatFloat));
  m_pUnit->setCurrentIndex(ProfileChoice(kUnitKey, 0, 3));
  m_pReverse->setChecked(ProfileChoice(kReverseKey, 0, 1) != 0);
  m_pLineEnd->setCurrentIndex(ProfileChoice(kLineEndKey, static_cast<int>(LineEnd::kCr), 3));
  UpdateApplicable();

  connect(m_pField, &QLineEdit::returnPressed, this, &CSendLineBar::SendNow);
  connect(m_pSend, &QPushButton::clicked, this, &CSendLineBar::SendNow);
  connect(m_pField, &CSendLineEdit::Older, this, [this] { Recall(m_walk.Older(Entry())); });
  connect(m_pField, &CSendLineEdit::Newer, this, [this] { Recall(m_walk.Newer()); });
  connect(m_pField, &QLineEdit::textChanged, this, [this] {
    if (m_bRecalling) return;
    // Typing picks what Up walks through next.
    m_walk.Reset();
    ShowError({});
  });
  for (QComboBox* list : {m_pFormat, m_pUnit, m_pLineEnd}) {
    connect(list, &QComboBox::currentIndexChanged, this, [this] {
      UpdateApplicable();
      SaveChoices();
    });
  }
  connect(m_pReverse, &QCheckBox::toggled, this, [this] { SaveChoices(); });

  if (!historyPath.empty()) {
    m_pHistoryFile = std::make_unique<HistoryFile>(historyPath);
    const HistoryFile::Report report = m_pHistoryFile->Load(m_history);
    if (!report.message.empty() && m_services.status) m_services.status(FromUtf8(report.message));
  }
}

LineEnd CSendLineBar::ChosenLineEnd() const {
  return static_cast<LineEnd>(std::clamp(m_pLineEnd->currentIndex(), 0, 3));
}

SendEntry CSendLineBar::Entry() const {
  SendEntry entry;
  entry.text = m_pField->text().toStdString();
  entry.format = std::clamp(m_pFormat->currentIndex(), 0, static_cast<int>(kTxFormatFloat));
  entry.unitLength = m_pUnit->currentIndex() + 1;
  entry.reverse = m_pReverse->isChecked();
  return Normalized(entry);
}

void CSendLineBar::ShowEntry(const SendEntry& entry) {
  const SendEntry e = Normalized(entry);
  m_pFormat->setCurrentIndex(e.format);
  if (e.format != kTxFormatAscii) {
    m_pUnit->setCurrentIndex(e.unitLength - 1);
    m_pReverse->setChecked(e.reverse);
  }
  m_pField->setText(FromUtf8(e.text));
}

// What does not apply to the format is greyed out: the unit length to ASCII
// and FLOAT (always 4), the byte order to ASCII, the line end to the numbers.
void CSendLineBar::UpdateApplicable() {
  const int format = m_pFormat->currentIndex();
  const bool ascii = format == kTxFormatAscii;
  m_pUnit->setEnabled(!ascii && format != kTxFormatFloat);
  m_pReverse->setEnabled(!ascii);
  m_pLineEnd->setEnabled(ascii);
}

void CSendLineBar::ShowError(const QString& text) {
  m_pError->setText(text);
  m_pError->setVisible(!text.isEmpty());
}

bool CSendLineBar::SendNow() {
  const SendEntry entry = Entry();
  // A character the device's encoding lacks would go as '?': said instead.
  if (entry.format == kTxFormatAscii && m_services.lacking) {
    if (const std::string lacking = m_services.lacking(entry.text); !lacking.empty()) {
      ShowError(FromUtf8(lacking));
      return false;
    }
  }
  SendParse parse = ParseSendText(entry, ChosenLineEnd(), m_services.encode);
  if (!parse.ok) {
    ShowError(FromUtf8(parse.Describe()));
    return false;
  }
  const PushResult pushed = m_services.send(std::move(parse.bytes));
  if (!pushed) {
    ShowError(FromUtf8(pushed.Refusal()));
    return false;
  }
  ShowError({});
  if (!entry.text.empty()) {
    m_history.Add(entry);
    SaveHistory();
  }
  m_walk.Reset();
  m_bRecalling = true;
  m_pField->clear();
  m_bRecalling = false;
  return true;
}

void CSendLineBar::Recall(const std::optional<SendEntry>& entry) {
  if (!entry) return;
  m_bRecalling = true;
  ShowEntry(*entry);
  m_bRecalling = false;
  ShowError({});
}

void CSendLineBar::FillHistoryMenu() {
  QMenu* menu = m_pHistoryButton->menu();
  menu->clear();
  // The entries that hold what is typed, as Up would walk them.
  const std::vector<std::size_t> matching = m_history.Matching(Entry().text);
  for (std::size_t i = 0; i < matching.size() && i < kMenuEntries; ++i) {
    const SendEntry entry = m_history.Entries()[matching[i]];
    const QString words = FromUtf8(FormatWords(entry));
    QAction* action =
        menu->addAction(FromUtf8(entry.text).replace(QLatin1Char('&'), QStringLiteral("&&")) +
                        QStringLiteral("\t") + words);
    connect(action, &QAction::triggered, this, [this, entry] {
      m_walk.Reset();
      Recall(entry);
      m_pField->setFocus();
    });
  }
  if (matching.empty()) menu->addAction(QStringLiteral("(nothing sent yet)"))->setEnabled(false);
  menu->addSeparator();
  QAction* clear = menu->addAction(QStringLiteral("Clear History"));
  clear->setEnabled(!m_history.Entries().empty());
  connect(clear, &QAction::triggered, this, &CSendLineBar::ClearHistory);
}

void CSendLineBar::ClearHistory() {
  m_walk.Reset();
  m_history.Clear();
  SaveHistory();
}

void CSendLineBar::SaveHistory() {
  if (!m_pHistoryFile) return;
  // On a first start the profile's folder may not be there yet.
  std::error_code ignored;
  std::filesystem::create_directories(m_pHistoryFile->Path().parent_path(), ignored);
  const std::string error = m_pHistoryFile->Save(m_history);
  if (!error.empty() && m_services.status)
    m_services.status(QStringLiteral("The send history was not saved: ") + FromUtf8(error));
}

void CSendLineBar::SaveChoices() const {
  QSettings profile = OpenUserProfile();
  profile.setValue(QLatin1String(kFormatKey), m_pFormat->currentIndex());
  profile.setValue(QLatin1String(kUnitKey), m_pUnit->currentIndex());
  profile.setValue(QLatin1String(kReverseKey), m_pReverse->isChecked() ? 1 : 0);
  profile.setValue(QLatin1String(kLineEndKey), m_pLineEnd->currentIndex());
}

}  // namespace tarnwick
