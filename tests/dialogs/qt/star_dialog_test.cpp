// The real Port Settings dialog, offscreen: its lists, the exchange with the
// record both ways, the "Save to file: " click, the keyboard and the port
// list's devices. The file chooser answers from the test.
#include "dialogs/qt/star_dialog.h"
#include "dialogs/qt/multi_line_check_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/private_profile.h"
#include "dialogs/port_settings_lists.h"
#include "platform/com_names.h"
#include "platform/com_port_info.h"
#include "port/scoped_env.h"
#include "support/pseudo_terminal.h"
#include "support/recording_message_boxes.h"
#include "support/scripted_choosers.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::RecordingMessageBoxes;
using testing::ScriptedFileChooser;

template <class T>
T* Control(QWidget& parent, const QString& accessibleName) {
  for (T* widget : parent.findChildren<T*>()) {
    if (widget->accessibleName() == accessibleName) return widget;
  }
  return nullptr;
}

QStringList Items(const QComboBox& list) {
  QStringList items;
  for (int i = 0; i < list.count(); ++i) items << list.itemText(i);
  return items;
}

std::vector<unsigned char> Bytes(const SETTINGS& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(&s);
  return {p, p + sizeof s};
}

// The lists by label, in the order the record's exchange fields are checked.
const char* const kListNames[] = {"Port",      "Baud rate", "Parity", "Data bits",
                                  "Stop bits", "DTR",       "RTS"};

struct DialogRig {
  explicit DialogRig(const SETTINGS& record = DefaultSettings()) : settings(record) {}

  CStarDialog& Open() {
    dialog = std::make_unique<CStarDialog>(&settings, chooser, boxes, [this] { ++writes; });
    dialog->show();
    return *dialog;
  }
  QComboBox& List(const char* name) {
    QComboBox* list = Control<QComboBox>(*dialog, QString::fromLatin1(name));
    if (list == nullptr) throw std::runtime_error(std::string("no list ") + name);
    return *list;
  }
  QCheckBox& Check(const QString& name) {
    QCheckBox* box = Control<QCheckBox>(*dialog, name);
    if (box == nullptr) throw std::runtime_error("no check box " + name.toStdString());
    return *box;
  }
  MultiLineCheckBox& SaveToFile() {
    for (auto* box : dialog->findChildren<MultiLineCheckBox*>()) {
      if (box->accessibleName().startsWith(QStringLiteral("Save to file: "))) return *box;
    }
    throw std::runtime_error("no Save to file box");
  }
  // A click where a person clicks: a button's middle, a check box's mark.
  void Click(QAbstractButton& button) {
    QPoint at = button.rect().center();
    if (qobject_cast<QCheckBox*>(&button) != nullptr) {
      QStyleOptionButton option;
      option.initFrom(&button);
      at = button.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &button).center();
    }
    QTest::mouseClick(&button, Qt::LeftButton, {}, at);
  }

  SETTINGS settings;
  ScriptedFileChooser chooser;
  RecordingMessageBoxes boxes;
  int writes = 0;
  std::unique_ptr<CStarDialog> dialog;
};

