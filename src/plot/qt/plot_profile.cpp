#include "plot/qt/plot_profile.h"

#include "plot/channel_store.h"
#include "settings/qt/user_profile.h"

namespace tarnwick {
namespace {

constexpr const char* kPlotDepth = "Options/PlotDepth";
constexpr const char* kPlotGeometry = "Options/PlotGeometry";

}  // namespace

std::size_t LoadPlotDepth() {
  const QSettings profile = OpenUserProfile();
  const std::optional<qlonglong> depth = ProfileInteger(profile, QLatin1String(kPlotDepth));
  return depth ? CorrectPlotDepth(*depth) : kDefaultPlotDepth;
}

void SavePlotDepth(std::size_t depth) {
  QSettings profile = OpenUserProfile();
  profile.setValue(QLatin1String(kPlotDepth), static_cast<qulonglong>(depth));
}

QByteArray LoadPlotGeometry() {
  const QSettings profile = OpenUserProfile();
  return profile.value(QLatin1String(kPlotGeometry)).toByteArray();
}

void SavePlotGeometry(const QByteArray& geometry) {
  QSettings profile = OpenUserProfile();
  profile.setValue(QLatin1String(kPlotGeometry), geometry);
}

}  // namespace tarnwick
