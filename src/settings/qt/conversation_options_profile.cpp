#include "settings/qt/conversation_options_profile.h"

#include <QFile>

#include "settings/qt/user_profile.h"

namespace tarnwick {
namespace {

constexpr const char* kTapPath = "Options/TapPath";
constexpr const char* kShowSentData = "Options/ShowSentData";
constexpr const char* kSentColour = "Options/SentColour";
constexpr const char* kAlsoListenOn = "Ports/AlsoListenOn";

// Paths are the file system's bytes.
std::string PathValue(const QSettings& profile, const char* key) {
  return QFile::encodeName(profile.value(QLatin1String(key)).toString()).toStdString();
}

}  // namespace

ConversationOptions LoadConversationOptions() {
  const QSettings profile = OpenUserProfile();
  ConversationOptions options;
  options.strTapPath = PathValue(profile, kTapPath);
  options.strAlsoListenOn = profile.value(QLatin1String(kAlsoListenOn)).toString().toStdString();
  options.bShowSentData = ProfileInteger(profile, QLatin1String(kShowSentData)).value_or(0) != 0;
  const qlonglong colour =
      ProfileInteger(profile, QLatin1String(kSentColour)).value_or(kDefaultSentColour);
  // A COLORREF has no bits above the blue byte.
  options.crSent =
      colour >= 0 && colour <= 0x00FFFFFF ? static_cast<std::uint32_t>(colour) : kDefaultSentColour;
  return options;
}

void SaveConversationOptions(const ConversationOptions& options) {
  QSettings profile = OpenUserProfile();
  profile.setValue(QLatin1String(kTapPath), QFile::decodeName(options.strTapPath.c_str()));
  profile.setValue(QLatin1String(kAlsoListenOn), QString::fromStdString(options.strAlsoListenOn));
  profile.setValue(QLatin1String(kShowSentData), options.bShowSentData ? 1 : 0);
  profile.setValue(QLatin1String(kSentColour), static_cast<qlonglong>(options.crSent));
  profile.sync();
}

}  // namespace tarnwick
