// Records the repaint requests of the screen model in the order they came.
#pragma once

#include <set>
#include <tuple>
#include <vector>

#include "display/repaint_sink.h"

namespace tarnwick::testing {

struct RepaintRequest {
  bool bWholeView = false;
  Rect rect;
  friend bool operator==(const RepaintRequest&, const RepaintRequest&) = default;
  friend bool operator<(const RepaintRequest& a, const RepaintRequest& b) {
    return std::tie(a.bWholeView, a.rect.left, a.rect.top, a.rect.right, a.rect.bottom) <
           std::tie(b.bWholeView, b.rect.left, b.rect.top, b.rect.right, b.rect.bottom);
  }
};

class RecordingRepaintSink : public RepaintSink {
 public:
  void InvalidateAll() override { requests.push_back({true, {}}); }
  void InvalidateRect(const Rect& rect) override { requests.push_back({false, rect}); }

  std::set<RepaintRequest> Areas() const { return {requests.begin(), requests.end()}; }
  void Reset() { requests.clear(); }

  std::vector<RepaintRequest> requests;
};

inline RepaintRequest WholeView() { return {true, {}}; }
inline RepaintRequest Area(Rect rect) { return {false, rect}; }

}  // namespace tarnwick::testing