TEST(StarDialog, ControlsListsLabelsAndOrder) {
  DialogRig rig;
  CStarDialog& dialog = rig.Open();
  EXPECT_EQ(dialog.windowTitle(), "Port Settings");
  QStringList groups;
  for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) groups << group->title();
  EXPECT_EQ(groups, (QStringList{"Main Settings", "Additional"}));

  const struct {
    const char* name;
    QStringList items;
  } lists[] = {
      {"Baud rate",
       {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000",
        "57600", "115200", "128000", "256000"}},
      {"Parity", {"NOPARITY (None)", "SPACE (Space)", "MARK (Mark)", "EVEN (Even)", "ODD (Odd)"}},
      {"Data bits", {"5", "6", "7", "8"}},
      {"Stop bits", {"1", "1.5", "2"}},
      {"DTR", {"DISABLE", "ENABLE", "HANDSHAKE"}},
      {"RTS", {"DISABLE", "ENABLE", "HANDSHAKE", "TOGGLE"}},
  };
  for (const auto& list : lists) EXPECT_EQ(Items(rig.List(list.name)), list.items) << list.name;

  // 99 ports, index k standing for COM(k + 1), whatever the machine has.
  const QStringList ports = Items(rig.List("Port"));
  ASSERT_EQ(ports.size(), 99);
  for (int k = 0; k < ports.size(); ++k) {
    const QRegularExpression name(QStringLiteral("^COM%1( |$)").arg(k + 1));
    EXPECT_TRUE(name.match(ports[k]).hasMatch()) << ports[k].toStdString();
  }

  // Every list has its label as buddy and name; the labels carry mnemonics.
  int buddies = 0;
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (label->buddy() == nullptr) continue;
    ++buddies;
    EXPECT_TRUE(label->text().contains(u'&')) << label->text().toStdString();
    EXPECT_EQ(label->buddy()->accessibleName(), label->text().remove(u'&'));
  }
  EXPECT_EQ(buddies, 8);

  // Tab order as the template reads: lists, check boxes, capture box, OK, Cancel.
  QStringList order;
  QWidget* widget = &rig.List("Port");
  do {
    // The baud box's own edit is where the box hands its focus, not a stop.
    const bool boxEdit = qobject_cast<QComboBox*>(widget->parentWidget()) != nullptr;
    if ((widget->focusPolicy() & Qt::TabFocus) && !boxEdit) order << widget->accessibleName();
    widget = widget->nextInFocusChain();
  } while (widget != &rig.List("Port") && order.size() < 20);
  EXPECT_EQ(order, (QStringList{"Port", "Device", "Baud rate", "Parity", "Data bits", "Stop bits",
                                "DTR", "RTS", "Use CTS", "Use DSR", "DSR Sensitivity",
                                "Save to file: ", "OK", "Cancel"}));
  EXPECT_TRUE(Control<QPushButton>(dialog, "OK")->isDefault());
  EXPECT_FALSE(Control<QPushButton>(dialog, "Cancel")->isDefault());

  // Alt and a label's underlined letter move to its list.
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  const std::pair<Qt::Key, const char*> mnemonics[] = {
      {Qt::Key_B, "Baud rate"}, {Qt::Key_A, "Parity"}, {Qt::Key_D, "Data bits"},
      {Qt::Key_S, "Stop bits"}, {Qt::Key_T, "DTR"},    {Qt::Key_R, "RTS"},
      {Qt::Key_P, "Port"}};
  for (const auto& [key, list] : mnemonics) {
    QTest::keyClick(&dialog, key, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), &rig.List(list)) << list;
  }
}

struct ExchangeCase {
  const char* name;
  void (*edit)(SETTINGS&);
  std::vector<int> shownLists;          // selection of each list in kListNames order
  std::vector<bool> shownChecks;        // Use CTS, Use DSR, DSR Sensitivity, Save to file
  std::vector<std::int32_t> afterShow;  // bUseCts, bUseDsr, bDsrSensitivity, bSaveRaw
  std::vector<std::int32_t> afterOk;    // the same after OK with nothing touched
  bool correctedOnShow;
};

