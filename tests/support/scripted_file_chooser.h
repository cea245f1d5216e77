// A file chooser that answers from the test's script and records what it was
// offered, in place of the real dialog.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "dialogs/qt/file_chooser.h"

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

}  // namespace tarnwick::testing
