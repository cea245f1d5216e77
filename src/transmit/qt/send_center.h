// Everything the window sends besides the Send data dialog: the send line
// (under the view) and the macro panel (docked), keys typed into the view,
// repeating macros and sequences. All of them push whole blocks into the worker's one send queue;
// the worker's feed (blocks written, bytes read) comes back here, in order.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "settings/display_options.h"
#include "transmit/macro.h"
#include "transmit/send_entry.h"
#include "transmit/send_queue.h"
#include "transmit/sequence_feed.h"

class QAction;
class QDialog;
class QDockWidget;
class QLabel;
class QMainWindow;
class QShortcut;
class QWidget;

namespace tarnwick {

class CMacroPanel;
class CSendLineBar;
class CSequenceDriver;
class CViewTyping;
class ElidedLabel;
class FileChooser;
class PortWorker;

class CSendCenter : public QObject {
  Q_OBJECT
 public:
  struct Actions {
    QAction* sendLine = nullptr;  // View > Send line
    QAction* macros = nullptr;    // View > Macros
    QAction* typing = nullptr;    // View > Type into the view
    QAction* echo = nullptr;      // View > Local echo
    QAction* paste = nullptr;     // Edit > Paste to Device
  };
  struct Services {
    QMainWindow& frame;
    QWidget& view;
    PortWorker& worker;
    SequenceFeed& feed;
    MessageBoxes& boxes;
    FileChooser& files;
    std::function<int(QDialog&)> runModal;
    // The program's own keys, which macros may not take; they must outlive
    // the center.
    std::vector<std::string_view> programKeys;
    // The display's text encoding: text typed here as the device's bytes,
    // which character of a text it lacks, and the encoding itself (replies
    // are read in it).
    TextEncoder encode;
    std::function<std::string(std::string_view)> lacking;
    std::function<TextEncoding()> encoding;
    // A word in the status bar's message area.
    std::function<void(const QString&)> status;
    // Local echo was switched: typed keys are now a source of sent lines.
    std::function<void()> echoChanged;
  };

  // Builds the docks, panes and shortcuts into the frame; restores what the
  // profile kept (the docks shown, the macros, local echo).
  CSendCenter(Services services, const Actions& actions);
  ~CSendCenter() override;

  CSendLineBar* SendLine() const { return m_pSendLine; }
  CMacroPanel* Macros() const { return m_pMacros; }
  CViewTyping* Typing() const { return m_pTyping; }
  CSequenceDriver* Sequences() const { return m_pDriver; }
  QDockWidget* MacroDock() const { return m_pMacroDock; }
  QLabel* TypingPane() const { return m_pTypingPane; }
  ElidedLabel* SequencePane() const { return m_pSequencePane; }
  bool EchoTyped() const;

  // Pushes a block for origin; refused while the port is disconnected.
  PushResult Push(SendOrigin origin, std::vector<std::uint8_t> bytes);
  // Stops the sequence and the repeating macros and empties the queue (a
  // Disconnect). Returns the blocks that were waiting or under way.
  std::size_t StopAll();

  // The worker's feed has news (queued to this thread by its notify).
  void DrainFeed();

 private:
  struct Repeat {
    std::uint64_t owner = 0;
    Macro macro;
    QTimer* timer = nullptr;
    std::uint64_t inFlight = 0;  // the block pushed last, until it has left
  };

  void BuildDocks(const Actions& actions);
  void BuildPanes();
  void RunMacro(const Macro& macro, bool checked);
  void SendPlain(const Macro& macro, SendOrigin origin, std::uint64_t* id);
  void StartRepeat(const Macro& macro);
  void StopRepeat(const std::string& name);
  void RepeatTick(const std::string& name);
  void MacrosChanged();
  void LoadMacros();
  void SaveMacros() const;
  void BindMacroKeys();
  void Say(const QString& text) const;

  Services m_services;
  CSendLineBar* m_pSendLine = nullptr;
  CMacroPanel* m_pMacros = nullptr;
  CViewTyping* m_pTyping = nullptr;
  CSequenceDriver* m_pDriver = nullptr;
  QDockWidget* m_pMacroDock = nullptr;
  QLabel* m_pTypingPane = nullptr;
  ElidedLabel* m_pSequencePane = nullptr;
  QAction* m_pEcho = nullptr;
  std::vector<QShortcut*> m_macroKeys;
  std::map<std::string, Repeat> m_repeats;  // by macro name
  std::uint64_t m_nOwners = 0;
};

}  // namespace tarnwick
