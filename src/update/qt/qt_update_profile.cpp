#include "update/qt/qt_update_profile.h"

#include <QString>
#include <limits>

#include "settings/qt/user_profile.h"

namespace tarnwick {
namespace {

QString Key(std::string_view section, std::string_view entry) {
  return QString::fromLatin1(section.data(), static_cast<qsizetype>(section.size())) + '/' +
         QString::fromLatin1(entry.data(), static_cast<qsizetype>(entry.size()));
}

}  // namespace

std::int32_t QtUpdateProfile::GetProfileInt(std::string_view section, std::string_view entry,
                                            std::int32_t defaultValue) {
  const QSettings settings = OpenUserProfile();
  const std::optional<qlonglong> value = ProfileInteger(settings, Key(section, entry));
  if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
      *value > std::numeric_limits<std::int32_t>::max()) {
    return defaultValue;
  }
  return static_cast<std::int32_t>(*value);
}

void QtUpdateProfile::WriteProfileInt(std::string_view section, std::string_view entry,
                                      std::int32_t value) {
  QSettings settings = OpenUserProfile();
  settings.setValue(Key(section, entry), static_cast<int>(value));
  settings.sync();
}

}  // namespace tarnwick
