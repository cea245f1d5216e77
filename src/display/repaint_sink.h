// Where the plain logic asks for repaints. The view implements it by posting
// the request to its own thread, so it may be called from the port worker.
#pragma once

#include <cstdint>

namespace tarnwick {

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

class RepaintSink {
 public:
  virtual ~RepaintSink() = default;
  // The whole view, background erased.
  virtual void InvalidateAll() = 0;
  // One rectangle in view coordinates, as the last paint computed it, background erased.
  virtual void InvalidateRect(const Rect& rect) = 0;
  // The counters line at the top, as tall as the view's lines are; only the
  // view knows that height. Without a view to ask, the whole view.
  virtual void InvalidateCounters() { InvalidateAll(); }
};

}  // namespace tarnwick
