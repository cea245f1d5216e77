// What the settings dialogs' handlers need from the program: boxes, the
// choosers they open, and a call after they wrote the record (the program
// publishes it and repaints the view).
#pragma once

#include <functional>
#include <memory>

#include "dialogs/qt/color_chooser.h"
#include "dialogs/qt/file_chooser.h"
#include "dialogs/qt/font_chooser.h"
#include "platform/message_box.h"

namespace tarnwick {

// The choosers the program opens; tests put scripted ones in their place.
struct DialogChoosers {
  std::unique_ptr<FileChooser> file = std::make_unique<QtFileChooser>();
  std::unique_ptr<ColorChooser> color = std::make_unique<QtColorChooser>();
  std::unique_ptr<FontChooser> font = std::make_unique<QtFontChooser>();
};

struct DialogServices {
  MessageBoxes& boxes;
  FileChooser& files;
  FontChooser& fonts;
  ColorChooser& colors;
  // Called on this thread after a handler changed the record.
  std::function<void()> recordChanged;
};

}  // namespace tarnwick
