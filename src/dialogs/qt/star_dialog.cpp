#include "dialogs/qt/star_dialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStylePainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "dialogs/port_settings_lists.h"
#include "dialogs/qt/also_listen_on.h"
#include "dialogs/qt/dialog_exchange.h"
#include "dialogs/qt/file_chooser.h"
#include "dialogs/qt/multi_line_check_box.h"
#include "dialogs/save_to_file.h"
#include "platform/com_names.h"
#include "port/line_tables.h"
#include "settings/qt/port_profile.h"

namespace tarnwick {

namespace {

// The caption of "Save to file: " wraps at about this many average characters
// and shows at most this many lines; the tooltip holds all of it.

// The port list shows "COMn" while closed, as the caption names the port; the
// open list shows every entry whole.
class PortList : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    if (currentIndex() >= 0)
      option.currentText = QString::fromStdString(PortName(currentIndex() + 1));
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
  }
};

void AddItems(QComboBox& list, std::span<const std::string_view> items) {
  for (const std::string_view item : items) {
    list.addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
  }
}

}  // namespace

CStarDialog::CStarDialog(SETTINGS* settings, FileChooser& chooser, MessageBoxes& boxes,
                         std::function<void()> recordWritten, QWidget* parent)
    : QDialog(parent),
      m_pSettings(settings),
      m_chooser(chooser),
      m_boxes(boxes),
      m_recordWritten(std::move(recordWritten)) {
  setWindowTitle(QStringLiteral("Port Settings"));
  CreateControls();
  OnInitDialog();
}

void CStarDialog::CreateControls() {
  m_pPort = new PortList(this);
  m_pBaudRate = new QComboBox(this);
  m_pParity = new QComboBox(this);
  m_pDataBits = new QComboBox(this);
  m_pStopBits = new QComboBox(this);
  m_pDtr = new QComboBox(this);
  m_pRts = new QComboBox(this);
  m_pUseCts = new QCheckBox(QStringLiteral("Use &CTS"), this);
  m_pUseDsr = new QCheckBox(QStringLiteral("&Use DSR"), this);
  m_pDsrSensitivity = new QCheckBox(QStringLiteral("DSR Se&nsitivity"), this);
  m_pSaveToFile = new MultiLineCheckBox(this);
  m_pPortDevice = new QLabel(this);
  m_pDevice = new QLineEdit(this);
  m_pDeviceNote = new QLabel(this);
  m_pDeviceNote->setObjectName(QStringLiteral("deviceNote"));
  m_pDeviceNote->setWordWrap(true);
  m_pDeviceNote->hide();
  // Wide enough for a by-id name's start or a whole network address.
  m_pDevice->setMinimumWidth(m_pDevice->fontMetrics().horizontalAdvance(
                                 QStringLiteral("rfc2217://255.255.255.255:65535")) +
                             2 * m_pDevice->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
  // Rates beside the list are typed in; only digits are taken.
  m_pBaudRate->setEditable(true);
  m_pBaudRate->setInsertPolicy(QComboBox::NoInsert);
  m_pBaudRate->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,10}")), this));
  m_pOk = new QPushButton(QStringLiteral("OK"), this);
  m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
  for (QCheckBox* box : {m_pUseCts, m_pUseDsr, m_pDsrSensitivity}) {
    box->setAccessibleName(box->text().remove(u'&'));
  }
  m_pOk->setAccessibleName(m_pOk->text());
  m_pCancel->setAccessibleName(m_pCancel->text());
  m_pPortDevice->setAccessibleName(QStringLiteral("Port device"));
  m_pPortDevice->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* main = new QGroupBox(QStringLiteral("Main Settings"), this);
  auto* mainGrid = new QGridLayout(main);
  const std::pair<const char*, QComboBox*> mainRows[] = {{"&Port", m_pPort},
                                                         {"&Baud rate", m_pBaudRate},
                                                         {"P&arity", m_pParity},
                                                         {"&Data bits", m_pDataBits},
                                                         {"&Stop bits", m_pStopBits}};
  int row = 0;
  for (const auto& [text, list] : mainRows) {
    mainGrid->addWidget(BuddyLabel(QString::fromLatin1(text), list, main), row, 0);
    mainGrid->addWidget(list, row++, 1);
    if (list != m_pPort) continue;
    // What the chosen COM number opens, beside the list, and why it cannot
    // be changed here when the environment names it.
    mainGrid->addWidget(BuddyLabel(QStringLiteral("De&vice"), m_pDevice, main), row, 0);
    mainGrid->addWidget(m_pDevice, row++, 1);
    mainGrid->addWidget(m_pDeviceNote, row++, 1);
  }
  mainGrid->setRowStretch(row, 1);

  auto* additional = new QGroupBox(QStringLiteral("Additional"), this);
  auto* additionalGrid = new QGridLayout(additional);
  additionalGrid->addWidget(BuddyLabel(QStringLiteral("D&TR"), m_pDtr, additional), 0, 0);
  additionalGrid->addWidget(m_pDtr, 0, 1);
  additionalGrid->addWidget(BuddyLabel(QStringLiteral("&RTS"), m_pRts, additional), 1, 0);
  additionalGrid->addWidget(m_pRts, 1, 1);
  additionalGrid->addWidget(m_pUseCts, 2, 0, 1, 2);
  additionalGrid->addWidget(m_pUseDsr, 3, 0, 1, 2);
  additionalGrid->addWidget(m_pDsrSensitivity, 4, 0, 1, 2);
  additionalGrid->setRowStretch(5, 1);

  auto* groups = new QHBoxLayout;
  groups->addWidget(main);
  groups->addWidget(additional);

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setFrameShadow(QFrame::Sunken);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(m_pSaveToFile);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_pCancel);
  buttons->addWidget(m_pOk);
  m_pOk->setDefault(true);

  auto* top = new QVBoxLayout(this);
  top->addLayout(groups);
  top->addWidget(m_pPortDevice);
  top->addWidget(frame);
  top->addLayout(buttons);
  top->setSizeConstraint(QLayout::SetFixedSize);

  // The template's order: lists, check boxes, the capture box, OK, Cancel.
  QWidget* const order[] = {m_pPort,           m_pDevice,     m_pBaudRate, m_pParity, m_pDataBits,
                            m_pStopBits,       m_pDtr,        m_pRts,      m_pUseCts, m_pUseDsr,
                            m_pDsrSensitivity, m_pSaveToFile, m_pOk,       m_pCancel};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(m_pSaveToFile, &QCheckBox::clicked, this, &CStarDialog::OnSaveToFile);
  connect(m_pOk, &QPushButton::clicked, this, &CStarDialog::accept);
  connect(m_pCancel, &QPushButton::clicked, this, &CStarDialog::reject);
  connect(m_pPort, &QComboBox::currentIndexChanged, this, &CStarDialog::ShowPortDevice);
  connect(m_pDevice, &QLineEdit::textEdited, this, [this](const QString& text) {
    m_deviceEdits[m_nShownCom] = text;
    ShowPortInfo(m_nShownCom - 1, DescribeTypedDevice(m_nShownCom, text));
  });
}

