// The profile as QSettings("Norvast", "Tarnwick") keeps it: the registry on
// Windows, an INI file under the user's configuration directory elsewhere.
// Every call opens its own QSettings, so any thread may use it.
#pragma once

#include "update/update_interfaces.h"

namespace tarnwick {

class QtUpdateProfile : public UpdateProfile {
 public:
  // A missing value, or one that is not a 32-bit integer, reads as
  // defaultValue.
  std::int32_t GetProfileInt(std::string_view section, std::string_view entry,
                             std::int32_t defaultValue) override;
  // Written through to the file (or registry) before it returns.
  void WriteProfileInt(std::string_view section, std::string_view entry,
                       std::int32_t value) override;
};

}  // namespace tarnwick
