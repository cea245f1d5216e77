#include "display/view/find_controller.h"

#include "display/view/find_bar.h"

namespace tarnwick {

FindController::FindController(CFindBar& bar, FindSource& source, Hooks hooks, QObject* parent)
    : QObject(parent), m_bar(bar), m_source(source), m_hooks(std::move(hooks)) {
  m_timer.setInterval(kRefreshMs);
  connect(&m_timer, &QTimer::timeout, this, &FindController::Refresh);
  connect(&m_bar, &CFindBar::PatternChanged, this, &FindController::OnPatternChanged);
  connect(&m_bar, &CFindBar::NextRequested, this, &FindController::FindNext);
  connect(&m_bar, &CFindBar::PreviousRequested, this, &FindController::FindPrevious);
  connect(&m_bar, &CFindBar::Closed, this, &FindController::OnClosed);
}

bool FindController::Active() const { return m_bar.isVisible() && !m_finder.Pattern().Empty(); }

void FindController::Rescan() {
  m_finder.Rescan();
  if (Active()) Refresh();
}

void FindController::Open() {
  m_bFromNewest = m_hooks.following && m_hooks.following();
  m_bar.Open();
  m_timer.start();
  Refresh();
  if (m_hooks.repaint) m_hooks.repaint();
}

void FindController::OnPatternChanged() {
  m_finder.SetPattern(m_bar.Pattern().toStdString(), m_bar.MatchCase());
  FindFromOrigin();
}

void FindController::FindFromOrigin() {
  if (!m_bFromNewest) {
    // The first match from the top of the view on.
    Step(true);
    return;
  }
  // The newest match: what a view that follows has just shown.
  m_finder.Update(m_source);
  const FindSource::Held held = m_source.VisitFrom(UINT64_MAX, 0, {});
  const std::uint64_t newest = held.nEnd > held.nFirst ? held.nEnd - 1 : held.nFirst;
  m_finder.Previous(newest);
  if (const auto current = m_finder.Current(); current && m_hooks.show) m_hooks.show(*current);
  ShowPosition(false);
  if (m_hooks.repaint) m_hooks.repaint();
}

void FindController::OnClosed() {
  m_timer.stop();
  if (m_hooks.repaint) m_hooks.repaint();
}

void FindController::FindNext() { Step(true); }

void FindController::FindPrevious() { Step(false); }

void FindController::Step(bool forward) {
  // F3 with the bar closed opens it; with nothing to find it stays at that.
  if (!m_bar.isVisible()) {
    Open();
    if (m_finder.Pattern().Empty()) return;
  }
  m_finder.Update(m_source);
  const std::uint64_t top = m_hooks.topLine ? m_hooks.topLine() : 0;
  const LineFinder::Step step = forward ? m_finder.Next(top) : m_finder.Previous(top);
  if (const auto current = m_finder.Current(); current && m_hooks.show) m_hooks.show(*current);
  ShowPosition(step == LineFinder::Step::kWrapped);
  if (m_hooks.repaint) m_hooks.repaint();
}

void FindController::Refresh() {
  if (m_finder.Pattern().Empty()) {
    ShowPosition(false);
    return;
  }
  m_finder.Update(m_source);
  if (m_finder.Count() != m_nShownCount || m_finder.CurrentNumber() != m_nShownNumber) {
    ShowPosition(false);
    if (m_hooks.repaint) m_hooks.repaint();
  }
}

void FindController::ShowPosition(bool wrapped) {
  m_nShownCount = m_finder.Count();
  m_nShownNumber = m_finder.CurrentNumber();
  m_bar.ShowPosition(m_nShownNumber, m_nShownCount, wrapped);
}

}  // namespace tarnwick
