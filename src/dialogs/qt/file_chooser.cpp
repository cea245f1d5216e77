#include "dialogs/qt/file_chooser.h"

#include <QFile>
#include <QFileDialog>

namespace tarnwick {

std::optional<QString> QtFileChooser::ChooseFile(QWidget* parent, const QString& current,
                                                 bool mustExist) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!current.isEmpty()) dialog.selectFile(current);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

LogFileChooser LogChooserFor(FileChooser& chooser, QWidget* parent) {
  return [&chooser, parent](const std::string& current) -> std::optional<std::string> {
    const std::optional<QString> chosen =
        chooser.ChooseFile(parent, QFile::decodeName(current.c_str()), false);
    if (!chosen) return std::nullopt;
    return QFile::encodeName(*chosen).toStdString();
  };
}

}  // namespace tarnwick
