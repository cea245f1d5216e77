#include "transmit/qt/send_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/qt/dialog_exchange.h"
#include "dialogs/qt/file_chooser.h"
#include "display/view/ansi_text.h"
#include "transmit/qt/send_text.h"

namespace tarnwick {
namespace {

// A fresh progress control's range, before the first send sets its own.
constexpr int kInitialProgressMax = 100;
// Paragraphs longer than this wrap anywhere: looking for word boundaries in
// one of megabytes would hold the window for minutes.
constexpr int kLongParagraph = 4096;

QCheckBox* Check(const QString& text, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(QLatin1String(name));
  box->setAccessibleName(text);
  return box;
}

QComboBox* List(const QStringList& items, const char* name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  list->addItems(items);  // in this order, unsorted: the index is the value
  return list;
}

QLineEdit* NumberEdit(const char* name, int widthChars, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(name));
  edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * widthChars + 16);
  return edit;
}

}  // namespace

CSendDialog::CSendDialog(MessageBoxes& boxes, TxHandOver& worker, QWidget* parent)
    : QDialog(parent),
      m_controller(boxes, worker, *this, *this, *this),
      m_pOwnChooser(std::make_unique<QtFileChooser>()),
      m_pChooser(m_pOwnChooser.get()) {
  setObjectName(QStringLiteral("sendDialog"));
  setWindowTitle(QStringLiteral("Send data"));
  // A window of its own with a minimise box, beside the main window.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  // An open Send window neither keeps the program running nor stops Exit.
  setAttribute(Qt::WA_QuitOnClose, false);
  CreateControls();
}

CSendDialog::~CSendDialog() = default;

