// View > Text: the encoding TEXT is read in, ANSI colours, how control
// characters look, and whether the text log keeps escape sequences. The
// entries show the options they are given and report the user's choice.
#pragma once

#include <QObject>
#include <functional>

#include "settings/display_options.h"

class QAction;
class QActionGroup;
class QMenu;

namespace tarnwick {

class TextOptionsMenu : public QObject {
  Q_OBJECT
 public:
  // The command ids of the entries, in menu order.
  struct Ids {
    int encodings[4];  // in TextEncoding's order
    int ansiColours;
    int controls[3];  // in ControlCharacters' order
    int logKeepsEscapes;
  };
  // Adds "Text" to view; makeAction(id) creates each entry's action.
  TextOptionsMenu(QMenu& view, const Ids& ids, const std::function<QAction*(int)>& makeAction);

  // Checks the entries that options hold.
  void Show(const DisplayOptions& options);
  // options with the text options as the entries stand.
  void Store(DisplayOptions& options) const;
  QMenu* Menu() const { return m_pMenu; }

 signals:
  // The user changed an entry.
  void Changed();

 private:
  QMenu* m_pMenu = nullptr;
  QAction* m_encodings[4] = {};
  QAction* m_pAnsiColours = nullptr;
  QAction* m_controls[3] = {};
  QAction* m_pLogKeepsEscapes = nullptr;
};

}  // namespace tarnwick
