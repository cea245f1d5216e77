// F1 opens the help page from every window of the program. The main frame's
// own F1 key reaches only the frame; this filter on the whole application
// takes F1 in any other window (dialogs, modal or not, message boxes, file
// and font choosers), including windows created after it.
#pragma once

#include <QObject>
#include <functional>

namespace tarnwick {

class HelpKey : public QObject {
  Q_OBJECT
 public:
  // Installs itself on the application; onHelp runs for every F1 press that
  // no shortcut took first.
  explicit HelpKey(std::function<void()> onHelp, QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> m_onHelp;
};

}  // namespace tarnwick
