// The plot's kept samples as CSV, one row per sample number: the number, then
// per channel its value (and, with times, the seconds since the first sample
// before it); a cell stays empty where a channel has no sample of that number.
#pragma once

#include <string>

#include "plot/channel_store.h"

namespace tarnwick {

std::string PlotCsv(const ChannelStore& store, bool withSeconds);

}  // namespace tarnwick