void CStarDialog::OnInitDialog() {
  AddItems(*m_pBaudRate, kBaudItems);
  AddItems(*m_pParity, kParityItems);
  AddItems(*m_pDataBits, kDataBitsItems);
  AddItems(*m_pStopBits, kStopBitsItems);
  AddItems(*m_pDtr, kDtrItems);
  AddItems(*m_pRts, kRtsItems);
  FillPortList();
  SetSaveToFileCaption();

  // Showing may correct check fields outside 0..2 in the record.
  const SETTINGS before = *m_pSettings;
  DoDataExchange(false);
  ShowPortDevice(m_pPort->currentIndex());
  if (std::memcmp(&before, m_pSettings, sizeof before) != 0) NoteRecordWritten();
}

// COM1 to COM99 whichever exist; an entry whose device is there is bold.
void CStarDialog::FillPortList() {
  m_ports.clear();
  QFont present = m_pPort->font();
  present.setBold(true);
  int widest = 0;
  for (int com = 1; com <= kPortCount; ++com) {
    m_pPort->addItem(QString());
    m_ports.emplace_back();
    ShowPortInfo(com - 1, DescribeComPort(com));
    const QString entry = m_pPort->itemText(com - 1);
    widest = std::max(
        widest,
        QFontMetrics(m_ports.back().bPresent ? present : m_pPort->font()).horizontalAdvance(entry));
  }
  // The open list is wide enough for whole entries; the closed box shows "COMn".
  const int margins = 4 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24;
  m_pPort->view()->setMinimumWidth(widest + margins);
  m_pPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_pPort->setMinimumContentsLength(6);
}