TEST(StarDialog, ShowsTheRecordAndStoresItBackOnOk) {
  const ExchangeCase cases[] = {
      {"defaults",
       [](SETTINGS&) {},
       {0, 6, 0, 3, 0, 0, 0},
       {false, false, false, false},
       {0, 0, 0, 0},
       {0, 0, 0, 0},
       false},
      {"every field set",
       [](SETTINGS& s) {
         s.nPortIndex = 4;
         s.nBaudIndex = 14;
         s.nDataBitsIndex = 1;
         s.nStopBitsIndex = 2;
         s.nParityIndex = 4;
         s.bUseDsr = s.bDsrSensitivity = s.bUseCts = 1;
         s.nDtrIndex = 2;
         s.nRtsIndex = 3;
         s.bSaveRaw = 1;
         std::strcpy(s.szRawFile, "/var/log/raw.bin");
       },
       {4, 14, 4, 1, 2, 2, 3},
       {true, true, true, true},
       {1, 1, 1, 1},
       {1, 1, 1, 1},
       false},
      {"indexes outside their lists",
       [](SETTINGS& s) {
         s.nPortIndex = 99;
         s.nBaudIndex = -1;
         s.nDataBitsIndex = 4;
         s.nStopBitsIndex = 3;
         s.nParityIndex = 5;
         s.nDtrIndex = 3;
         s.nRtsIndex = 100;
       },
       {-1, -1, -1, -1, -1, -1, -1},
       {false, false, false, false},
       {0, 0, 0, 0},
       {0, 0, 0, 0},
       false},
      {"check fields of 2 show unchecked; others are reset",
       [](SETTINGS& s) {
         s.bUseCts = 2;
         s.bUseDsr = 3;
         s.bDsrSensitivity = -5;
         s.bSaveRaw = 2;
       },
       {0, 6, 0, 3, 0, 0, 0},
       {false, false, false, false},
       {2, 0, 0, 2},
       {0, 0, 0, 0},
       true},
  };
  for (const ExchangeCase& c : cases) {
    SETTINGS record = DefaultSettings();
    c.edit(record);
    DialogRig rig(record);
    rig.Open();
    std::vector<int> shown;
    for (const char* name : kListNames) shown.push_back(rig.List(name).currentIndex());
    EXPECT_EQ(shown, c.shownLists) << c.name;
    const std::vector<bool> checks = {
        rig.Check("Use CTS").isChecked(), rig.Check("Use DSR").isChecked(),
        rig.Check("DSR Sensitivity").isChecked(), rig.SaveToFile().isChecked()};
    EXPECT_EQ(checks, c.shownChecks) << c.name;
    const SETTINGS& s = rig.settings;
    EXPECT_EQ((std::vector<std::int32_t>{s.bUseCts, s.bUseDsr, s.bDsrSensitivity, s.bSaveRaw}),
              c.afterShow)
        << c.name;
    // A correction on show is a write into the record, handed on at once.
    EXPECT_EQ(rig.writes, c.correctedOnShow ? 1 : 0) << c.name;

    rig.Click(*Control<QPushButton>(*rig.dialog, "OK"));
    EXPECT_EQ(rig.dialog->result(), QDialog::Accepted) << c.name;
    const std::vector<std::int32_t> lists = {s.nPortIndex,     s.nBaudIndex,     s.nParityIndex,
                                             s.nDataBitsIndex, s.nStopBitsIndex, s.nDtrIndex,
                                             s.nRtsIndex};
    std::vector<std::int32_t> expectedLists(c.shownLists.begin(), c.shownLists.end());
    EXPECT_EQ(lists, expectedLists) << c.name;
    EXPECT_EQ((std::vector<std::int32_t>{s.bUseCts, s.bUseDsr, s.bDsrSensitivity, s.bSaveRaw}),
              c.afterOk)
        << c.name;
    EXPECT_EQ(std::memcmp(s.szRawFile, record.szRawFile, sizeof s.szRawFile), 0) << c.name;
  }
}

