// The conversation options in the user's profile: the tap's path, "Show sent
// data" and the sent colour in group "Options", the second port in group
// "Ports". The settings record does not hold them.
#pragma once

#include "settings/conversation_options.h"

namespace tarnwick {

// Missing values read as off (no tap, no second port, sends not shown) and
// the default colour.
ConversationOptions LoadConversationOptions();
// Written through before it returns.
void SaveConversationOptions(const ConversationOptions& options);

}  // namespace tarnwick
