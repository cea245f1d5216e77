// The colour chooser of the dialogs, behind a seam so that tests can answer
// it without a window.
#pragma once

#include <QColor>
#include <optional>

class QWidget;

namespace tarnwick {

class ColorChooser {
 public:
  virtual ~ColorChooser() = default;
  // A chooser starting at initial. Nothing when cancelled.
  virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) = 0;
};

// Qt's own colour dialog.
class QtColorChooser : public ColorChooser {
 public:
  std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) override;
};

}  // namespace tarnwick