// The port list's entry and the line under the lists say what info says.
void CStarDialog::ShowPortInfo(int index, ComPortInfo info) {
  if (index < 0 || index >= static_cast<int>(m_ports.size())) return;
  const QString line = QFile::decodeName(PortDeviceLine(info).c_str());
  m_pPort->setItemText(index, QFile::decodeName(PortListEntry(info).c_str()));
  m_pPort->setItemData(index, line, Qt::ToolTipRole);
  QFont bold = m_pPort->font();
  bold.setBold(true);
  m_pPort->setItemData(index, info.bPresent ? QVariant(bold) : QVariant(), Qt::FontRole);
  m_ports[static_cast<std::size_t>(index)] = std::move(info);
  if (index == m_pPort->currentIndex()) m_pPortDevice->setText(line);
}

// What a typed device would open: the usual device when the field is empty.
ComPortInfo CStarDialog::DescribeTypedDevice(int com, const QString& text) {
  const std::string typed = QFile::encodeName(text.trimmed()).toStdString();
  return DescribeComDevice(com, typed.empty() ? DefaultComDevice(com) : typed);
}

void CStarDialog::ShowPortDevice(int index) {
  const int previousCom = m_nShownCom;
  if (index < 0 || index >= static_cast<int>(m_ports.size())) {
    m_pPortDevice->clear();
    m_pDevice->clear();
    m_nShownCom = 0;
    return;
  }
  m_pPortDevice->setText(QFile::decodeName(PortDeviceLine(m_ports[index]).c_str()));
  const int com = index + 1;
  m_nShownCom = com;
  // What the number opens today, or what was typed for it in this dialog.
  const auto edited = m_deviceEdits.find(com);
  m_pDevice->setText(edited != m_deviceEdits.end()
                         ? edited->second
                         : QFile::decodeName(ResolveComNumber(com).c_str()));
  if (edited != m_deviceEdits.end()) ShowPortInfo(index, DescribeTypedDevice(com, edited->second));
  const bool overridden = !EnvironmentComDevice(com).empty();
  m_pDevice->setReadOnly(overridden);
  const QString note = QStringLiteral("TARNWICK_COM%1 names the device for this run").arg(com);
  m_pDevice->setToolTip(overridden ? note
                                   : QStringLiteral("A path, rfc2217://HOST:PORT or "
                                                    "tcp://HOST:PORT; empty for the usual device"));
  m_pDevice->setAccessibleDescription(overridden ? note : QString());
  m_pDeviceNote->setText(note + QStringLiteral(": read only here"));
  m_pDeviceNote->setVisible(overridden);
  // A rate typed for a COM number is shown with it; the record's otherwise.
  if (const std::uint32_t typed = ProfileComBaud(com); typed != 0) {
    m_pBaudRate->setEditText(QString::number(typed));
  } else if (previousCom != 0 && ProfileComBaud(previousCom) != 0) {
    ShowListIndex(*m_pBaudRate, m_pSettings->nBaudIndex);
  }
}

void CStarDialog::DoDataExchange(bool saveAndValidate) {
  SETTINGS& s = *m_pSettings;
  if (saveAndValidate) {
    s.nPortIndex = ListIndex(*m_pPort);
    s.nBaudIndex = ListIndex(*m_pBaudRate);
    s.nDataBitsIndex = ListIndex(*m_pDataBits);
    s.nStopBitsIndex = ListIndex(*m_pStopBits);
    s.nParityIndex = ListIndex(*m_pParity);
    s.bUseDsr = CheckValue(*m_pUseDsr);
    s.bDsrSensitivity = CheckValue(*m_pDsrSensitivity);
    s.bUseCts = CheckValue(*m_pUseCts);
    s.nDtrIndex = ListIndex(*m_pDtr);
    s.nRtsIndex = ListIndex(*m_pRts);
    s.bSaveRaw = CheckValue(*m_pSaveToFile);
    return;
  }
  ShowListIndex(*m_pPort, s.nPortIndex);
  ShowListIndex(*m_pBaudRate, s.nBaudIndex);
  ShowListIndex(*m_pDataBits, s.nDataBitsIndex);
  ShowListIndex(*m_pStopBits, s.nStopBitsIndex);
  ShowListIndex(*m_pParity, s.nParityIndex);
  ShowCheck(*m_pUseDsr, s.bUseDsr);
  ShowCheck(*m_pDsrSensitivity, s.bDsrSensitivity);
  ShowCheck(*m_pUseCts, s.bUseCts);
  ShowListIndex(*m_pDtr, s.nDtrIndex);
  ShowListIndex(*m_pRts, s.nRtsIndex);
  ShowCheck(*m_pSaveToFile, s.bSaveRaw);
}

