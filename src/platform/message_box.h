// Message boxes as the plain logic sees them: a text, a caption, an icon and
// the buttons. The Qt shell shows real boxes; tests record what was asked.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

enum class MessageIcon { kNone, kWarning, kError, kQuestion, kInformation };
enum class MessageButtons { kOk, kYesNo };
enum class MessageResult { kOk, kYes, kNo };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a modal box and returns the button the user chose. The owner window,
  // if any, is the implementation's own business.
  virtual MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                             MessageButtons buttons = MessageButtons::kOk) = 0;
  // A box whose text is a file path: the file system's bytes, not the
  // single-byte text of the other boxes, so a window shows it decoded as such.
  virtual MessageResult ShowPath(std::string_view path, std::string_view caption,
                                 MessageIcon icon) {
    return Show(path, caption, icon);
  }
};

}  // namespace tarnwick
