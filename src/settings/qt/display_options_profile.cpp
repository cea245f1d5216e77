#include "settings/qt/display_options_profile.h"

#include <algorithm>
#include <string>

#include "settings/qt/user_profile.h"
#include "settings/text_option_names.h"

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
constexpr const char* kTextEncoding = "Options/TextEncoding";
constexpr const char* kAnsiColours = "Options/AnsiColours";
constexpr const char* kControlCharacters = "Options/ControlCharacters";
constexpr const char* kTextLogKeepsEscapes = "Options/TextLogKeepsEscapes";

std::string ProfileText(const QSettings& profile, const char* key) {
  return profile.value(QLatin1String(key)).toString().toStdString();
}

QString NameText(std::string_view name) {
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

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
  // A name the program does not know reads as the default.
  options.textEncoding =
      EncodingFromProfileName(ProfileText(profile, kTextEncoding)).value_or(TextEncoding::kCp1252);
  options.bAnsiColours = ProfileInteger(profile, QLatin1String(kAnsiColours)).value_or(0) != 0;
  options.controlCharacters = ControlCharactersFromName(ProfileText(profile, kControlCharacters))
                                  .value_or(ControlCharacters::kAsIs);
  options.bTextLogKeepsEscapes =
      ProfileInteger(profile, QLatin1String(kTextLogKeepsEscapes)).value_or(0) != 0;
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
  profile.setValue(QLatin1String(kTextEncoding),
                   NameText(EncodingProfileName(options.textEncoding)));
  profile.setValue(QLatin1String(kAnsiColours), options.bAnsiColours ? 1 : 0);
  profile.setValue(QLatin1String(kControlCharacters),
                   NameText(ControlCharactersName(options.controlCharacters)));
  profile.setValue(QLatin1String(kTextLogKeepsEscapes), options.bTextLogKeepsEscapes ? 1 : 0);
  profile.sync();
}

}  // namespace tarnwick