TEST(StarDialog, ChosenEntriesAreStoredOnOkAndNothingOnCancel) {
  SETTINGS record = DefaultSettings();
  record.nPortIndex = 4;
  SETTINGS chosen = record;
  chosen.nPortIndex = 11;  // COM12
  chosen.nBaudIndex = 12;
  chosen.nParityIndex = 3;
  chosen.nRtsIndex = 3;
  chosen.bUseCts = chosen.bDsrSensitivity = 1;
  for (const bool ok : {true, false}) {
    DialogRig rig(record);
    rig.Open();
    EXPECT_EQ(rig.List("Port").currentIndex(), 4);
    rig.List("Port").setCurrentIndex(11);
    rig.List("Baud rate").setCurrentIndex(12);
    rig.List("Parity").setCurrentIndex(3);
    rig.List("RTS").setCurrentIndex(3);
    rig.Click(rig.Check("Use CTS"));
    rig.Click(rig.Check("DSR Sensitivity"));
    rig.Click(*Control<QPushButton>(*rig.dialog, ok ? "OK" : "Cancel"));
    EXPECT_EQ(rig.dialog->result(), ok ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(Bytes(rig.settings), Bytes(ok ? chosen : record)) << ok;
    EXPECT_EQ(rig.writes, ok ? 1 : 0);
  }
}

struct SaveToFileCase {
  const char* name;
  std::int32_t flagBefore;
  std::optional<QString> chosen;
  bool okAfter;  // the dialog then ends with OK, else with Cancel
  std::int32_t flagAfter;
  std::string pathAfter;
  std::size_t chooserAsked;
  std::size_t boxesShown;
};

TEST(StarDialog, SaveToFileWritesTheRecordAtOnceAndTheMarkFollowsTheFlag) {
  const QString tooLong = QStringLiteral("/") + QString(1100, u'a');
  const SaveToFileCase cases[] = {
      {"checked: off at once, kept on Cancel", 1, std::nullopt, false, 0, "/old.log", 0, 0},
      {"unchecked, chosen: on at once, kept on Cancel", 0, QStringLiteral("/new/capture.log"),
       false, 1, "/new/capture.log", 1, 0},
      {"unchecked, chosen, then OK", 0, QStringLiteral("/new/capture.log"), true, 1,
       "/new/capture.log", 1, 0},
      {"chooser cancelled, then OK: capture stays off", 0, std::nullopt, true, 0, "/old.log", 1, 0},
      {"path too long: refused with a box", 0, tooLong, true, 0, "/old.log", 1, 1},
      {"non-ASCII name stored as the file system's bytes", 0, QStringLiteral("/tmp/caf\u00e9.log"),
       true, 1, "/tmp/caf\xc3\xa9.log", 1, 0},
  };
  for (const SaveToFileCase& c : cases) {
    SETTINGS record = DefaultSettings();
    std::strcpy(record.szRawFile, "/old.log");
    record.bSaveRaw = c.flagBefore;
    DialogRig rig(record);
    rig.chooser.answer = c.chosen;
    rig.Open();
    QCheckBox& box = rig.SaveToFile();
    rig.Click(box);

    // At once, before the dialog ends.
    EXPECT_EQ(rig.settings.bSaveRaw, c.flagAfter) << c.name;
    EXPECT_EQ(std::string(rig.settings.szRawFile), c.pathAfter) << c.name;
    EXPECT_EQ(box.isChecked(), c.flagAfter == 1) << c.name;
    EXPECT_EQ(rig.writes, 1) << c.name;
    EXPECT_EQ(box.accessibleName().toStdString(),
              "Save to file: " + QFile::decodeName(c.pathAfter.c_str()).toStdString())
        << c.name;
    ASSERT_EQ(rig.chooser.offered.size(), c.chooserAsked) << c.name;
    if (c.chooserAsked > 0) {
      EXPECT_EQ(rig.chooser.offered[0], "/old.log") << c.name;
      EXPECT_FALSE(rig.chooser.mustExistAsked[0]) << c.name;  // a new log file is fine
    }
    EXPECT_EQ(rig.boxes.shown.size(), c.boxesShown) << c.name;

    rig.Click(*Control<QPushButton>(*rig.dialog, c.okAfter ? "OK" : "Cancel"));
    EXPECT_EQ(rig.settings.bSaveRaw, c.flagAfter) << c.name;
    EXPECT_EQ(std::string(rig.settings.szRawFile), c.pathAfter) << c.name;
  }
}

TEST(StarDialog, CaptionShowsAnyStoredPathAsText) {
  const struct {
    const char* name;
    std::string path;  // bytes as stored; kPathBufferSize of them means no NUL
    QString visibleStart;
  } cases[] = {
      {"empty", "", "Save to file: "},
      {"ampersands are no mnemonics", "/tmp/R&D/a&b.log", "Save to file: /tmp/R&D/a&b.log"},
      {"bytes that are no UTF-8", "/tmp/\xff\xfe.log", "Save to file: /tmp/"},
      {"no NUL at all", std::string(kPathBufferSize, 'z'), "Save to file: zzz"},
  };
  for (const auto& c : cases) {
    SETTINGS record = DefaultSettings();
    std::memcpy(record.szRawFile, c.path.data(), std::min(c.path.size() + 1, kPathBufferSize));
    DialogRig rig(record);
    rig.Open();
    const MultiLineCheckBox& box = rig.SaveToFile();
    EXPECT_TRUE(box.ShownText().startsWith(c.visibleStart))
        << c.name << ": " << box.ShownText().toStdString();
    EXPECT_EQ(box.text().count(u'&'), 2 * box.Caption().count(u'&')) << c.name;
    EXPECT_EQ(box.accessibleName(), QFile::decodeName(("Save to file: " + c.path).c_str()))
        << c.name;
    EXPECT_LE(box.ShownText().count(u'\n'), 3) << c.name;
  }
}

TEST(StarDialog, LongPathWrapsAndKeepsItsFileNameInView) {
  std::string path;
  while (path.size() < 900) path += "/a-rather-long-directory-name";
  path += "/capture-file.bin";
  SETTINGS record = DefaultSettings();
  std::strcpy(record.szRawFile, path.c_str());
  DialogRig rig(record);
  rig.Open();
  const MultiLineCheckBox& box = rig.SaveToFile();
  const QStringList lines = box.ShownText().split(u'\n');
  EXPECT_EQ(lines.size(), 4);
  EXPECT_TRUE(lines.last().endsWith("/capture-file.bin")) << lines.last().toStdString();
  EXPECT_EQ(box.toolTip().toStdString(), "Save to file: " + path);
  EXPECT_LT(rig.dialog->width(), 1200);
}

TEST(StarDialog, EnterIsOkAndEscapeIsCancel) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    DialogRig rig;
    rig.Open();
    rig.List("Baud rate").setFocus();
    rig.List("Baud rate").setCurrentIndex(12);
    QTest::keyClick(&rig.List("Baud rate"), key);
    const bool ok = key == Qt::Key_Return;
    EXPECT_EQ(rig.dialog->result(), ok ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_FALSE(rig.dialog->isVisible());
    EXPECT_EQ(rig.settings.nBaudIndex, ok ? 12 : 6);
  }
}

