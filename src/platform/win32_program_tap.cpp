// Windows has no pseudo-terminal a serial program could open as a COM port.
#include "port/program_tap.h"

namespace tarnwick {

std::unique_ptr<ProgramTap> OpenProgramTap(const std::string& path, const DCB&, std::string* error,
                                           std::string*) {
  *error = "Cannot offer the port at " + path + ": not available on this system.";
  return nullptr;
}

}  // namespace tarnwick
