// The find bar under the view: the text to find, "Match case", previous and
// next, and where the search stands ("3 of 17", a note when it wrapped).
// Esc closes it; Enter goes to the next match, Shift+Enter to the previous.
#pragma once

#include <QWidget>
#include <cstddef>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace tarnwick {

class CFindBar : public QWidget {
  Q_OBJECT
 public:
  explicit CFindBar(QWidget* parent = nullptr);

  // Shows the bar with the text selected and the focus in it.
  void Open();
  QString Pattern() const;
  bool MatchCase() const;
  // "n of m", or "No matches"; wrapped adds the note that the search went round.
  void ShowPosition(std::size_t number, std::size_t count, bool wrapped);

  QLineEdit* Edit() const { return m_wndEdit; }
  QCheckBox* MatchCaseBox() const { return m_wndMatchCase; }
  QLabel* PositionLabel() const { return m_wndPosition; }

 signals:
  // The text or "Match case" changed.
  void PatternChanged();
  void NextRequested();
  void PreviousRequested();
  void Closed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLineEdit* m_wndEdit = nullptr;
  QCheckBox* m_wndMatchCase = nullptr;
  QToolButton* m_wndPrevious = nullptr;
  QToolButton* m_wndNext = nullptr;
  QLabel* m_wndPosition = nullptr;
  QToolButton* m_wndClose = nullptr;
};

}  // namespace tarnwick
