#include "dialogs/qt/color_chooser.h"

#include <QColorDialog>

namespace tarnwick {

std::optional<QColor> QtColorChooser::ChooseColor(QWidget* parent, const QColor& initial) {
  QColorDialog dialog(initial, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedColor();
}

}  // namespace tarnwick
