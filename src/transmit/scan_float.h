// "%f" scanning as the C library does it, but always with the C locale's
// decimal point: the Qt shell adopts the user's locale, where "1.5" would
// otherwise be read as 1 and ",5" as a number.
#pragma once

namespace tarnwick {

// Returns what sscanf(text, "%f", &value) returns: 1 when a leading number was
// converted (the rest of the text is ignored), 0 or EOF otherwise.
int ScanFloat(const char* text, float& value);

}  // namespace tarnwick
