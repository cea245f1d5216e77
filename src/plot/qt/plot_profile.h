// The plot window's settings in the user's profile, group "Options": the
// samples kept per channel and the window's geometry. None of it is in the
// configuration file.
#pragma once

#include <QByteArray>
#include <cstddef>

namespace tarnwick {

std::size_t LoadPlotDepth();  // corrected into the allowed range; the default when unset
void SavePlotDepth(std::size_t depth);
QByteArray LoadPlotGeometry();  // empty when unset
void SavePlotGeometry(const QByteArray& geometry);

}  // namespace tarnwick
