// The macro panel (View > Macros): up to 48 named buttons on pages. A click
// runs a macro; a macro with a repeat period is a button that stays down
// while it repeats. The buttons are edited where they are (a right click:
// edit, remove, move; on a page's tab: new, rename, remove page), and the
// whole set goes to and comes from a plain text file. A running sequence
// shows its step here, with a Stop button.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/message_box.h"
#include "transmit/macro_form.h"

class QDialog;
class QLabel;
class QPushButton;
class QTabWidget;

namespace tarnwick {

class FileChooser;

class CMacroPanel : public QWidget {
  Q_OBJECT
 public:
  struct Services {
    MessageBoxes& boxes;
    FileChooser& files;
    // Runs a dialog modally; tests answer it.
    std::function<int(QDialog&)> runModal;
    // The program's own keys, which no macro may take.
    std::span<const std::string_view> programKeys;
    // The steps a new macro starts with (the send line's text).
    std::function<std::string()> newSteps;
  };

  CMacroPanel(Services services, QWidget* parent = nullptr);

  const MacroSet& Set() const { return m_set; }
  // Shows set (at least one page is always there).
  void SetMacros(MacroSet set);

  // The macro's button, by name; nullptr when there is none.
  QPushButton* Button(const std::string& name) const;
  QTabWidget* Pages() const { return m_pTabs; }
  // Whether a repeating macro's button shows it running.
  void ShowRepeating(const std::string& name, bool on);
  // The running sequence's step, or nothing while none runs.
  void ShowSequence(const QString& text, bool running);
  QLabel* SequenceLabel() const { return m_pSequence; }

  // The editing commands, as the menus give them.
  void AddMacro();
  void EditMacro(MacroPlace place);
  void RemoveMacro(MacroPlace place);
  void MoveMacro(MacroPlace place, int by);
  void NewPage();
  void RenamePage(std::size_t page);
  void RemovePage(std::size_t page);
  void ImportFile();
  void ExportFile();

 signals:
  // A macro's button was pressed (for a repeating one: toggled).
  void Run(const Macro& macro, bool checked);
  void StopSequence();
  // The set was edited or imported.
  void Changed();

 private:
  void Rebuild();
  void Edited();
  std::optional<std::string> AskPageName(const QString& title, const std::string& current);
  bool Confirm(const std::string& question, const char* caption);
  void ShowMacroMenu(MacroPlace place, const QPoint& at);
  void ShowPageMenu(const QPoint& at);

  Services m_services;
  MacroSet m_set;
  QTabWidget* m_pTabs = nullptr;
  QLabel* m_pSequence = nullptr;
  QPushButton* m_pStop = nullptr;
};

}  // namespace tarnwick
