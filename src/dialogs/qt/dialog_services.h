// What the settings dialogs' handlers need from the program: boxes, the
// choosers they open, and a call after they wrote the record (the program
// publishes it and repaints the view).
#pragma once

#include <functional>

#include "dialogs/qt/color_chooser.h"
#include "dialogs/qt/file_chooser.h"
#include "dialogs/qt/font_chooser.h"
#include "platform/message_box.h"

namespace tarnwick {

// The choosers the program opens: Qt's own unless a test points these at
// scripted ones (which then must outlive the program object).
struct DialogChoosers {
  DialogChoosers() = default;
  DialogChoosers(const DialogChoosers&) = delete;
  DialogChoosers& operator=(const DialogChoosers&) = delete;

  QtFileChooser qtFile;
  QtColorChooser qtColor;
  QtFontChooser qtFont;
  FileChooser* file = &qtFile;
  ColorChooser* color = &qtColor;
  FontChooser* font = &qtFont;
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
