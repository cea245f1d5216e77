// Records every box the code under test asks for and answers with a scripted
// button.
#pragma once

#include <string>
#include <vector>

#include "platform/message_box.h"

namespace tarnwick::testing {

struct ShownBox {
  std::string text;
  std::string caption;
  MessageIcon icon;
  MessageButtons buttons;
  bool path = false;  // shown through ShowPath: the text is a file path
};

class RecordingMessageBoxes : public MessageBoxes {
 public:
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons) override {
    shown.push_back({std::string(text), std::string(caption), icon, buttons});
    if (buttons == MessageButtons::kYesNo)
      return answerYes ? MessageResult::kYes : MessageResult::kNo;
    return MessageResult::kOk;
  }

  MessageResult ShowPath(std::string_view path, std::string_view caption,
                         MessageIcon icon) override {
    shown.push_back({std::string(path), std::string(caption), icon, MessageButtons::kOk, true});
    return MessageResult::kOk;
  }

  std::vector<ShownBox> shown;
  bool answerYes = true;
};

}  // namespace tarnwick::testing
