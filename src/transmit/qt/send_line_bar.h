// The send line, docked under the view: a text field read by the transmit
// parser in the format chosen beside it, the line end appended to ASCII
// text, Enter to send, Up and Down through the history of what was sent.
// A text that does not parse, or that the queue refuses, stays in the field
// with the reason beside it.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "transmit/history_file.h"
#include "transmit/send_entry.h"
#include "transmit/send_history.h"
#include "transmit/send_queue.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace tarnwick {

// The field: Up and Down walk the history; Ctrl+C without selected text is
// left to the window (Copy All), as it is everywhere else in the window.
class CSendLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit CSendLineEdit(QWidget* parent = nullptr);

 signals:
  void Older();
  void Newer();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class CSendLineBar : public QWidget {
  Q_OBJECT
 public:
  struct Services {
    // Pushes the bytes to the send queue (or refuses them with a reason).
    std::function<PushResult(std::vector<std::uint8_t>)> send;
    // The display's text encoding for ASCII text, and which character of a
    // text it lacks (empty: none).
    TextEncoder encode;
    std::function<std::string(std::string_view)> lacking;
    // A word for the status bar (history file trouble).
    std::function<void(const QString&)> status;
  };

  // historyPath: the history's file; empty keeps it for this run only.
  CSendLineBar(Services services, const std::filesystem::path& historyPath,
               QWidget* parent = nullptr);

  // What Enter sends after ASCII text, and after keys typed into the view.
  LineEnd ChosenLineEnd() const;
  // The field's text, format, unit length and byte order.
  SendEntry Entry() const;
  void ShowEntry(const SendEntry& entry);

  CSendLineEdit* Field() const { return m_pField; }
  QLabel* ErrorLabel() const { return m_pError; }
  const SendHistory& History() const { return m_history; }
  void ClearHistory();

  // Enter or Send: parses, sends, keeps in the history. False when nothing
  // went (the reason is beside the field).
  bool SendNow();

 private:
  void UpdateApplicable();
  void ShowError(const QString& text);
  void Recall(const std::optional<SendEntry>& entry);
  void FillHistoryMenu();
  void SaveHistory();
  void SaveChoices() const;

  Services m_services;
  SendHistory m_history;
  HistoryWalk m_walk{m_history};
  std::unique_ptr<HistoryFile> m_pHistoryFile;
  CSendLineEdit* m_pField = nullptr;
  QComboBox* m_pFormat = nullptr;
  QComboBox* m_pUnit = nullptr;
  QCheckBox* m_pReverse = nullptr;
  QComboBox* m_pLineEnd = nullptr;
  QPushButton* m_pSend = nullptr;
  QToolButton* m_pHistoryButton = nullptr;
  QLabel* m_pError = nullptr;
  bool m_bRecalling = false;  // the field is being set from the history
};

}  // namespace tarnwick