void CSendDialog::CreateControls() {
  m_wndSend = new QPushButton(QStringLiteral("SEND"), this);
  m_wndSend->setObjectName(QStringLiteral("sendButton"));
  m_wndSend->setDefault(true);
  m_wndSend->setMinimumWidth(m_wndSend->fontMetrics().horizontalAdvance(QStringLiteral("ABORT")) +
                             32);

  m_wndText = new QPlainTextEdit(this);
  m_wndText->setObjectName(QStringLiteral("textBox"));
  m_wndText->setAccessibleName(QStringLiteral("Text to send"));
  // Enter is a line break here; Tab moves on, as in a dialog's edit box.
  m_wndText->setTabChangesFocus(true);
  m_wndText->setMinimumHeight(m_wndText->fontMetrics().lineSpacing() * 4 + 12);

  m_wndProgress = new QProgressBar(this);
  m_wndProgress->setObjectName(QStringLiteral("progressBar"));
  m_wndProgress->setAccessibleName(QStringLiteral("Transmission progress"));
  m_wndProgress->setTextVisible(false);
  m_wndProgress->setRange(0, kInitialProgressMax);
  m_wndProgress->setValue(0);

  m_wndFormat = List({QStringLiteral("ASCII"), QStringLiteral("HEX"), QStringLiteral("BIN"),
                      QStringLiteral("DEC"), QStringLiteral("FLOAT")},
                     "formatList", this);
  m_wndPeriodic = Check(QStringLiteral("Send periodically"), "periodicCheck", this);
  m_wndPeriod = NumberEdit("periodEdit", 6, this);
  m_wndSendFile = Check(QStringLiteral("Send File"), "sendFileCheck", this);
  m_wndBrowse = new QPushButton(QStringLiteral("..."), this);
  m_wndBrowse->setObjectName(QStringLiteral("browseButton"));
  m_wndBrowse->setAccessibleName(QStringLiteral("..."));
  m_wndBrowse->setAccessibleDescription(QStringLiteral("Choose the file to send"));
  m_wndBrowse->setAutoDefault(false);
  m_wndBrowse->setMaximumWidth(m_wndBrowse->fontMetrics().horizontalAdvance(QStringLiteral("...")) +
                               20);
  m_wndReverse = Check(QStringLiteral("Reverse bytes"), "reverseCheck", this);
  m_wndLength =
      List({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")},
           "lengthList", this);
  m_wndTransmitCount = NumberEdit("transmitCountEdit", 6, this);

  auto* unitFormat = new QGroupBox(QStringLiteral("Unit Format"), this);
  auto* unitGrid = new QGridLayout(unitFormat);
  unitGrid->addWidget(BuddyLabel(QStringLiteral("Length"), m_wndLength, unitFormat), 0, 0);
  unitGrid->addWidget(m_wndLength, 0, 1);
  unitGrid->addWidget(new QLabel(QStringLiteral("bytes"), unitFormat), 0, 2);
  unitGrid->addWidget(BuddyLabel(QStringLiteral("Format"), m_wndFormat, unitFormat), 1, 0);
  unitGrid->addWidget(m_wndFormat, 1, 1, 1, 2);
  unitGrid->addWidget(m_wndReverse, 2, 0, 1, 3);

  auto* settings = new QGroupBox(QStringLiteral("Settings"), this);
  auto* settingsGrid = new QGridLayout(settings);
  settingsGrid->addWidget(m_wndSendFile, 0, 0, 1, 2);
  settingsGrid->addWidget(m_wndBrowse, 0, 2);
  settingsGrid->addWidget(m_wndPeriodic, 1, 0, 1, 3);
  settingsGrid->addWidget(BuddyLabel(QStringLiteral("Period:"), m_wndPeriod, settings), 2, 0);
  settingsGrid->addWidget(m_wndPeriod, 2, 1);
  settingsGrid->addWidget(new QLabel(QStringLiteral("ms"), settings), 2, 2);

  auto* countLabel = BuddyLabel(QStringLiteral("Transmit count"), m_wndTransmitCount, this);
  auto* right = new QVBoxLayout;
  right->addWidget(countLabel);
  right->addWidget(m_wndTransmitCount);
  right->addStretch(1);
  right->addWidget(m_wndSend);

  auto* top = new QHBoxLayout;
  top->addWidget(unitFormat);
  top->addWidget(settings);
  top->addLayout(right);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_wndText, 1);
  layout->addWidget(m_wndProgress);
  // As small as the controls allow: a few lines of text, more when resized.
  resize(sizeHint().width(), minimumSizeHint().height());

  // Tab goes through the controls in the order the window was laid out in.
  QWidget* order[] = {m_wndSend,     m_wndText,   m_wndFormat,  m_wndPeriodic, m_wndPeriod,
                      m_wndSendFile, m_wndBrowse, m_wndReverse, m_wndLength,   m_wndTransmitCount};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(m_wndSend, &QPushButton::clicked, this, &CSendDialog::OnOK);
  connect(m_wndSendFile, &QCheckBox::clicked, this, &CSendDialog::OnOptionClicked);
  connect(m_wndPeriodic, &QCheckBox::clicked, this, &CSendDialog::OnOptionClicked);
  connect(m_wndBrowse, &QPushButton::clicked, this, &CSendDialog::OnBrowse);
  connect(m_wndText, &QPlainTextEdit::textChanged, this, [this] { m_bBoxEdited = true; });
  // Before the text box lays the new text out.
  connect(m_wndText->document(), &QTextDocument::contentsChange, this,
          &CSendDialog::OnTextContentsChange);
}

void CSendDialog::ShowWindow() {
  if (isHidden()) {
    OnInitDialog();
    show();
  } else {
    showNormal();
  }
  raise();
  activateWindow();
}

void CSendDialog::PlaceBeside(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  const QRect beside = window.frameGeometry();
  const QSize size = sizeHint().expandedTo(minimumSizeHint());
  const int x = std::min(beside.right() + 1, available.right() + 1 - size.width());
  move(std::max(available.left(), x), std::max(available.top(), beside.top()));
}

void CSendDialog::OnInitDialog() {
  // The window comes back as a fresh one: an idle progress bar, the controls
  // filled from the members, the focus on button 1.
  m_wndProgress->setRange(0, kInitialProgressMax);
  m_wndProgress->setValue(0);
  m_controller.OnInitDialog();
  m_wndSend->setFocus(Qt::OtherFocusReason);
}

void CSendDialog::reject() {
  m_controller.OnClose();
  QDialog::reject();
}

void CSendDialog::OnTextContentsChange(int from, int /*removed*/, int added) {
  const QTextDocument& document = *m_wndText->document();
  if (m_wndText->wordWrapMode() == QTextOption::WrapAnywhere) {
    if (document.characterCount() <= kLongParagraph)
      m_wndText->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return;
  }
  for (QTextBlock block = document.findBlock(from);
       block.isValid() && block.position() <= from + added; block = block.next()) {
    if (block.length() > kLongParagraph) {
      m_wndText->setWordWrapMode(QTextOption::WrapAnywhere);
      return;
    }
  }
}