TEST(StarDialog, PortListSetsApartDevicesThatAreThere) {
  testing::PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  testing::TempDir dir;
  testing::ScopedEnv com3("TARNWICK_COM3", pty.path());
  testing::ScopedEnv com4("TARNWICK_COM4", dir.File("unplugged"));
  SETTINGS record = DefaultSettings();
  record.nPortIndex = 3;
  DialogRig rig(record);
  rig.Open();
  QComboBox& ports = rig.List("Port");
  EXPECT_EQ(ports.itemText(2).toStdString(), "COM3  " + pty.path() + " - pseudo-terminal");
  EXPECT_TRUE(ports.itemData(2, Qt::FontRole).value<QFont>().bold());
  EXPECT_EQ(ports.itemText(3).toStdString(), "COM4  " + dir.File("unplugged"));
  EXPECT_FALSE(ports.itemData(3, Qt::FontRole).isValid());

  // The chosen port's device is spelt out under the lists.
  const QLabel* device = Control<QLabel>(*rig.dialog, "Port device");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->text().toStdString(), "COM4 opens " + dir.File("unplugged") + ": not present");
  ports.setCurrentIndex(2);
  EXPECT_EQ(device->text().toStdString(), "COM3 opens " + pty.path() + ": pseudo-terminal");
  ports.setCurrentIndex(-1);
  EXPECT_TRUE(device->text().isEmpty());
}

