#include "settings/qt/display_options_profile.h"

#include <algorithm>

#include "settings/qt/user_profile.h"

namespace tarnwick {
namespace {

constexpr const char* kShowTimestamps = "Options/ShowTimestamps";
constexpr const char* kTimestampsInLog = "Options/TimestampsInTextLog";
constexpr const char* kPauseBreakMs = "Options/PauseLineBreakMs";
constexpr const char* kTimestampFormat = "Options/TimestampFormat";
constexpr const char* kRotateSize = "Options/RotateSizeBytes";
constexpr const char* kRotateDaily = "Options/RotateDaily";
constexpr const char* kFollowNewLines = "Options/FollowNewLines";
constexpr const char* kTextBesideUnits = "Options/TextBesideUnits";
constexpr const char* kLineEnds = "Options/LineEnds";
constexpr const char* kTextLogLineEnds = "Options/TextLogLineEnds";

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
  options.timestampStyle =
      CorrectTimestampStyle(ProfileInteger(profile, QLatin1String(kTimestampFormat)).value_or(0));
  // Below zero reads as no limit.
  options.nRotateBytes =
      std::max<qlonglong>(0, ProfileInteger(profile, QLatin1String(kRotateSize)).value_or(0));
  options.bRotateDaily = ProfileInteger(profile, QLatin1String(kRotateDaily)).value_or(0) != 0;
  options.bFollowNewLines =
      ProfileInteger(profile, QLatin1String(kFollowNewLines)).value_or(1) != 0;
  options.bTextBesideUnits =
      ProfileInteger(profile, QLatin1String(kTextBesideUnits)).value_or(0) != 0;
  options.nLineEnds =
      CorrectLineEnds(ProfileInteger(profile, QLatin1String(kLineEnds)).value_or(0));
  options.bTextLogLineEnds =
      ProfileInteger(profile, QLatin1String(kTextLogLineEnds)).value_or(0) != 0;
  return options;
}

void SaveDisplayOptions(const DisplayOptions& options) {
  QSettings profile = OpenUserProfile();
  profile.setValue(QLatin1String(kShowTimestamps), options.bShowTimestamps ? 1 : 0);
  profile.setValue(QLatin1String(kTimestampsInLog), options.bTimestampsInLog ? 1 : 0);
  profile.setValue(QLatin1String(kPauseBreakMs), static_cast<int>(options.nPauseBreakMs));
  profile.setValue(QLatin1String(kTimestampFormat), static_cast<int>(options.timestampStyle));
  profile.setValue(QLatin1String(kRotateSize), static_cast<qlonglong>(options.nRotateBytes));
  profile.setValue(QLatin1String(kRotateDaily), options.bRotateDaily ? 1 : 0);
  profile.setValue(QLatin1String(kFollowNewLines), options.bFollowNewLines ? 1 : 0);
  profile.setValue(QLatin1String(kTextBesideUnits), options.bTextBesideUnits ? 1 : 0);
  profile.setValue(QLatin1String(kLineEnds), static_cast<int>(options.nLineEnds));
  profile.setValue(QLatin1String(kTextLogLineEnds), options.bTextLogLineEnds ? 1 : 0);
  profile.sync();
}

}  // namespace tarnwick