void CSendDialog::OnOK() { m_controller.OnOK(); }

void CSendDialog::OnOptionClicked() { m_controller.OnOptionClicked(); }

void CSendDialog::OnBrowse() {
  const std::optional<QString> chosen = m_pChooser->ChooseFile(this, QString(), true);
  if (!chosen) return;
  m_controller.OnBrowseChosen(QFile::encodeName(*chosen).toStdString());
}

const std::string& CSendDialog::TextBoxBytes() {
  if (m_bBoxEdited) {
    m_strBoxBytes = SendBytesFromText(m_wndText->document()->toRawText());
    m_bBoxEdited = false;
  }
  return m_strBoxBytes;
}

void CSendDialog::ReadControls() {
  SendFieldValues values;
  values.text = TextBoxBytes();
  values.periodic = CheckValue(*m_wndPeriodic);
  values.sendFile = CheckValue(*m_wndSendFile);
  values.format = ListIndex(*m_wndFormat);
  values.reverse = CheckValue(*m_wndReverse);
  values.period = QStringToAnsi(m_wndPeriod->text());
  values.unitIndex = ListIndex(*m_wndLength);
  values.transmitCount = QStringToAnsi(m_wndTransmitCount->text());
  const FieldReader reader = m_controller.ExchangeFromControls(values);
  if (reader.Failed()) FocusField(reader.FailedField());
}

void CSendDialog::FocusField(int field) {
  QLineEdit* edit = nullptr;
  if (field == kFieldPeriod) edit = m_wndPeriod;
  if (field == kFieldTransmitCount) edit = m_wndTransmitCount;
  if (edit == nullptr) return;
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

void CSendDialog::ShowText() {
  if (m_controller.TextShowsFilePath()) {
    // The path is the file system's bytes: shown as the file system names it.
    const std::string& path = m_controller.Parser().m_strFilePath;
    m_wndText->setPlainText(QString::fromLatin1(kSendFilePrefix) +
                            QFile::decodeName(QByteArray(path.data(), qsizetype(path.size()))));
    return;
  }
  const std::string& text = m_controller.Parser().m_strText;
  // A box that shows the text already keeps it: a large text is not laid out
  // again, and the cursor stays where it was.
  if (TextBoxBytes() == text) return;
  m_wndText->setPlainText(TextFromSendBytes(text));
}

void CSendDialog::ShowMembers() {
  SendController& c = m_controller;
  TransmitParser& p = c.Parser();
  ShowText();
  ShowCheck(*m_wndPeriodic, c.m_bPeriodic);
  ShowCheck(*m_wndSendFile, p.m_bSendFile);
  ShowListIndex(*m_wndFormat, p.m_nFormat);
  ShowCheck(*m_wndReverse, p.m_bReverse);
  ShowInteger(*m_wndPeriod, c.m_nPeriod);
  ShowListIndex(*m_wndLength, p.m_nUnitIndex);
  ShowInteger(*m_wndTransmitCount, c.m_nTransmitCount);
}

void CSendDialog::ApplyControls(const SendControls& controls) {
  m_wndText->setEnabled(controls.textEnabled);
  m_wndBrowse->setEnabled(controls.browseEnabled);
  m_wndPeriod->setEnabled(controls.periodEnabled);
  m_wndSend->setText(QString::fromLatin1(controls.buttonLabel));
}

void CSendDialog::StartTimer(int id, int periodMs) {
  QTimer*& timer = m_timers[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id] { m_controller.OnTimer(id); });
  }
  timer->start(periodMs);  // a running timer starts over with the new period
}

void CSendDialog::KillTimer(int id) {
  const auto found = m_timers.find(id);
  if (found != m_timers.end()) found->second->stop();
}

void CSendDialog::SetProgressRange(std::int32_t lower, std::int32_t upper) {
  m_wndProgress->setRange(lower, upper);
}

void CSendDialog::SetProgressPos(std::int32_t pos) { m_wndProgress->setValue(pos); }

}  // namespace tarnwick
