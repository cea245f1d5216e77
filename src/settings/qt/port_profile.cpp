#include "settings/qt/port_profile.h"

#include <QFile>

#include "platform/com_names.h"
#include "port/line_tables.h"
#include "settings/qt/user_profile.h"

namespace tarnwick {

namespace {

QString DeviceKey(int comNumber) { return QStringLiteral("Ports/COM%1").arg(comNumber); }
QString BaudKey(int comNumber) { return QStringLiteral("Ports/COM%1Baud").arg(comNumber); }

// Rates a UART can be asked for; anything else in a hand-edited profile is
// ignored rather than handed to the driver.
bool UsableRate(qlonglong rate) { return rate > 0 && rate <= 0xFFFFFFFFLL; }

}  // namespace

void LoadPortProfile() {
  const QSettings profile = OpenUserProfile();
  for (int com = 1; com <= kPortCount; ++com) {
    const QString device = profile.value(DeviceKey(com)).toString().trimmed();
    SetProfileComDevice(com, QFile::encodeName(device).toStdString());
    const qlonglong rate = ProfileInteger(profile, BaudKey(com)).value_or(0);
    SetProfileComBaud(com, UsableRate(rate) ? static_cast<std::uint32_t>(rate) : 0);
  }
}

void SavePortDevice(int comNumber, const QString& device) {
  QSettings profile = OpenUserProfile();
  if (device.isEmpty()) {
    profile.remove(DeviceKey(comNumber));
  } else {
    profile.setValue(DeviceKey(comNumber), device);
  }
  profile.sync();
  SetProfileComDevice(comNumber, QFile::encodeName(device).toStdString());
}

void SavePortBaud(int comNumber, std::uint32_t rate) {
  QSettings profile = OpenUserProfile();
  if (rate == 0) {
    profile.remove(BaudKey(comNumber));
  } else {
    profile.setValue(BaudKey(comNumber), static_cast<qlonglong>(rate));
  }
  profile.sync();
  SetProfileComBaud(comNumber, rate);
}

}  // namespace tarnwick
