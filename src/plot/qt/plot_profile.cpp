#include "plot/qt/plot_profile.h"

#include <QSettings>
#include <QString>

#include "plot/channel_store.h"

namespace tarnwick {
namespace {

constexpr const char* kPlotDepth = "Options/PlotDepth";
constexpr const char* kPlotGeometry = "Options/PlotGeometry";

}  // namespace

std::size_t LoadPlotDepth() {
  const QSettings profile(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"));
  bool ok = false;
  const qlonglong depth = profile.value(QLatin1String(kPlotDepth)).toLongLong(&ok);
  return ok ? CorrectPlotDepth(depth) : kDefaultPlotDepth;
}

void SavePlotDepth(std::size_t depth) {
  QSettings profile(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"));
  profile.setValue(QLatin1String(kPlotDepth), static_cast<qulonglong>(depth));
}

QByteArray LoadPlotGeometry() {
  const QSettings profile(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"));
  return profile.value(QLatin1String(kPlotGeometry)).toByteArray();
}

void SavePlotGeometry(const QByteArray& geometry) {
  QSettings profile(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"));
  profile.setValue(QLatin1String(kPlotGeometry), geometry);
}

}  // namespace tarnwick
