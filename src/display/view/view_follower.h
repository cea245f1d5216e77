// Keeps a scroll area's newest line in sight by the follow rule: while it
// follows, the vertical scroll bar goes to its end whenever the document
// grows; a move of the user's (wheel, scroll bar, keys) away from the end
// stops it, back to the end (End, Ctrl+End included) starts it again.
#pragma once

#include <QObject>
#include <QString>

#include "display/follow_rule.h"

class QAbstractScrollArea;

namespace tarnwick {

class ViewFollower : public QObject {
  Q_OBJECT
 public:
  ViewFollower(QAbstractScrollArea& area, bool enabled);

  void SetEnabled(bool enabled);
  bool Following() const { return m_rule.Following(); }
  // The view was moved to show something (a match): following pauses.
  void Jumped();
  // Back to the end, following.
  void GoToEnd();

 signals:
  // Following stopped or resumed; text says so for the status bar.
  void FollowChanged(bool following, const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Report(FollowRule::Change change);
  void OnRangeChanged(int minimum, int maximum);
  void OnAction(int action);

  QAbstractScrollArea& m_area;
  FollowRule m_rule;
};

}  // namespace tarnwick
