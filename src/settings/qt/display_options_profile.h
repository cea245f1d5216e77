// The display options in the user's profile, QSettings("Norvast", "Tarnwick"),
// group "Options": the registry on Windows, an INI file under the user's
// configuration directory elsewhere. The settings record does not hold them.
#pragma once

#include "settings/display_options.h"

namespace tarnwick {

// Missing or unreadable values read as off; a pause outside 0..a day is
// brought into it.
DisplayOptions LoadDisplayOptions();
// Written through to the file (or registry) before it returns.
void SaveDisplayOptions(const DisplayOptions& options);

}  // namespace tarnwick
