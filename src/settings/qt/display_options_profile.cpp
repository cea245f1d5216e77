#include "settings/qt/display_options_profile.h"

#include "settings/qt/user_profile.h"

namespace tarnwick {
namespace {

constexpr const char* kShowTimestamps = "Options/ShowTimestamps";
constexpr const char* kTimestampsInLog = "Options/TimestampsInTextLog";
constexpr const char* kPauseBreakMs = "Options/PauseLineBreakMs";

}  // namespace

DisplayOptions LoadDisplayOptions() {
  const QSettings profile = OpenUserProfile();
  DisplayOptions options;
  options.bShowTimestamps =
      ProfileInteger(profile, QLatin1String(kShowTimestamps)).value_or(0) != 0;
  options.bTimestampsInLog =
      ProfileInteger(profile, QLatin1String(kTimestampsInLog)).value_or(0) != 0;
  options.nPauseBreakMs =
      CorrectPauseBreakMs(ProfileInteger(profile, QLatin1String(kPauseBreakMs)).value_or(0));
  return options;
}

void SaveDisplayOptions(const DisplayOptions& options) {
  QSettings profile = OpenUserProfile();
  profile.setValue(QLatin1String(kShowTimestamps), options.bShowTimestamps ? 1 : 0);
  profile.setValue(QLatin1String(kTimestampsInLog), options.bTimestampsInLog ? 1 : 0);
  profile.setValue(QLatin1String(kPauseBreakMs), static_cast<int>(options.nPauseBreakMs));
  profile.sync();
}

}  // namespace tarnwick
