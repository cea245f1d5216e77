// The user's profile, QSettings("Norvast", "Tarnwick"): the registry key
// HKEY_CURRENT_USER\Software\Norvast\Tarnwick on Windows, an INI file under
// the user's configuration directory elsewhere. It holds what the settings
// record does not: the version check's entries and the "Options" group.
#pragma once

#include <QSettings>
#include <QString>
#include <optional>

namespace tarnwick {

inline QSettings OpenUserProfile() {
  return QSettings(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"));
}

// An integer entry read wide, so a value beyond 32 bits is not taken cut
// down; nothing when it is missing or not a number.
inline std::optional<qlonglong> ProfileInteger(const QSettings& profile, const QString& key) {
  bool ok = false;
  const qlonglong value = profile.value(key).toLongLong(&ok);
  return ok ? std::optional<qlonglong>(value) : std::nullopt;
}

}  // namespace tarnwick
