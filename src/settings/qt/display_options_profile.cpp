#include "settings/qt/display_options_profile.h"

#include <QSettings>
#include <QString>

namespace tarnwick {
namespace {

constexpr const char* kShowTimestamps = "Options/ShowTimestamps";
constexpr const char* kTimestampsInLog = "Options/TimestampsInTextLog";
constexpr const char* kPauseBreakMs = "Options/PauseLineBreakMs";

// An integer, or fallback for a missing value or one that is not a number.
qlonglong ProfileInteger(const QSettings& profile, const char* key, qlonglong fallback) {
  bool ok = false;
  const qlonglong value = profile.value(QLatin1String(key)).toLongLong(&ok);
  return ok ? value : fallback;
}

}  // namespace

DisplayOptions LoadDisplayOptions() {
  const QSettings profile(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"));
  DisplayOptions options;
  options.bShowTimestamps = ProfileInteger(profile, kShowTimestamps, 0) != 0;
  options.bTimestampsInLog = ProfileInteger(profile, kTimestampsInLog, 0) != 0;
  options.nPauseBreakMs = CorrectPauseBreakMs(ProfileInteger(profile, kPauseBreakMs, 0));
  return options;
}

void SaveDisplayOptions(const DisplayOptions& options) {
  QSettings profile(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"));
  profile.setValue(QLatin1String(kShowTimestamps), options.bShowTimestamps ? 1 : 0);
  profile.setValue(QLatin1String(kTimestampsInLog), options.bTimestampsInLog ? 1 : 0);
  profile.setValue(QLatin1String(kPauseBreakMs), static_cast<int>(options.nPauseBreakMs));
  profile.sync();
}

}  // namespace tarnwick