// The line under the lists and the port's entry follow what is typed into
// Device; a device the environment names is read only, and a note beside
// the field says why.
TEST(StarDialog, DeviceLineFollowsTheTypingAndTheEnvironmentIsNamed) {
  testing::PrivateProfile profile;
  testing::PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  testing::TempDir dir;
  testing::ScopedEnv com3("TARNWICK_COM3", pty.path());
  DialogRig rig;
  rig.Open();
  QComboBox& ports = rig.List("Port");
  QLineEdit* field = Control<QLineEdit>(*rig.dialog, QStringLiteral("Device"));
  const QLabel* line = Control<QLabel>(*rig.dialog, "Port device");
  const auto* note = rig.dialog->findChild<QLabel*>(QStringLiteral("deviceNote"));
  ASSERT_TRUE(field != nullptr && line != nullptr && note != nullptr);
  const std::string usual = PortDeviceLine(DescribeComPort(5));
  const struct {
    const char* name;
    int port;                          // index in the list
    std::optional<std::string> typed;  // what replaces the field's text
    std::string line;
    bool readOnly;
  } steps[] = {
      {"COM5 as it is", 4, std::nullopt, usual, false},
      {"a pseudo-terminal typed", 4, pty.path(), "COM5 opens " + pty.path() + ": pseudo-terminal",
       false},
      {"a path that is not there", 4, dir.File("gone"),
       "COM5 opens " + dir.File("gone") + ": not present", false},
      {"emptied: the usual device", 4, "", usual, false},
      {"named by TARNWICK_COM3", 2, std::nullopt, "COM3 opens " + pty.path() + ": pseudo-terminal",
       true},
  };
  for (const auto& s : steps) {
    ports.setCurrentIndex(s.port);
    if (s.typed) {
      field->selectAll();
      if (s.typed->empty()) {
        QTest::keyClick(field, Qt::Key_Backspace);
      } else {
        QTest::keyClicks(field, QString::fromStdString(*s.typed));
      }
    }
    EXPECT_EQ(line->text().toStdString(), s.line) << s.name;
    EXPECT_EQ(ports.itemData(s.port, Qt::ToolTipRole).toString(), line->text()) << s.name;
    EXPECT_EQ(field->isReadOnly(), s.readOnly) << s.name;
    EXPECT_EQ(note->isVisibleTo(rig.dialog.get()), s.readOnly) << s.name;
    if (s.readOnly) {
      EXPECT_TRUE(note->text().contains(QStringLiteral("TARNWICK_COM3"))) << s.name;
    }
  }
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// What the Device field and the baud box hold on OK, and what the profile
// and the record keep of it; a refused entry shows a box and stores nothing.
struct TypedCase {
  const char* name;
  const char* device;  // typed into Device for COM3
  const char* baud;    // typed into the baud box
  bool accepted;
  QVariant storedDevice;
  QVariant storedBaud;
  std::int32_t baudIndex;
};

TEST(StarDialog, DeviceAndTypedBaudRateGoToTheProfilePerComNumber) {
  const TypedCase cases[] = {
      {"network device, rate beside the list", "rfc2217://127.0.0.1:2217", "921600", true,
       QStringLiteral("rfc2217://127.0.0.1:2217"), 921600, 6},
      {"path, rate from the list", "/dev/serial/by-id/usb-X", "115200", true,
       QStringLiteral("/dev/serial/by-id/usb-X"), QVariant(), 12},
      {"the usual device leaves no entry", "/dev/ttyS2", "9600", true, QVariant(), QVariant(), 6},
      {"malformed network device", "tcp://host", "9600", false, QVariant(), QVariant(), 6},
      {"rate that is no number", "/dev/ttyS2", "0", false, QVariant(), QVariant(), 6},
  };
  for (const TypedCase& c : cases) {
    testing::PrivateProfile profile;
    DialogRig rig;
    rig.Open();
    rig.List("Port").setCurrentIndex(2);
    QLineEdit* device = Control<QLineEdit>(*rig.dialog, QStringLiteral("Device"));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->text().toStdString(), ResolveComNumber(3)) << c.name;
    device->clear();
    QTest::keyClicks(device, QString::fromLatin1(c.device));
    rig.List("Baud rate").setEditText(QString::fromLatin1(c.baud));
    rig.Click(*Control<QPushButton>(*rig.dialog, QStringLiteral("OK")));
    EXPECT_EQ(rig.dialog->result() == QDialog::Accepted, c.accepted) << c.name;
    EXPECT_EQ(rig.boxes.shown.size(), c.accepted ? 0u : 1u) << c.name;
    EXPECT_EQ(profile.Value("Ports/COM3"), c.storedDevice) << c.name;
    EXPECT_EQ(profile.Value("Ports/COM3Baud").toLongLong(), c.storedBaud.toLongLong()) << c.name;
    EXPECT_EQ(rig.settings.nBaudIndex, c.baudIndex) << c.name;
    EXPECT_EQ(ProfileComBaud(3), static_cast<std::uint32_t>(c.storedBaud.toLongLong())) << c.name;
    SetProfileComDevice(3, "");
    SetProfileComBaud(3, 0);
  }
}

}  // namespace
}  // namespace tarnwick
