// The "Also listen on" list of Port Settings: none, or COM1 to COM99 (with
// their devices, as the port list shows them).
#pragma once

#include <string>

class QComboBox;
class QWidget;

namespace tarnwick {

// A list showing portName ("COMn"; empty or unknown: none) as chosen.
QComboBox* CreateAlsoListenOnList(const std::string& portName, QWidget* parent);
// "COMn" as chosen, or empty for none.
std::string AlsoListenOnChoice(const QComboBox& list);

}  // namespace tarnwick
