// The user's profile, QSettings("Norvast", "Tarnwick"), moved into a temporary
// directory for one test.
#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVariant>
#include <filesystem>

#include "support/temp_dir.h"

namespace tarnwick::testing {

class PrivateProfile {
 public:
  PrivateProfile() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.path().string()));
  }
  ~PrivateProfile() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  }
  std::filesystem::path File() const { return dir.path() / "Norvast" / "Tarnwick.conf"; }
  QVariant Value(const char* key) const {
    return QSettings(QStringLiteral("Norvast"), QStringLiteral("Tarnwick")).value(key);
  }
  void SetValue(const char* key, const QVariant& value) {
    QSettings(QStringLiteral("Norvast"), QStringLiteral("Tarnwick")).setValue(key, value);
  }

  TempDir dir;
};

}  // namespace tarnwick::testing
