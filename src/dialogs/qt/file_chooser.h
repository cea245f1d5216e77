// The file choosers of the dialogs, behind a seam so that tests can answer
// them without a window.
#pragma once

#include <QString>
#include <optional>

#include "dialogs/save_to_file.h"

class QWidget;

namespace tarnwick {

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // An open-mode chooser starting at current. mustExist: only an existing
  // file may be chosen (a file to send); otherwise a new name is accepted too
  // (a log file, created when first written). Nothing when cancelled.
  virtual std::optional<QString> ChooseFile(QWidget* parent, const QString& current,
                                            bool mustExist) = 0;
};

// Qt's own file dialog.
class QtFileChooser : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const QString& current,
                                    bool mustExist) override;
};

// A log-file chooser for ToggleSaveToFile: paths pass as the file system's bytes.
LogFileChooser LogChooserFor(FileChooser& chooser, QWidget* parent);

}  // namespace tarnwick
