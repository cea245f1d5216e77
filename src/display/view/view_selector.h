// Mouse selection on the view: a drag over the lines selects a stretch of
// text, a drag that starts in the margin left of the lines (or over the
// arrival times) selects whole lines; a click without a drag clears it. Where
// a point of the viewport falls (line and column) is the view's to say.
#pragma once

#include <QObject>
#include <functional>

#include "display/text_selection.h"

class QWidget;

namespace tarnwick {

class ViewSelector : public QObject {
  Q_OBJECT
 public:
  struct Place {
    TextPoint point;
    bool bMargin = false;  // left of the lines' text
  };
  using Locate = std::function<Place(const QPoint& viewportPos)>;

  // Watches viewport's mouse events; repaint is called when the selection
  // changes, finished when a drag that selected something ends.
  ViewSelector(QWidget& viewport, Locate locate, std::function<void()> repaint,
               std::function<void()> finished = {});

  const TextSelection& Selection() const { return m_selection; }
  void Clear();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& m_viewport;
  Locate m_locate;
  std::function<void()> m_repaint;
  std::function<void()> m_finished;
  TextSelection m_selection;
  bool m_bDragging = false;
};

}  // namespace tarnwick
