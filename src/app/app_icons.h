// The program's pictures, painted as vectors at whatever size and pixel
// density they are asked for, so they stay sharp on high-DPI screens.
#pragma once

#include <QIcon>

namespace tarnwick {

QIcon ProgramIcon();         // window, About box
QIcon PortSettingsIcon();    // toolbar: Port settings
QIcon ScreenSettingsIcon();  // toolbar: Screen Settings
QIcon SendIcon();            // toolbar: Send
QIcon ClearIcon();           // toolbar: Clear
QIcon AboutIcon();           // toolbar: About
QIcon PlotIcon();            // toolbar: Plot, the plot window
QIcon ConnectIcon();         // toolbar: Connect
QIcon DisconnectIcon();      // toolbar: Disconnect

}  // namespace tarnwick
