// Find as the window runs it: the find bar's text and "Match case" make the
// pattern, the finder reads the screen's lines, F3 and Shift+F3 step through
// the matches, and the view is asked to show the current one. Typing
// searches from where the bar was opened: the newest line while the view
// followed it, the top line in sight otherwise. While the bar
// is open the matches are brought up to date a few times a second, reading
// only the lines that came since.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "display/line_finder.h"

namespace tarnwick {

class CFindBar;

class FindController : public QObject {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 200;

  struct Hooks {
    // The line a search starts from: the first in sight.
    std::function<std::uint64_t()> topLine;
    // Bring a match into sight (the view stops following).
    std::function<void(const FindMatch&)> show;
    // The highlights changed.
    std::function<void()> repaint;
    // Whether the view follows the newest line: a search begun then looks
    // back from the newest line instead of on from the top one.
    std::function<bool()> following;
  };
  FindController(CFindBar& bar, FindSource& source, Hooks hooks, QObject* parent = nullptr);

  // Matches to highlight: none while the bar is closed.
  bool Active() const;
  const LineFinder& Finder() const { return m_finder; }

  // The lines are shown differently (text beside units, Clear): read them again.
  void Rescan();

 public slots:
  void Open();
  void FindNext();
  void FindPrevious();
  // Reads the lines that came since the last look.
  void Refresh();

 private:
  void OnPatternChanged();
  void OnClosed();
  void Step(bool forward);
  void FindFromOrigin();
  void ShowPosition(bool wrapped);

  CFindBar& m_bar;
  FindSource& m_source;
  Hooks m_hooks;
  LineFinder m_finder;
  QTimer m_timer;
  std::size_t m_nShownCount = 0;
  std::size_t m_nShownNumber = 0;
  // Where typing searches from, fixed as the bar opens: back from the
  // newest line (the view followed it) or on from the top line in sight.
  bool m_bFromNewest = false;
};

}  // namespace tarnwick
