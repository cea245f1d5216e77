// Choosers that answer from a script and record what they were shown.
#pragma once

#include <optional>
#include <vector>

#include "dialogs/qt/color_chooser.h"
#include "dialogs/qt/file_chooser.h"
#include "dialogs/qt/font_chooser.h"

namespace tarnwick::testing {

class ScriptedFileChooser : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget*, const QString& current, bool mustExist) override {
    offered.push_back(current);
    mustExistAsked.push_back(mustExist);
    return answer;
  }
  std::optional<QString> answer;  // nothing: the user cancels
  std::vector<QString> offered;
  std::vector<bool> mustExistAsked;
};

class ScriptedFontChooser : public FontChooser {
 public:
  std::optional<FontChoice> ChooseFont(QWidget*, const QFont& font, const QColor& color) override {
    offered.push_back({font, color});
    return answer;
  }
  std::optional<FontChoice> answer;
  std::vector<FontChoice> offered;
};

class ScriptedColorChooser : public ColorChooser {
 public:
  std::optional<QColor> ChooseColor(QWidget*, const QColor& initial) override {
    offered.push_back(initial);
    return answer;
  }
  std::optional<QColor> answer;
  std::vector<QColor> offered;
};

}  // namespace tarnwick::testing