void CStarDialog::AddAlsoListenOn(std::string* portName) {
  m_pAlsoListenOnName = portName;
  m_pAlsoListenOn = CreateAlsoListenOnList(*portName, this);
  auto* row = new QHBoxLayout;
  row->addWidget(BuddyLabel(QStringLiteral("Also &listen on"), m_pAlsoListenOn, this));
  row->addWidget(m_pAlsoListenOn);
  row->addStretch(1);
  // Below the groups and the port's device, above the capture box.
  static_cast<QVBoxLayout*>(layout())->insertLayout(2, row);
  setTabOrder(m_pDsrSensitivity, m_pAlsoListenOn);
  setTabOrder(m_pAlsoListenOn, m_pSaveToFile);
}

void CStarDialog::accept() {
  if (m_pAlsoListenOn != nullptr) *m_pAlsoListenOnName = AlsoListenOnChoice(*m_pAlsoListenOn);
  if (!CheckTypedFields()) return;
  const std::int32_t recordBaudIndex = m_pSettings->nBaudIndex;
  DoDataExchange(true);
  // A rate from the list is the record's index; any other is kept for the
  // COM number in the profile, and the record keeps its index.
  // An empty box (a record index outside the list shows none) is no rate.
  const QByteArray typed = m_pBaudRate->currentText().trimmed().toLatin1();
  const std::uint32_t rate = TypedBaudRate(std::string_view(typed.constData(), typed.size()));
  const auto listed = std::find(kBaudRates.begin(), kBaudRates.end(), rate);
  const bool keepTyped = rate != 0 && listed == kBaudRates.end();
  if (listed != kBaudRates.end()) {
    m_pSettings->nBaudIndex = static_cast<std::int32_t>(listed - kBaudRates.begin());
  } else if (keepTyped) {
    m_pSettings->nBaudIndex = recordBaudIndex;
  }
  if (m_nShownCom != 0) SavePortBaud(m_nShownCom, keepTyped ? rate : 0);
  SaveProfileFields();
  NoteRecordWritten();
  QDialog::accept();
}

// A bad device or rate is named in a box, and the field gets the focus.
bool CStarDialog::CheckTypedFields() {
  const QByteArray typed = m_pBaudRate->currentText().trimmed().toLatin1();
  if (!typed.isEmpty() && TypedBaudRate(std::string_view(typed.constData(), typed.size())) == 0) {
    m_boxes.Show("Enter a baud rate: a whole number of bits per second.", "Port Settings",
                 MessageIcon::kError);
    m_pBaudRate->setFocus();
    return false;
  }
  for (const auto& [com, text] : m_deviceEdits) {
    const QByteArray device = QFile::encodeName(text.trimmed());
    const std::string error = DeviceFieldError(device.toStdString());
    if (error.empty()) continue;
    m_boxes.Show(error, "Port Settings", MessageIcon::kError);
    ShowListIndex(*m_pPort, com - 1);
    m_pDevice->setFocus();
    m_pDevice->selectAll();
    return false;
  }
  return true;
}

// Edited devices: the usual one (or nothing) removes the entry.
void CStarDialog::SaveProfileFields() {
  for (const auto& [com, text] : m_deviceEdits) {
    if (!EnvironmentComDevice(com).empty()) continue;
    const QString device = text.trimmed();
    const bool usual =
        device.isEmpty() || QFile::encodeName(device).toStdString() == DefaultComDevice(com);
    SavePortDevice(com, usual ? QString() : device);
  }
}

// The flag and the path go into the record at once and stay, whatever the
// dialog's end. The check mark then shows the flag: after a cancelled or
// refused choice the box is not left checked with capture off.
void CStarDialog::OnSaveToFile() {
  ToggleSaveToFile(m_pSettings->bSaveRaw, m_pSettings->szRawFile, LogChooserFor(m_chooser, this),
                   m_boxes);
  m_pSaveToFile->setChecked(m_pSettings->bSaveRaw != 0);
  SetSaveToFileCaption();
  NoteRecordWritten();
}

void CStarDialog::SetSaveToFileCaption() {
  m_pSaveToFile->SetCaption(QFile::decodeName(SaveToFileCaption(m_pSettings->szRawFile).c_str()));
}

void CStarDialog::NoteRecordWritten() {
  if (m_recordWritten) m_recordWritten();
}

}  // namespace tarnwick
