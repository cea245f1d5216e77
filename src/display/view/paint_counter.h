// Counts the view's paints into a small file that a benchmark reads while the
// program runs: the file named by TARNWICK_PAINT_COUNTER holds the number of
// paint events as a little-endian 64-bit integer. Without the variable nothing
// is counted and a paint pays one test of a null pointer.
#pragma once

#include <QFile>
#include <cstdint>

namespace tarnwick {

class PaintCounter {
 public:
  // Maps the file named by TARNWICK_PAINT_COUNTER, when it is set.
  PaintCounter();
  PaintCounter(const PaintCounter&) = delete;
  PaintCounter& operator=(const PaintCounter&) = delete;

  // GUI thread: one more paint.
  void CountPaint() {
    if (m_pPaints != nullptr) *m_pPaints = *m_pPaints + 1;
  }

 private:
  QFile m_file;
  // The mapped count: a reader in another process sees every store.
  volatile std::uint64_t* m_pPaints = nullptr;
};

}  // namespace tarnwick
